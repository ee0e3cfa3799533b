#include "ui/Color.h"

#include <gtest/gtest.h>

TEST(Color, HexTexts) {
    struct Case {
        const char* text;
        QColor expected;
    };
    const Case cases[] = {
        {"#FFF", QColor(255, 255, 255, 255)},
        {"#80FF0000", QColor(255, 0, 0, 128)},
        {"#12345", QColor(0, 0, 0, 255)}, // five characters: no colour of its own
        {"333333", QColor(0x33, 0x33, 0x33, 255)},
        {"#abc", QColor(0xAA, 0xBB, 0xCC, 255)},
        {"  #3A68C3;\n", QColor(58, 104, 195, 255)}, // trimmed at both ends
        {"#", QColor(0, 0, 0, 255)},
        {"#GG0000", QColor(0, 0, 0, 255)}, // no leading hex digit reads as 0
        // Eight characters, hex only up to "zz": 0x12AB34, so alpha is 0.
        {"12ab34zz", QColor(0x12, 0xAB, 0x34, 0)},
        {"#ffffffffff", QColor(0, 0, 0, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QColor color = Color::hex(QString::fromUtf8(c.text));
        EXPECT_EQ(color.rgba(), c.expected.rgba());
    }
}
