// The view drawn from states set for the test (the flow behind it stays on its
// start screen): what each screen shows for the flow's fields.
#include "ui/ContentView.h"
#include "flow/InstallFlow.h"
#include "i18n/MultiLanguageUtils.h"
#include "ui/DownloadFailedScreen.h"
#include "ui/ProgressBarView.h"
#include "ui/ProgressScreen.h"

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
