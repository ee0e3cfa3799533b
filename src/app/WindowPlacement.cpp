#include "app/WindowPlacement.h"

#include "base/Globals.h"

QPoint WindowPlacement::bottomLeftOrigin(QSize screenSize) {
    return {(screenSize.width() - kWindowSize.width()) / 2,
            (screenSize.height() - WINDOW_HEIGHT + 224) / 2};
}

QRect WindowPlacement::windowFrame(const QRect& screen, const QRect& available) {
    const QPoint origin = bottomLeftOrigin(screen.size());
    const int top = screen.height() - origin.y() - kWindowSize.height();
    QRect frame(screen.topLeft() + QPoint(origin.x(), top), kWindowSize);
    if (available.isEmpty())
        return frame;
    // Keep the top-left corner on the available area; the rest as far as it fits.
    if (frame.right() > available.right())
        frame.moveRight(available.right());
    if (frame.bottom() > available.bottom())
        frame.moveBottom(available.bottom());
    if (frame.left() < available.left())
        frame.moveLeft(available.left());
    if (frame.top() < available.top())
        frame.moveTop(available.top());
    return frame;
}

QRect WindowPlacement::panelFrame(const QRect& windowFrame) {
    const QPoint offset(188, (WINDOW_HEIGHT - kPanelSize.height()) / 2);
    // Bottom-left corners line up in the platform's bottom-up coordinates.
    const int bottom = windowFrame.top() + windowFrame.height() - offset.y();
    return {windowFrame.left() + offset.x(), bottom - kPanelSize.height(), kPanelSize.width(),
            kPanelSize.height()};
}
