// The format file and table definition parser on arbitrary bytes.
#include "rekol/QvRekolFormat.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QvRekolFormat format = QvRekolFormat::fromText(text);
    for (const auto& [name, table] : format.tableDict()) {
        if (format.getTable(name) != &table || table.getTableName() != name)
            __builtin_trap();
        for (const auto& field : table.getFields())
            if (!field || !field->keyName() || !field->keyType())
                __builtin_trap();
    }
    return 0;
}
