#pragma once
// The interface font at a size in points of the layout. Layout points are
// logical pixels, so the size is set in pixels: a 14-point caption then fits a
// 28-point button on every platform, whatever the screen's DPI setting.
//
// The texts are English or German whatever the locale, so the face is the one
// the system uses for Latin text, not the locale's (a Chinese locale would
// otherwise pick a CJK face, whose Latin letters are wider than the layout).

#include <QFont>

struct SystemFont {
    static QFont of(int size, QFont::Weight weight = QFont::Normal);
    // The Latin face's family; empty where the interface font already is one.
    static QString latinFamily();
};
