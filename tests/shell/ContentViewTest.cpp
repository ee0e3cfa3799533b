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

ScreenState downloading(qint64 received, qint64 expected) {
    ScreenState s;
    s.installerStatus = INSTALLER_STATUS::Downloading;
    s.totalDownloaded = received;
    s.totalExpectedDownload = expected;
    s.progress = expected > 0 ? double(received) / double(expected) * 0.8 : 0.0;
    return s;
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

TEST_F(ContentViewTest, StatusLineShowsFiguresUntilTheInstallPhase) {
    struct Case {
        ScreenState state;
        QString received, expected, percent, install;
    };
    ScreenState atInstallPhase = downloading(300, 300);
    ScreenState installing = downloading(300, 300);
    installing.installerStatus = INSTALLER_STATUS::Installing;
    installing.progress = 0.9;
    const Case cases[] = {
        {downloading(150, 300), "150MB", " / 300MB ", "50%", ""},
        // 7 * 0.8 / 10 / 0.8 is a hair under 0.7 in doubles: still 70%.
        {downloading(7, 10), "7MB", " / 10MB ", "70%", ""},
        {downloading(299, 300), "299MB", " / 300MB ", "99%", ""},
        // No size announced yet: no fraction, so no percentage.
        {downloading(3, 0), "3MB", " ", "", ""},
        // From 0.8 on the install text, even while the status is still Downloading.
        {atInstallPhase, "", "", "", "Installing (done in about 10 seconds)"},
        {installing, "", "", "", "Installing (done in about 10 seconds)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.received.toStdString() + c.expected.toStdString());
        view.showState(c.state);
        EXPECT_EQ(view.currentScreen(), ContentView::Screen::progress);
        EXPECT_TRUE(progress()->isVisible());
        EXPECT_EQ(progress()->receivedText(), c.received);
        EXPECT_EQ(progress()->expectedText(), c.expected);
        EXPECT_EQ(progress()->percentText(), c.percent);
        EXPECT_EQ(progress()->installText(), c.install);
        EXPECT_EQ(progress()->showsInstallText(), !c.install.isEmpty());
    }
}

TEST_F(ContentViewTest, RemainingTimeTextsInTheTableInUse) {
    const std::pair<qint64, const char*> cases[] = {{59, "59 sec remaining"},
                                                    {60, "1 min 0 sec remaining"},
                                                    {3725, "62 min 5 sec remaining"},
                                                    {0, "0 sec remaining"}};
    for (const auto& [seconds, text] : cases) {
        ScreenState s = downloading(10, 100);
        s.remainTime = seconds;
        view.showState(s);
        EXPECT_EQ(progress()->remainingText(), text);
    }
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

namespace {

struct Named {
    QWidget* widget;
    QAccessible::Role role;
    QString en, de;
};

QAccessibleInterface* accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

} // namespace

// Screen readers get every control's role and its name in the interface language.
TEST(Accessibility, EveryControlHasItsRoleAndNameInEnglishAndGerman) {
    for (const QString language : {"en", "de"}) {
        SCOPED_TRACE(language.toStdString());
        MultiLanguageUtils::setLanguage(language);
        ContentView view;
        ExitAlertWindow panel;
        StartScreen* start = view.startScreen();
        CustomInstallPanel* options = view.customInstallPanel();
        const Named controls[] = {
            {start->disagreeButton(), QAccessible::Button, "Decline", "Ablehnen"},
            {start->installButton(), QAccessible::Button, "Install", "Installieren"},
            {start->findChild<ClickableText*>("termsLink"), QAccessible::Link, "\"User Agreement\"",
             "„Nutzungsvereinbarung“"},
            {start->findChild<ClickableText*>("privacyLink"), QAccessible::Link,
             "\"Privacy Policy\"", "„Datenschutzerklärung“"},
            {start->customInstallToggle(), QAccessible::CheckBox, "Custom installation",
             "Benutzerdefinierte Installation"},
            {options->setDefaultBox(), QAccessible::CheckBox,
             "Make Lumadoc the default PDF reader and prevent tampering",
             "Lumadoc als Standard-PDF-Reader festlegen und vor Änderungen schützen"},
            {options->associateOfdBox(), QAccessible::CheckBox,
             "Associate OFD documents with Lumadoc", "OFD-Dokumente mit Lumadoc verknüpfen"},
            {view.downloadFailedScreen()->retryButton(), QAccessible::Link, "try again",
             "erneut versuchen"},
            {view.downloadFailedScreen()->feedbackLink(), QAccessible::Link, "Feedback",
             "Feedback"},
            {view.installFailedScreen()->reinstallButton(), QAccessible::Link, "reinstall",
             "erneut installieren"},
            {view.usingAlert(), QAccessible::AlertMessage,
             "Lumadoc is running.\nPlease quit it before installing.",
             "Lumadoc wird gerade ausgeführt.\nBitte beenden Sie Lumadoc vor der Installation."},
            {view.usingAlert()->button(), QAccessible::Button, "OK", "OK"},
            {&panel, QAccessible::Dialog,
             "After closing, the software download will terminate. Are you sure you want to "
             "close?",
             "Wenn Sie das Fenster schließen, wird der Download abgebrochen. Möchten Sie wirklich "
             "schließen?"},
            {panel.confirmButton(), QAccessible::Button, "Close anyway", "Schließen"},
            {panel.cancelButton(), QAccessible::Button, "Continue", "Fortsetzen"},
            {view.progressScreen()->bar(), QAccessible::ProgressBar, "Lumadoc Installer",
             "Lumadoc-Installationsprogramm"},
        };
        for (const Named& c : controls) {
            ASSERT_NE(c.widget, nullptr);
            QAccessibleInterface* a = accessible(c.widget);
            ASSERT_NE(a, nullptr);
            EXPECT_EQ(a->role(), c.role) << c.en.toStdString();
            EXPECT_EQ(a->text(QAccessible::Name), language == "en" ? c.en : c.de);
            // Every control is reached with Tab and can be pressed by a screen reader.
            if (c.role == QAccessible::Button || c.role == QAccessible::Link ||
                c.role == QAccessible::CheckBox) {
                EXPECT_EQ(c.widget->focusPolicy(), Qt::TabFocus) << c.en.toStdString();
                ASSERT_NE(a->actionInterface(), nullptr);
                const QStringList actions = a->actionInterface()->actionNames();
                EXPECT_TRUE(actions.contains(QAccessibleActionInterface::pressAction()) ||
                            actions.contains(QAccessibleActionInterface::toggleAction()))
                    << c.en.toStdString();
            }
        }
        QSignalSpy installs(start, &StartScreen::installClicked);
        accessible(start->installButton())
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(installs.size(), 1);
    }
    MultiLanguageUtils::setLanguage("en");
}

TEST_F(ContentViewTest, TheProgressBarsValueIsThePercentageAndTheStatusLine) {
    QAccessibleValueInterface* value = accessible(progress()->bar())->valueInterface();
    ASSERT_NE(value, nullptr);
    struct Case {
        ScreenState state;
        int percent;
        QString text;
    };
    ScreenState withTime = downloading(120, 300);
    withTime.remainTime = 95;
    ScreenState installing = downloading(300, 300);
    installing.installerStatus = INSTALLER_STATUS::Installing;
    installing.progress = 0.9;
    const Case cases[] = {
        {withTime, 40, "40%, 120MB / 300MB 1 min 35 sec remaining"},
        {downloading(150, 300), 50, "50%, 150MB / 300MB 0 sec remaining"},
        {downloading(3, 0), 0, "3MB 0 sec remaining"},
        {installing, 100, "Installing (done in about 10 seconds)"},
    };
    for (const Case& c : cases) {
        view.showState(c.state);
        EXPECT_EQ(value->currentValue().toInt(), c.percent);
        EXPECT_EQ(accessible(progress()->bar())->text(QAccessible::Value), c.text);
    }
    EXPECT_EQ(value->maximumValue().toInt(), 100);
}
