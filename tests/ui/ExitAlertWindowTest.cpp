#include "ui/ExitAlertWindow.h"
#include "ui/BtnView.h"

#include <QLabel>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

// The message wrapped in its 228-point frame, every line shown; the two buttons
// side by side under it, the closing one on the left; clicks through the window
// (as the pointer's) reach each button, and the message is not a target.
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
