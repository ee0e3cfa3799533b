#pragma once
// Where the installer window and its close-confirmation panel go.
//
// The window's frame, 680 x 436, is placed on the main screen (w x h, whole
// points) with its bottom-left corner at
//     x = (w - 680) / 2,  y = (h - WINDOW_HEIGHT + 224) / 2
// counted from the screen's bottom-left corner (integer division), that is
// centred across and somewhat above the middle. Qt counts y from the top, so
// the same frame's top edge lies at h - y - 436 from the screen's top:
//
//     1440 x 900 screen:  bottom-left origin (380, 316)  =  top-left (380, 148)
//
// The panel's bottom-left corner is the window frame's bottom-left corner plus
// (188, (WINDOW_HEIGHT - 236) / 2) = (188, 128); its size is 304 x 236.

#include <QPoint>
#include <QRect>
#include <QSize>

struct WindowPlacement {
    static constexpr QSize kWindowSize{680, 436};
    static constexpr QSize kPanelSize{304, 236};

    // The frame's origin measured from the bottom-left corner of a screen of `screenSize`.
    static QPoint bottomLeftOrigin(QSize screenSize);

    // The window frame in Qt's top-down coordinates on a screen with the given
    // geometry. Like the platform's own window placement, the frame is then moved
    // into `available` (the screen minus menu bars and docks) as far as it fits,
    // so its title bar can always be reached; an empty `available` skips that.
    static QRect windowFrame(const QRect& screen, const QRect& available = {});

    // The panel's frame (top-down) for a window frame (top-down).
    static QRect panelFrame(const QRect& windowFrame);
};
