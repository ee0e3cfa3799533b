#pragma once
// Byte conversions shared by the telemetry, and the operations it applies to
// texts (scrambling, hexadecimal decoding, literal search, data-file
// reading). Integers are read with DecimalText.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

class QvRekolUtil {
public:
    QvRekolUtil() = delete;

    // The value's bytes, least significant first, whatever the processor; the
    // result is exactly sizeof(T) long.
    template <typename T>
    requires std::is_arithmetic_v<T>
    static QByteArray toByteArray(T value) {
        QByteArray bytes(static_cast<qsizetype>(sizeof(T)), Qt::Uninitialized);
        std::memcpy(bytes.data(), &value, sizeof(T));
        if constexpr (std::endian::native == std::endian::big)
            std::reverse(bytes.begin(), bytes.end());
        return bytes;
    }

    // The value of an ASCII hexadecimal digit ("0"-"9", "a"-"f", "A"-"F").
    // Any other byte gives 0 and logs one error line.
    static std::uint8_t getByteToBinary(std::uint8_t byte);

    // Reads a whole data file as text. A byte-order mark selects UTF-16 or
    // UTF-32; otherwise the bytes must be valid UTF-8 (a UTF-8 mark is dropped).
    // On failure returns no value and puts a one-line reason in `error`.
    static std::optional<QString> readTextFile(const QString& path, QString& error);
};

namespace rekol {

// Every byte of a "string" field is XORed with this mask.
inline constexpr std::uint8_t TEXT_MASK = 0x9D;

// The text's UTF-8 bytes.
QByteArray asByteArray(const QString& text);

// The text's UTF-8 bytes, each XORed with TEXT_MASK; XOR again to get them back.
QByteArray encode(const QString& text);

// The text's UTF-8 bytes read as hexadecimal pairs, high half first: n bytes
// give n / 2 bytes, an odd last byte is ignored, a non-digit counts as 0 (and
// is logged by getByteToBinary).
QByteArray toBinary(const QString& text);

// The code of the first character as a byte; 0 for an empty text or a
// character above 255.
std::uint8_t asCode(const QString& text);

// Index (in UTF-16 units, so usable with QString::left/mid) of the first
// literal occurrence of `other` in `text`, case-sensitive, no normalisation;
// -1 when absent or when `other` is empty.
qsizetype findFirst(const QString& text, const QString& other);

// The text's lines: LF or CR LF ends a line, a lone CR stays in its line.
// Empty lines are dropped.
QStringList splitLines(const QString& text);

} // namespace rekol
