#include "rekol/Crc32.h"

namespace {

inline quint32 step(quint32 c, unsigned char b) {
    return crcTable[(c ^ b) & 0xFF] ^ (c >> 8);
}

} // namespace

quint32 crc32(quint32 crc, const void* buffer, std::size_t length) {
    if (buffer == nullptr)
        return 0;
    const auto* p = static_cast<const unsigned char*>(buffer);
    quint32 c = ~crc;
    while (length >= 8) {
        c = step(c, p[0]);
        c = step(c, p[1]);
        c = step(c, p[2]);
        c = step(c, p[3]);
        c = step(c, p[4]);
        c = step(c, p[5]);
        c = step(c, p[6]);
        c = step(c, p[7]);
        p += 8;
        length -= 8;
    }
    while (length-- > 0)
        c = step(c, *p++);
    return ~c;
}

quint32 crc32(quint32 crc, const std::optional<QByteArray>& data) {
    if (!data)
        return 0;
    // constData() of an empty array is a valid pointer, so an empty body keeps `crc`.
    return crc32(crc, data->constData(), static_cast<std::size_t>(data->size()));
}

CRC32::CRC32(const QByteArray& data)
    : mCrc(crc32(0, data)) {}
