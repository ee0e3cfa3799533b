// The window's controls, shown and driven by real mouse events.
#include "ui/BtnView.h"
#include "ui/CheckBoxToggleStyle.h"
#include "ui/DragMenuToggleStyle.h"
#include "ui/ExitAlertWindow.h"
#include "ui/SystemFont.h"

#include <QCursor>
#include <QLabel>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

// A button fires when a left press ends, each state draws its own look, and a pressed
// button waits for the pointer to come back before it hovers.
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
    const QPoint inside = button->rect().center();
    const auto hoverTo = [&](QPoint pos) {
        QTest::mouseMove(&window, button->mapTo(&window, pos));
    };
    // Away from the caption.
    const auto fill = [&] { return button->grab().toImage().pixelColor(12, 30); };

    const QColor normal = fill();
    QTest::mouseClick(button, Qt::RightButton, {}, inside);
    hoverTo(inside);
    const QColor hovered = fill();
    QTest::mousePress(button, Qt::LeftButton, {}, inside);
    EXPECT_EQ(presses, 0) << "fires when the press ends, not when it starts";
    const QColor pressed = fill();
    EXPECT_TRUE(normal != hovered && normal != pressed && hovered != pressed);
    // The corner lies outside the 10-point radius.
    EXPECT_NE(button->grab().toImage().pixelColor(0, 0), pressed);

    QTest::mouseRelease(button, Qt::LeftButton, {}, inside);
    EXPECT_EQ(presses, 1);
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

// A tap on either far end of the row (the label, the image) flips the box and
// its image and says so; a press that leaves the row is not a tap.
TEST(Toggles, TapAnywhereOnTheRowFlipsTheBoolAndReportsIt) {
    QWidget window;
    const QString label = QStringLiteral("Benutzerdefinierte Installation");
    const std::pair<ImageToggle*, QString> cases[] = {
        {new CheckBoxToggleStyle(label, &window), "uncheckbox checkedbox uncheckbox"},
        {new DragMenuToggleStyle(label, &window), "dragDown dragUp dragDown"}};
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const auto& [toggle, images] : cases) {
        toggle->setFont(SystemFont::of(12, QFont::Light));
        toggle->resize(toggle->sizeHint());
        QStringList seen{toggle->imageName()}, toggled;
        QObject::connect(toggle, &QAbstractButton::toggled,
                         [&](bool on) { toggled << (on ? "on" : "off"); });
        const int y = toggle->height() / 2;
        for (const int x : {2, toggle->width() - 2}) {
            QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(x, y));
            seen << toggle->imageName();
        }
        QTest::mousePress(toggle, Qt::LeftButton, {}, QPoint(2, y));
        QTest::mouseRelease(toggle, Qt::LeftButton, {}, QPoint(toggle->width() + 40, y));
        EXPECT_EQ(seen.join(' '), images);
        EXPECT_EQ(toggled, QStringList({"on", "off"}));
    }
}

// The message wrapped in its 228-point frame, every line shown, the two buttons under
// it, the closing one on the left; clicks through the window reach only the buttons.
TEST(ExitAlertWindow, TwoTargetsAskToCloseOrToGoOn) {
    ExitAlertWindow panel;
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_EQ(panel.size(), QSize(304, 236));
    const QLabel* message = panel.findChild<QLabel*>();
    EXPECT_EQ(message->width(), 228);
    EXPECT_GE(message->height(), message->heightForWidth(228));
    const QRect left = panel.confirmButton()->geometry(), right = panel.cancelButton()->geometry();
    EXPECT_LT(left.right(), right.left());
    EXPECT_GT(left.top(), message->geometry().bottom());
    EXPECT_TRUE(panel.rect().contains(left.united(right)));

    QStringList got;
    QObject::connect(&panel, &ExitAlertWindow::confirmClose, [&] { got << "close"; });
    QObject::connect(&panel, &ExitAlertWindow::cancelClose, [&] { got << "go on"; });
    for (const QPoint at : {right.center(), message->geometry().center(), left.center()})
        QTest::mouseClick(panel.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(got, QStringList({"go on", "close"}));
}
