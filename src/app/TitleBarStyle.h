#pragma once
// The installer window's title bar. On macOS it is transparent, its title text
// hidden, and the content extends under it; elsewhere, and under any Qt
// platform but "cocoa" (-platform offscreen), the window keeps its normal
// frame and title.

#include <QSize>

class QWidget;

struct TitleBarStyle {
    // Call once the window has its native handle (after create() or show()).
    static void apply(QWidget* window);

    // Makes the native window's content `size` again, keeping its top edge.
    // AppKit keeps a window's frame when the style changes, so the content
    // under a now transparent title bar grows by the bar's height; call after
    // apply() and when the window shows. Nothing to do elsewhere: Qt's own
    // size is the window's.
    static void setContentSize(QWidget* window, QSize size);
};
