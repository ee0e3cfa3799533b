#pragma once
// Decimal integers as data files, names and version texts write them: an
// optional sign and digits, nothing else (no blanks), fitting 64 bits.

#include <QStringView>
#include <cstdint>
#include <optional>

class DecimalText {
public:
    DecimalText() = delete;

    // No value for "", "+", " 1", "1a", "0x1" or a number beyond 64 bits.
    static std::optional<std::int64_t> parse(QStringView text);

    // Two's-complement arithmetic without undefined behaviour, for values
    // outside the domain that must still not crash.
    static std::int64_t wrappingMul(std::int64_t a, std::int64_t b);
    static std::int64_t wrappingAdd(std::int64_t a, std::int64_t b);
};
