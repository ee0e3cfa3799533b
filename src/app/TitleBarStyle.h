#pragma once
// The installer window's title bar. On macOS it is transparent, its title text
// hidden, and the content extends under it; elsewhere the window keeps the
// platform's normal frame and title.

class QWidget;

struct TitleBarStyle {
    // Call once the window has its native handle (after create() or show()).
    static void apply(QWidget* window);
};
