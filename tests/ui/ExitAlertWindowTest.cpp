#include "ui/ExitAlertWindow.h"
#include "i18n/MultiLanguageUtils.h"
#include "ui/BtnView.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

TEST(ExitAlertWindow, TwoTargetsAskToCloseOrToGoOn) {
    ASSERT_TRUE(MultiLanguageUtils::setLanguage(QStringLiteral("de")));
    ExitAlertWindow panel;
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_EQ(panel.size(), QSize(304, 236));

    BtnView* confirm = panel.confirmButton();
    BtnView* cancel = panel.cancelButton();
    EXPECT_EQ(confirm->text(), QStringLiteral("Schließen"));
    EXPECT_EQ(cancel->text(), QStringLiteral("Fortsetzen"));
    const QList<QLabel*> labels = panel.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    // Wrapped in its 228-point frame, every line shown.
    EXPECT_EQ(labels[0]->width(), 228);
    EXPECT_GE(labels[0]->height(), labels[0]->heightForWidth(228));

    // Side by side under the message, inside the panel, the closing one on the left.
    const QRect left = confirm->geometry(), right = cancel->geometry();
    EXPECT_LT(left.right(), right.left());
    EXPECT_GT(left.top(), labels[0]->geometry().bottom());
    EXPECT_TRUE(panel.rect().contains(left.united(right)));

    // Clicks go through the window, as the pointer's would.
    QWindow* window = panel.windowHandle();
    QSignalSpy confirmed(&panel, &ExitAlertWindow::confirmClose);
    QSignalSpy cancelled(&panel, &ExitAlertWindow::cancelClose);
    QTest::mouseClick(window, Qt::LeftButton, {}, right.center());
    EXPECT_EQ(cancelled.count(), 1);
    EXPECT_EQ(confirmed.count(), 0);
    QTest::mouseClick(window, Qt::LeftButton, {}, left.center());
    EXPECT_EQ(confirmed.count(), 1);
    EXPECT_EQ(cancelled.count(), 1);
    // The message is not a target.
    QTest::mouseClick(window, Qt::LeftButton, {}, labels[0]->geometry().center());
    EXPECT_EQ(confirmed.count() + cancelled.count(), 2);
}
