#include "ui/BtnView.h"
#include "ui/SystemFont.h"

#include <QCursor>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A shown window with one 200 x 60 button at (50, 50), driven by real mouse events.
class BtnViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(300, 160);
        button = new BtnView(
            QStringLiteral("start-btn"), QStringLiteral("Installieren"), Qt::white, 200, 60, 10,
            SystemFont::of(18), [this] { ++presses; }, &window);
        button->move(50, 50);
        // The pointer starts off the button, whatever the previous test left behind.
        QCursor::setPos(-500, -500);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_EQ(button->buttonState(), ButtonState::normal);
    }

    QPoint inside() const { return button->rect().center(); }
    QPoint outside() const { return button->rect().bottomRight() + QPoint(30, 30); }

    void hoverTo(QPoint pos) { QTest::mouseMove(&window, button->mapTo(&window, pos)); }

    QWidget window;
    BtnView* button = nullptr;
    int presses = 0;
};

TEST_F(BtnViewTest, PressFiresWhereverItEnds) {
    QSignalSpy clicked(button, &BtnView::clicked);

    QTest::mousePress(button, Qt::LeftButton, {}, inside());
    EXPECT_EQ(button->buttonState(), ButtonState::pressed);
    EXPECT_EQ(presses, 0) << "fires when the press ends, not when it starts";
    QTest::mouseRelease(button, Qt::LeftButton, {}, inside());
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(clicked.count(), 1);

    // Dragged off the button before letting go is a press too (the window test's
    // Install); other buttons of the mouse are not presses.
    QTest::mouseClick(button, Qt::RightButton, {}, inside());
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(button->buttonState(), ButtonState::normal);
}

TEST_F(BtnViewTest, EachStateDrawsItsOwnLookAndAPressedButtonWaitsForThePointerToReenter) {
    const QPoint plain(12, 30); // away from the caption
    const auto fill = [this, plain] { return button->grab().toImage().pixelColor(plain); };
    const QColor normal = fill();
    hoverTo(inside());
    ASSERT_EQ(button->buttonState(), ButtonState::hovered);
    const QColor hovered = fill();
    QTest::mousePress(button, Qt::LeftButton, {}, inside());
    const QColor pressed = fill();
    EXPECT_NE(normal, hovered);
    EXPECT_NE(normal, pressed);
    EXPECT_NE(hovered, pressed);
    // The corner lies outside the 10-point radius.
    EXPECT_NE(button->grab().toImage().pixelColor(0, 0), pressed);

    QTest::mouseRelease(button, Qt::LeftButton, {}, inside());
    EXPECT_EQ(button->buttonState(), ButtonState::normal);
    EXPECT_EQ(fill(), normal);
    hoverTo(inside() + QPoint(3, 0));
    EXPECT_EQ(button->buttonState(), ButtonState::normal) << "still over it, but just pressed";
    hoverTo(outside());
    hoverTo(inside());
    EXPECT_EQ(button->buttonState(), ButtonState::hovered);
}

} // namespace
