// The view drawn from states set for the test (the flow behind it stays on its
// start screen): what each screen shows for the flow's fields.
#include "ui/ContentView.h"
#include "flow/InstallFlow.h"
#include "i18n/MultiLanguageUtils.h"
#include "ui/AlertView.h"
#include "ui/BtnView.h"
#include "ui/CheckBoxToggleStyle.h"
#include "ui/ClickableText.h"
#include "ui/CustomInstallPanel.h"
#include "ui/DownloadFailedScreen.h"
#include "ui/DragMenuToggleStyle.h"
#include "ui/ExitAlertWindow.h"
#include "ui/InstallFailedScreen.h"
#include "ui/ProgressBarView.h"
#include "ui/ProgressScreen.h"
#include "ui/StartScreen.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

ScreenState downloading(qint64 received, qint64 expected, qint64 remain = 0) {
    ScreenState s;
    s.installerStatus = INSTALLER_STATUS::Downloading;
    s.totalDownloaded = received;
    s.totalExpectedDownload = expected;
    s.progress = expected > 0 ? double(received) / double(expected) * 0.8 : 0.0;
    s.remainTime = remain;
    return s;
}

QAccessibleInterface* accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

class ContentViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        MultiLanguageUtils::setLanguage("en");
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    ProgressScreen* progress() { return view.progressScreen(); }

    InstallFlow flow{InstallFlow::Host{[] {}, {}, {}, {}}};
    ContentView view{flow};
};

} // namespace

// The status line's figures until the install phase, and what a screen reader
// reads from the bar: the percentage as its value, the status line as its text.
TEST_F(ContentViewTest, StatusLineShowsFiguresUntilTheInstallPhase) {
    ScreenState installing = downloading(300, 300);
    installing.installerStatus = INSTALLER_STATUS::Installing;
    installing.progress = 0.9;
    const QString install = "||||Installing (done in about 10 seconds)";
    const struct {
        ScreenState state;
        QString shown; // received|expected|percent|remaining|install
        int value;
    } cases[] = {
        {downloading(150, 300), "150MB| / 300MB |50%|0 sec remaining|", 50},
        // 7 * 0.8 / 10 / 0.8 is a hair under 0.7 in doubles: still 70%.
        {downloading(7, 10, 59), "7MB| / 10MB |70%|59 sec remaining|", 70},
        {downloading(299, 300, 60), "299MB| / 300MB |99%|1 min 0 sec remaining|", 99},
        {downloading(120, 300, 3725), "120MB| / 300MB |40%|62 min 5 sec remaining|", 40},
        // No size announced yet: no fraction, so no percentage.
        {downloading(3, 0), "3MB| ||0 sec remaining|", 0},
        // From 0.8 on the install text, even while the status is still Downloading.
        {downloading(300, 300), install, 100},
        {installing, install, 100},
    };
    QAccessibleInterface* bar = accessible(progress()->bar());
    ASSERT_NE(bar->valueInterface(), nullptr);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        view.showState(c.state);
        EXPECT_EQ(view.currentScreen(), ContentView::Screen::progress);
        EXPECT_TRUE(progress()->isVisible());
        const QStringList shown = {progress()->receivedText(), progress()->expectedText(),
                                   progress()->percentText(), progress()->remainingText(),
                                   progress()->installText()};
        EXPECT_EQ(shown.join('|'), c.shown);
        EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), c.value);
        const QString line = shown[4].isEmpty() ? (shown[2].isEmpty() ? "" : shown[2] + ", ") +
                                                      shown[0] + shown[1] + shown[3]
                                                : shown[4];
        EXPECT_EQ(bar->text(QAccessible::Value), line.simplified());
    }
    // The figures stand under the bar, from its left end to its right end.
    view.showState(downloading(150, 300));
    const auto ends = [&](const char* name) {
        const QWidget* widget = progress()->findChild<QWidget*>(name);
        const QRect r(widget->mapTo(progress(), QPoint()), widget->size());
        return std::pair(r.left(), r.right());
    };
    EXPECT_EQ(ends("receivedText").first, ends("progressBar").first);
    EXPECT_EQ(ends("percentText").second, ends("progressBar").second);
}

TEST_F(ContentViewTest, BarAnimatesOnItsScreenAndStartsWhereTheFlowIsOnANewOne) {
    view.showState(downloading(0, 300));
    ProgressBarView* bar = progress()->bar();
    EXPECT_TRUE(bar->showsTrack());
    EXPECT_EQ(bar->fillWidth(), 0);

    view.showState(downloading(150, 300));
    EXPECT_EQ(bar->targetWidth(), 144);
    EXPECT_LT(bar->fillWidth(), 144) << "eases towards the new width";
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->fillWidth() == 144; }, 3000));

    // The failed screen keeps the blue part where the download stopped, at once.
    ScreenState failed = downloading(150, 300);
    failed.installerStatus = INSTALLER_STATUS::Download_failed;
    view.showState(failed);
    EXPECT_EQ(view.currentScreen(), ContentView::Screen::downloadFailed);
    EXPECT_FALSE(progress()->isVisible());
    ProgressBarView* failedBar = view.downloadFailedScreen()->bar();
    EXPECT_FALSE(failedBar->showsTrack());
    EXPECT_EQ(failedBar->fillWidth(), 144);

    // The install animation passes 1.0; the fill stays on the track.
    EXPECT_EQ(ProgressBarView::widthFor(1.08), 360);
    EXPECT_EQ(ProgressBarView::widthFor(-0.5), 0);
    EXPECT_EQ(ProgressBarView::widthFor(std::nan("")), 0);
}

// Screen readers get every control's role and its name in the interface language.
TEST(Accessibility, EveryControlHasItsRoleAndANameInTheInterfaceLanguage) {
    for (const QString language : {"en", "de"}) {
        SCOPED_TRACE(language.toStdString());
        MultiLanguageUtils::setLanguage(language);
        ContentView view;
        ExitAlertWindow panel;
        StartScreen* start = view.startScreen();
        CustomInstallPanel* options = view.customInstallPanel();
        const auto link = [&](const char* name) { return start->findChild<ClickableText*>(name); };
        // The German name differs unless it is the same word.
        const std::tuple<QWidget*, QAccessible::Role, QString> controls[] = {
            {start->disagreeButton(), QAccessible::Button, "Decline"},
            {start->installButton(), QAccessible::Button, "Install"},
            {link("termsLink"), QAccessible::Link, "\"User Agreement\""},
            {link("privacyLink"), QAccessible::Link, "\"Privacy Policy\""},
            {start->customInstallToggle(), QAccessible::CheckBox, "Custom installation"},
            {options->setDefaultBox(), QAccessible::CheckBox,
             "Make Lumadoc the default PDF reader and prevent tampering"},
            {options->associateOfdBox(), QAccessible::CheckBox,
             "Associate OFD documents with Lumadoc"},
            {view.downloadFailedScreen()->retryButton(), QAccessible::Link, "try again"},
            {view.downloadFailedScreen()->feedbackLink(), QAccessible::Link, "Feedback"},
            {view.installFailedScreen()->reinstallButton(), QAccessible::Link, "reinstall"},
            {view.usingAlert(), QAccessible::AlertMessage,
             "Lumadoc is running.\nPlease quit it before installing."},
            {view.usingAlert()->button(), QAccessible::Button, "OK"},
            {&panel, QAccessible::Dialog,
             "After closing, the software download will terminate. Are you sure you want to "
             "close?"},
            {panel.confirmButton(), QAccessible::Button, "Close anyway"},
            {panel.cancelButton(), QAccessible::Button, "Continue"},
            {view.progressScreen()->bar(), QAccessible::ProgressBar, "Lumadoc Installer"},
        };
        for (const auto& [widget, role, en] : controls) {
            SCOPED_TRACE(en.toStdString());
            QAccessibleInterface* a = accessible(widget);
            ASSERT_NE(a, nullptr);
            EXPECT_EQ(a->role(), role);
            EXPECT_EQ(a->state().checkable, role == QAccessible::CheckBox); // "checked" is read
            const QString name = a->text(QAccessible::Name);
            EXPECT_EQ(name == en, language == "en" || en == "Feedback" || en == "OK")
                << name.toStdString();
            EXPECT_FALSE(name.isEmpty());
            // Every control is reached with Tab and can be pressed by a screen reader.
            if (role == QAccessible::Button || role == QAccessible::Link ||
                role == QAccessible::CheckBox) {
                EXPECT_EQ(widget->focusPolicy(), Qt::TabFocus);
                ASSERT_NE(a->actionInterface(), nullptr);
                const QStringList actions = a->actionInterface()->actionNames();
                EXPECT_TRUE(actions.contains(QAccessibleActionInterface::pressAction()) ||
                            actions.contains(QAccessibleActionInterface::toggleAction()));
            }
        }
        QSignalSpy installs(start, &StartScreen::installClicked);
        view.show(); // a hidden control cannot be pressed
        accessible(start->installButton())
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(installs.size(), 1);
    }
    MultiLanguageUtils::setLanguage("en");
}
