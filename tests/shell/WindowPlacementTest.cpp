#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

TEST(WindowPlacement, FrameSitsAboveTheMiddleInBothCoordinateSystems) {
    struct Case {
        QRect screen;
        QRect available;
        QPoint bottomLeft; // the formula's origin, counted from the screen's bottom-left
        QPoint topLeft;    // the same frame in Qt's top-down coordinates
    };
    const Case cases[] = {
        {{0, 0, 1440, 900}, {}, {380, 316}, {380, 148}},
        // Odd sizes: integer division truncates.
        {{0, 0, 1441, 901}, {}, {380, 316}, {380, 149}},
        // A second screen to the right: placed on that screen.
        {{1440, 0, 1280, 800}, {}, {300, 266}, {1740, 98}},
        // Menu bar and dock: the frame stays below the menu bar.
        {{0, 0, 1440, 900}, {0, 25, 1440, 800}, {380, 316}, {380, 148}},
        // A small screen would put the title bar above the top; moved into reach.
        {{0, 0, 800, 600}, {0, 25, 800, 575}, {60, 166}, {60, 25}},
        // A dock on the right: moved left, so the whole window is in reach.
        {{0, 0, 800, 600}, {0, 25, 700, 575}, {60, 166}, {20, 25}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.screen.width() << "x" << c.screen.height() << "+" << c.screen.x());
        EXPECT_EQ(WindowPlacement::bottomLeftOrigin(c.screen.size()), c.bottomLeft);
        const QRect frame = WindowPlacement::windowFrame(c.screen, c.available);
        EXPECT_EQ(frame.topLeft(), c.topLeft);
        EXPECT_EQ(frame.size(), QSize(680, 436));
        if (c.available.isEmpty()) {
            EXPECT_EQ(c.screen.height() - (frame.top() - c.screen.top()) - frame.height(),
                      c.bottomLeft.y())
                << "the bottom edge is where the formula puts it";
        }
    }
}

TEST(WindowPlacement, PanelBottomLeftIsTheWindowsPlus188And128) {
    EXPECT_EQ(WindowPlacement::panelFrame(QRect(380, 148, 680, 436)), QRect(568, 220, 304, 236));
    // A taller frame (a title bar of its own) moves the panel with the bottom edge.
    EXPECT_EQ(WindowPlacement::panelFrame(QRect(0, 0, 680, 464)).topLeft(), QPoint(188, 100));
}
