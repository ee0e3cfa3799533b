#pragma once
// "string": a 16-bit little-endian byte count, then the text's UTF-8 bytes
// each XORed with rekol::TEXT_MASK. Any value has a text form, so every value
// is valid; no value writes 00 00.

#include "rekol/KeyFormat.h"

class StringKeyFormat : public KeyFormat {
public:
    StringKeyFormat()
        : KeyFormat("string", 0) {}

    // Throws RekolError::data_invalid (buffer unchanged) past 65535 bytes.
    void write(QByteArray& buffer) const override;
    // The scrambled bytes, no length; empty for an empty text form.
    QByteArray getByteData() const override;

private:
    // Absent -> "", text -> itself, integer -> decimal, boolean -> "true"/"false".
    virtual QString getKeyValueAsString() const;
};
