#pragma once
// The four fixed-width integer fields. The value must be an integer; one
// outside the type's range (300 for "byte", -1 for "short") encodes as
// typeSize() zero bytes.

#include "rekol/KeyFormat.h"

#include <cstdint>

template <typename T> class IntegerKeyFormat : public KeyFormat {
public:
    IntegerKeyFormat();

    // True when the value is present and an integer.
    bool isDataValid() const override;
    // sizeof(T) bytes, little-endian; zeros when out of range or not an integer.
    QByteArray getByteData() const override;
};

using IntKeyFormat = IntegerKeyFormat<std::int32_t>;    // "int", signed 32-bit
using Int64KeyFormat = IntegerKeyFormat<std::int64_t>;  // "int64", signed 64-bit
using ShortKeyFormat = IntegerKeyFormat<std::uint16_t>; // "short", unsigned 16-bit
using ByteKeyFormat = IntegerKeyFormat<std::uint8_t>;   // "byte", unsigned 8-bit

extern template class IntegerKeyFormat<std::int32_t>;
extern template class IntegerKeyFormat<std::int64_t>;
extern template class IntegerKeyFormat<std::uint16_t>;
extern template class IntegerKeyFormat<std::uint8_t>;
