#include "app/TitleBarStyle.h"

#include <QWidget>

#import <AppKit/AppKit.h>

void TitleBarStyle::apply(QWidget* window) {
    if (!window)
        return;
    NSView* view = reinterpret_cast<NSView*>(window->winId());
    NSWindow* nsWindow = view.window;
    if (!nsWindow)
        return;
    nsWindow.styleMask |= NSWindowStyleMaskFullSizeContentView;
    nsWindow.titlebarAppearsTransparent = YES;
    nsWindow.titleVisibility = NSWindowTitleHidden;
}
