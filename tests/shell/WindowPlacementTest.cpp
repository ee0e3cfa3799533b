#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

// Above the middle of the screen it opens on (the formula counts from the screen's
// bottom-left), moved into reach when the menu bar or the dock would hide it; the
// close panel's bottom-left is the window's plus (188, 128).
TEST(WindowPlacement, FrameSitsAboveTheMiddleWithinReachAndThePanelOnIt) {
    const std::tuple<QRect, QRect, QPoint> cases[] = {
        // screen, available, top-left
        {{0, 0, 1440, 900}, {}, {380, 148}},
        // Odd sizes: integer division truncates.
        {{0, 0, 1441, 901}, {}, {380, 149}},
        {{1440, 0, 1280, 800}, {}, {1740, 98}}, // a second screen to the right
        {{0, 0, 1440, 900}, {0, 25, 1440, 800}, {380, 148}},
        // A small screen would put the title bar above the top.
        {{0, 0, 800, 600}, {0, 25, 800, 575}, {60, 25}},
        // A dock on the right: moved left, so the whole window is in reach.
        {{0, 0, 800, 600}, {0, 25, 700, 575}, {20, 25}},
    };
    for (const auto& [screen, available, topLeft] : cases)
        EXPECT_EQ(WindowPlacement::windowFrame(screen, available), QRect(topLeft, QSize(680, 436)))
            << screen.width() << "x" << screen.height() << "+" << screen.x();
    EXPECT_EQ(WindowPlacement::panelFrame(QRect(380, 148, 680, 436)), QRect(568, 220, 304, 236));
    // A taller frame (a title bar of its own) moves the panel with the bottom edge.
    EXPECT_EQ(WindowPlacement::panelFrame(QRect(0, 0, 680, 464)).topLeft(), QPoint(188, 100));
}
