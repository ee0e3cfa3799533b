#pragma once
// "bit": reserves a name in a table and occupies no bytes in a record.

#include "rekol/KeyFormat.h"

class BitKeyFormat : public KeyFormat {
public:
    BitKeyFormat()
        : KeyFormat("bit", 0) {}
};
