#include "app/TitleBarStyle.h"

#include <QGuiApplication>
#include <QWidget>

#import <AppKit/AppKit.h>

namespace {
NSWindow* nativeWindow(QWidget* window) {
    // Only the cocoa platform's handle is an NSView; offscreen and minimal
    // hand out plain numbers, which would crash as one.
    if (!window || QGuiApplication::platformName() != QLatin1String("cocoa"))
        return nil;
    NSView* view = reinterpret_cast<NSView*>(window->winId());
    return view.window;
}
} // namespace

void TitleBarStyle::apply(QWidget* window) {
    NSWindow* nsWindow = nativeWindow(window);
    if (!nsWindow)
        return;
    nsWindow.styleMask |= NSWindowStyleMaskFullSizeContentView;
    nsWindow.titlebarAppearsTransparent = YES;
    nsWindow.titleVisibility = NSWindowTitleHidden;
}

void TitleBarStyle::setContentSize(QWidget* window, QSize size) {
    NSWindow* nsWindow = nativeWindow(window);
    if (!nsWindow || size.isEmpty())
        return;
    const NSRect before = nsWindow.frame;
    [nsWindow setContentSize:NSMakeSize(size.width(), size.height())];
    // AppKit keeps the bottom-left corner; Qt, and the placement, the top-left one.
    if (NSHeight(nsWindow.frame) != NSHeight(before))
        [nsWindow setFrameTopLeftPoint:NSMakePoint(NSMinX(before), NSMaxY(before))];
}
