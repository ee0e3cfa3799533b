#pragma once
// The interface font at a size in points of the layout. Layout points are
// logical pixels, so the size is set in pixels: a 14-point caption then fits a
// 28-point button on every platform, whatever the screen's DPI setting.

#include <QFont>

struct SystemFont {
    static QFont of(int size, QFont::Weight weight = QFont::Normal);
};
