// The installer's name parser on arbitrary names: never crashes, and a name
// with fewer than four "_" parts leaves the record untouched.
#include "install/Installer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString name =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ReportBlock block;
    block.version = "keep";
    block.tid1 = 7;
    Installer::applyPackageName(name, block);
    if (name.count('_') < 3 && (block.version != "keep" || block.tid1 != 7))
        __builtin_trap();
    if (!block.version.isEmpty() && block.version != "keep" && name.indexOf(block.version) < 0)
        __builtin_trap();
    return 0;
}
