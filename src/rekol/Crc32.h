#pragma once
// CRC-32 (ISO-HDLC / IEEE 802.3, the same function as zlib's crc32): reflected
// polynomial 0xEDB88320, register preset and final value complemented.
// Passing 0 starts a checksum; passing an earlier result continues it, so
// crc32(crc32(0, A), B) is the checksum of A followed by B.

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <cstddef>
#include <optional>

namespace crc32_detail {
constexpr std::array<quint32, 256> makeTable() {
    std::array<quint32, 256> table{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
    }
    return table;
}
} // namespace crc32_detail

// Entry i: the register after eight reduction steps of byte i. Built at
// compile time, so it is never seen half-made.
inline constexpr std::array<quint32, 256> crcTable = crc32_detail::makeTable();

// The checksum continued over `length` bytes at `buffer`; 0 when `buffer` is
// null, whatever `crc` is.
quint32 crc32(quint32 crc, const void* buffer, std::size_t length);

// The checksum continued over `data`; 0 when `data` is absent.
quint32 crc32(quint32 crc, const std::optional<QByteArray>& data);

// One finished checksum.
class CRC32 {
public:
    CRC32() = default;
    // crc = crc32(0, data).
    explicit CRC32(const QByteArray& data);

    quint32 crc() const { return mCrc; }
    void setCrc(quint32 crc) { mCrc = crc; }
    // The checksum widened to 64 bits (0 to 4294967295).
    qint64 hashValue() const { return static_cast<qint64>(mCrc); }

private:
    quint32 mCrc = 0;
};
