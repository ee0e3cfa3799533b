// The hexadecimal decoder of "binary" fields on arbitrary text.
#include "rekol/QvRekolUtil.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray decoded = rekol::toBinary(text);
    if (decoded.size() != text.toUtf8().size() / 2)
        __builtin_trap();
    return 0;
}
