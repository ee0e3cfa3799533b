#pragma once
// "binary": a 16-bit little-endian byte count, then the bytes decoded from
// the value's hexadecimal text (rekol::toBinary: pairs, high half first, odd
// last digit ignored, bad digits read as 0 and logged).

#include "rekol/KeyFormat.h"

class BinaryKeyFormat : public KeyFormat {
public:
    BinaryKeyFormat()
        : KeyFormat("binary", 0) {}

    // True when the value is present and a text.
    bool isDataValid() const override;
    // Throws RekolError::data_invalid (buffer unchanged) past 65535 bytes. A
    // value that is not a text writes 00 00.
    void write(QByteArray& buffer) const override;
    // The decoded bytes; empty for an empty text or a value that is not a text.
    QByteArray getByteData() const override;
};
