#include "ui/BtnView.h"
#include "ui/SystemFont.h"

#include <QCursor>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

// A shown button driven by real mouse events: it fires when a left press ends
// (the window test's Install: also when dragged off), each state draws its own
// look, and a pressed button waits for the pointer to come back before it hovers.
TEST(BtnView, FiresOnTheLeftPressesEndAndDrawsEachState) {
    QWidget window;
    window.resize(300, 160);
    int presses = 0;
    auto* button = new BtnView(
        "start-btn", "Installieren", Qt::white, 200, 60, 10, SystemFont::of(18), [&] { ++presses; },
        &window);
    button->move(50, 50);
    QCursor::setPos(-500, -500); // the pointer starts off the button
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(button, &BtnView::clicked);
    const QPoint inside = button->rect().center();
    const auto hoverTo = [&](QPoint pos) {
        QTest::mouseMove(&window, button->mapTo(&window, pos));
    };
    // Away from the caption.
    const auto fill = [&] { return button->grab().toImage().pixelColor(12, 30); };

    ASSERT_EQ(button->buttonState(), ButtonState::normal);
    const QColor normal = fill();
    QTest::mouseClick(button, Qt::RightButton, {}, inside);
    hoverTo(inside);
    ASSERT_EQ(button->buttonState(), ButtonState::hovered);
    const QColor hovered = fill();
    QTest::mousePress(button, Qt::LeftButton, {}, inside);
    EXPECT_EQ(button->buttonState(), ButtonState::pressed);
    EXPECT_EQ(presses, 0) << "fires when the press ends, not when it starts";
    const QColor pressed = fill();
    EXPECT_TRUE(normal != hovered && normal != pressed && hovered != pressed);
    // The corner lies outside the 10-point radius.
    EXPECT_NE(button->grab().toImage().pixelColor(0, 0), pressed);

    QTest::mouseRelease(button, Qt::LeftButton, {}, inside);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(button->buttonState(), ButtonState::normal);
    EXPECT_EQ(fill(), normal);
    hoverTo(inside + QPoint(3, 0));
    EXPECT_EQ(button->buttonState(), ButtonState::normal) << "still over it, but just pressed";
    hoverTo(button->rect().bottomRight() + QPoint(30, 30));
    hoverTo(inside);
    EXPECT_EQ(button->buttonState(), ButtonState::hovered);

    // Return held down fires once: its repeats are not presses.
    QTest::keyClick(button, Qt::Key_Return);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, {}, true);
    QCoreApplication::sendEvent(button, &repeat);
    EXPECT_EQ(presses, 2);
}
