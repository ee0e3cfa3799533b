#pragma once
// The colours of the installer's screens.

#include <QColor>

struct ScreenColors {
    // Default text colour of the whole view (red, green and blue 0.4).
    static QColor text() { return QColor::fromRgbF(0.4f, 0.4f, 0.4f); }
    static QColor slogan() { return QColor(0x44, 0x44, 0x44); }
    static QColor label() { return QColor(0x66, 0x66, 0x66); }
    // The progress fill and the disagree button's caption.
    static QColor accent() { return QColor::fromRgbF(0.22745098f, 0.40784314f, 0.7647059f); }
    // The platform's standard link blue.
    static QColor link() { return QColor(0x00, 0x7A, 0xFF); }
};
