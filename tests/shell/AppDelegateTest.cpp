// The real window, driven with mouse events: each control reaches its flow
// action and its reports, and the close button does what the status asks.
#include "app/AppDelegate.h"
#include "ShellEnvironment.h"
#include "app/WindowPlacement.h"
#include "base/Globals.h"
#include "fakeproduct/FakeProduct.h"
#include "install/ProductPaths.h"
#include "platform/ProcessScan.h"
#include "support/DevServer.h"
#include "support/Files.h"
#include "support/LinuxTools.h"
#include "support/Sandbox.h"
#include "ui/AlertView.h"
#include "ui/BtnView.h"
#include "ui/CheckBoxToggleStyle.h"
#include "ui/ClickableText.h"
#include "ui/ContentView.h"
#include "ui/CustomInstallPanel.h"
#include "ui/DownloadFailedScreen.h"
#include "ui/DragMenuToggleStyle.h"
#include "ui/ExitAlertWindow.h"
#include "ui/InstallFailedScreen.h"
#include "ui/ProgressScreen.h"
#include "ui/StartScreen.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using shell::Match;
using shell::Report;

namespace {

Match plain(int result) {
    return [=](const Report& r) { return r.isPlain(result); };
}
Match point(int p, int click = 0) {
    return [=](const Report& r) { return r.isPoint(p, click); };
}
// A click report with its result and reason fields.
Match clickReport(int c, int result, int reason) {
    return [=](const Report& r) {
        return r.isClick(c) && r.value("result") == result && r.value("reason") == reason;
    };
}

class AppDelegateTest : public ::testing::Test {
protected:
    // The window shown; the flow follows its first frame.
    void open(std::chrono::milliseconds animationInterval = 5ms) {
        mark = shell::reports().size();
        AppDelegate::Options options;
        options.openUrl = [this](const QUrl& url) { opened << url; };
        options.flow.retryPause = 10ms;
        options.flow.animationInterval = animationInterval;
        delegate = std::make_unique<AppDelegate>(options);
        delegate->applicationDidFinishLaunching();
    }
    void launch(std::chrono::milliseconds animationInterval = 5ms) {
        open(animationInterval);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(delegate->window()));
        // The flow follows the first frame, with its first two reports.
        ASSERT_TRUE(QTest::qWaitFor([this] { return delegate->flow() != nullptr; }, 5000));
        ASSERT_TRUE(shell::waitForReports(mark, {plain(100), point(1)}));
        mark = shell::reports().size();
    }
    void TearDown() override {
        delegate.reset();
        // Reports still in flight land before the next test counts.
        shell::settledReportsSince(0);
    }

    InstallFlow& flow() const { return *delegate->flow(); }
    ContentView* view() const { return delegate->contentView(); }
    StartScreen* start() const { return view()->startScreen(); }
    QWidget* window() const { return delegate->window(); }

    static void click(QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    }
    // The flow looks for a running product off the UI thread, then starts the download.
    void pressInstall() {
        click(start()->installButton());
        ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Downloading));
    }
    // The reports since the last check hold these (sent in this order when
    // asked); the mark moves past them.
    bool reported(const QList<Match>& expected, bool inOrder = false, int timeoutMs = 10000) {
        const bool ok = inOrder ? shell::waitForReportsInOrder(mark, expected, timeoutMs)
                                : shell::waitForReports(mark, expected, timeoutMs);
        mark = shell::reports().size();
        return ok;
    }
    // A key typed where the keyboard focus is (the active window when nothing has it).
    static void type(Qt::Key key) {
        QWidget* target = QApplication::focusWidget();
        if (!target)
            target = QApplication::activeWindow();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key);
    }
    bool waitForStatus(INSTALLER_STATUS status, int timeoutMs = 10000) const {
        return QTest::qWaitFor([&] { return flow().installerStatus() == status; }, timeoutMs);
    }
    // The close button, as the window system delivers it. (Qt's own closes, as on
    // quit, are the application ending and never judged.)
    void userCloses() const {
        // Sent to the native window, the widget's close event is a spontaneous one.
        QCloseEvent close;
        QCoreApplication::sendEvent(window()->windowHandle(), &close);
    }
    // The system's quit (the menu's or the Dock's Quit, a logout): the user's close too.
    static void systemQuits() {
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
    }

    std::unique_ptr<AppDelegate> delegate;
    qsizetype mark = 0;
    QList<QUrl> opened;
};

} // namespace

// The start screen as mouse, keyboard and screen-reader users meet it: the
// focus starts on Install, Tab goes round the controls, and each way of
// ticking a box is the user's choice, recorded and reported. Before the flow
// exists, presses, keys and closing do nothing.
TEST_F(AppDelegateTest, StartScreenControlsReachTheFlowByMouseKeyboardAndScreenReader) {
    open();
    ASSERT_EQ(delegate->flow(), nullptr);
    click(start()->customInstallToggle());
    click(start()->disagreeButton());
    QTest::keyClick(start()->installButton(), Qt::Key_Return);
    userCloses();
    EXPECT_TRUE(window()->isVisible());
    EXPECT_FALSE(start()->customInstallToggle()->isChecked());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return delegate->flow() != nullptr; }, 5000));
    EXPECT_EQ(shell::settledReportsSince(mark).size(), 2);
    EXPECT_TRUE(reported({plain(100), point(1)}));
    EXPECT_EQ(flow().installerStatus(), INSTALLER_STATUS::Prepare_to_download);
    EXPECT_FALSE(flow().isExpanded());

    EXPECT_EQ(window()->windowTitle(), "Lumadoc Installer");
    EXPECT_EQ(window()->size(), QSize(680, 436));
    const QScreen* screen = QGuiApplication::primaryScreen();
    EXPECT_EQ(
        window()->frameGeometry().topLeft(),
        WindowPlacement::windowFrame(screen->geometry(), screen->availableGeometry()).topLeft());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window())->role(), QAccessible::Window);

    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    EXPECT_EQ(QApplication::focusWidget(), start()->installButton());
    const QList<QWidget*> order = {start()->customInstallToggle(),
                                   start()->findChild<ClickableText*>("termsLink"),
                                   start()->findChild<ClickableText*>("privacyLink"),
                                   start()->disagreeButton(), start()->installButton()};
    for (QWidget* expected : order) {
        type(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
    }
    // Return opens the panel; its boxes follow in the Tab order and Space ticks them.
    type(Qt::Key_Tab);
    type(Qt::Key_Return);
    ASSERT_TRUE(flow().isExpanded());
    CustomInstallPanel* panel = view()->customInstallPanel();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(window()->size(), QSize(680, 492));
    EXPECT_EQ(panel->geometry(), QRect(0, 436, 680, 56));
    type(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), panel->setDefaultBox());
    type(Qt::Key_Space);
    EXPECT_FALSE(flow().isSetDefault());
    click(panel->setDefaultBox());
    EXPECT_TRUE(flow().isSetDefault());

    // A screen reader's toggle: the state it then reads is the one recorded.
    const auto toggle = [](QWidget* box) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        return a->state().checked;
    };
    EXPECT_FALSE(toggle(panel->associateOfdBox()));
    EXPECT_FALSE(flow().userProfileModel().isAssotiateOFD());
    click(panel->associateOfdBox());
    EXPECT_TRUE(flow().userProfileModel().isAssotiateOFD());
    EXPECT_TRUE(reported({clickReport(4, 0, 0), clickReport(3, 0, 0)})) << "the OFD choices";

    click(start()->findChild<ClickableText*>("termsLink"));
    click(start()->findChild<ClickableText*>("privacyLink"));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].path(), "/terms/member-service-agreement");
    EXPECT_EQ(opened[1].path(), "/privacy");

    EXPECT_FALSE(toggle(start()->customInstallToggle()));
    EXPECT_FALSE(flow().isExpanded()) << "the reader's toggle closes the panel";
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(window()->size(), QSize(680, 436));
    EXPECT_TRUE(shell::settledReportsSince(mark).isEmpty()) << "links and the panel report nothing";
}

// A press that ends outside Install still starts the download; closing then asks
// first, and the panel answers the keyboard and goes when the download ends.
TEST_F(AppDelegateTest, ClosingWhileDownloadingAsksFirstUntilTheDownloadEnds) {
    launch();
    auto stalling = std::make_unique<DevServer>(QStringList{"--stall-after", "0"});
    downloadUrl = stalling->addPackage("lumadoc_x86_64.dmg", QByteArray(3 << 20, 'p'));
    click(start()->customInstallToggle());
    BtnView* install = start()->installButton();
    const QPoint outside = install->rect().bottomRight() + QPoint(40, 40);
    QTest::mousePress(install, Qt::LeftButton, {}, install->rect().center());
    QTest::mouseMove(install, outside);
    QTest::mouseRelease(install, Qt::LeftButton, {}, outside);
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Downloading));
    EXPECT_EQ(view()->currentScreen(), ContentView::Screen::progress);
    EXPECT_FALSE(flow().isExpanded()) << "starting the download closes the panel";
    EXPECT_EQ(window()->size(), QSize(680, 436));
    EXPECT_TRUE(reported({point(2), point(3)}));
    flow().onProgress(1, 3, 3725.9);
    EXPECT_EQ(view()->progressScreen()->remainingText(), "62 min 5 sec remaining");

    // Escape is "Continue"; Tab goes from "Continue" to "Close anyway" and back. The keys
    // go to the panel's own focus (the offscreen platform leaves its main window active).
    userCloses();
    QWidget* panel = delegate->confirmCloseAlert();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->geometry(), WindowPlacement::panelFrame(window()->frameGeometry()));
    const auto typeInPanel = [panel](Qt::Key key) { QTest::keyClick(panel->focusWidget(), key); };
    EXPECT_EQ(panel->focusWidget(), delegate->exitAlertWindow()->cancelButton());
    typeInPanel(Qt::Key_Tab);
    EXPECT_EQ(panel->focusWidget(), delegate->exitAlertWindow()->confirmButton());
    typeInPanel(Qt::Key_Tab);
    EXPECT_EQ(panel->focusWidget(), delegate->exitAlertWindow()->cancelButton());
    typeInPanel(Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return delegate->confirmCloseAlert() == nullptr; }, 2000));
    EXPECT_TRUE(reported({clickReport(6, 0, 0), clickReport(8, 0, 2)}, true));
    EXPECT_EQ(flow().installerStatus(), INSTALLER_STATUS::Downloading);

    // The download ends (twice: the automatic retry) while a new panel is open: it goes.
    systemQuits();
    ASSERT_NE(delegate->confirmCloseAlert(), nullptr);
    stalling.reset();
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Download_failed));
    EXPECT_TRUE(QTest::qWaitFor([&] { return delegate->confirmCloseAlert() == nullptr; }, 2000));
    EXPECT_TRUE(window()->isVisible());
}

TEST_F(AppDelegateTest, KeyboardAloneInstallsAndACloseDuringTheSuccessPathIsIgnored) {
    SKIP_WITHOUT_LINUX_TOOLS(); // the image is made with genisoimage
    QTemporaryDir work;
    DevServer packages;
    ASSERT_FALSE(FakeProduct::write(work.filePath("image")).isEmpty());
    ASSERT_TRUE(FakeProduct::makeDiskImage(work.filePath("image"),
                                           packages.packageDir() + "/lumadoc_x86_64.dmg"));
    struct Cleanup {
        ~Cleanup() {
            QProcess::execute("pkill", {"-KILL", "-f", sandbox::applicationsDir() + "/"});
            QDir(sandbox::applicationsDir() + "/Lumadoc.app").removeRecursively();
        }
    } cleanup;

    launch();
    downloadUrl = packages.packageUrl("lumadoc_x86_64.dmg");
    // One choice changed, the other kept: each lands in its own key.
    click(start()->customInstallToggle());
    click(view()->customInstallPanel()->associateOfdBox());
    EXPECT_TRUE(reported({clickReport(4, 0, 0)}));
    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    ASSERT_EQ(QApplication::focusWidget(), start()->installButton());
    // Closing right after the success path has started: it still writes, reports and
    // launches, and the window stays as it was.
    bool closeIgnored = false;
    QObject::connect(&flow(), &InstallFlow::statusChanged, window(), [&](INSTALLER_STATUS s) {
        if (s != INSTALLER_STATUS::Install_success)
            return;
        QMetaObject::invokeMethod(
            window(),
            [&] {
                userCloses();
                closeIgnored = window()->isVisible() && !window()->isMinimized();
            },
            Qt::QueuedConnection);
    });
    const qsizetype pressed = mark;
    type(Qt::Key_Return);
    EXPECT_TRUE(
        reported({point(2), point(3), point(5), point(6), plain(1), plain(21), point(8), point(9)},
                 true, 30000));
    EXPECT_TRUE(closeIgnored);
    const QList<Report> since = shell::settledReportsSince(pressed);
    EXPECT_FALSE(std::any_of(since.begin(), since.end(), [](const Report& r) {
        return r.isClick(5) || r.isPlain(3) || r.isPlain(2);
    })) << "the close reported an exit";
    const QByteArray settings = readFile(sandbox::dataDir() + "/Lumadoc/reg/common.ini");
    EXPECT_TRUE(settings.contains("\nsetDefault=1\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("\nsetOfdDefault=0\n")) << settings.toStdString();
}

TEST_F(AppDelegateTest, FailedDownloadScreenRetriesAndOpensFeedback) {
    launch();
    downloadUrl = "http://127.0.0.1:9/mac/dl/lumadoc_x86_64.dmg"; // nothing listens there
    pressInstall();
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Download_failed));
    EXPECT_EQ(view()->currentScreen(), ContentView::Screen::downloadFailed);
    EXPECT_TRUE(reported({point(2), point(3), plain(23), point(4)}));

    // The failure is announced: the focus is on its first action, which a reader
    // describes with the message.
    DownloadFailedScreen* failed = view()->downloadFailedScreen();
    EXPECT_EQ(QApplication::focusWidget(), failed->retryButton());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(failed->retryButton())
                  ->text(QAccessible::Description),
              "Download failed. Check your network and try again");
    click(failed->feedbackLink());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].path(), "/contact-us");
    EXPECT_TRUE(reported({clickReport(32, 0, 0)}));

    // The retry gets no automatic second chance.
    click(failed->retryButton());
    EXPECT_TRUE(reported({plain(24), clickReport(31, 0, 0), plain(23), point(4)}));
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Download_failed));
}

TEST_F(AppDelegateTest, ClosingWhileInstallingMinimisesAndTheFailureOffersReinstall) {
    launch(100ms); // about a second of install animation
    // Not a disk image, sent whole: the download succeeds, the install fails.
    DevServer packages;
    downloadUrl = packages.addPackage("lumadoc_x86_64.dmg", QByteArray(4096, 'x'));
    pressInstall();
    // The install of so small a file can fail, and report it, before the UI
    // thread shows Installing: the reports are counted from the press on.
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Installing));

    userCloses();
    EXPECT_TRUE(window()->isMinimized());
    EXPECT_EQ(delegate->confirmCloseAlert(), nullptr);
    window()->showNormal();
    systemQuits();
    EXPECT_TRUE(window()->isMinimized());
    window()->showNormal();

    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Install_failed));
    EXPECT_EQ(view()->currentScreen(), ContentView::Screen::installFailed);
    QList<Report> since = shell::settledReportsSince(mark);
    EXPECT_FALSE(std::any_of(since.begin(), since.end(), [](const Report& r) {
        return r.isClick(5) || r.isClick(6);
    })) << "minimising reports nothing";
    EXPECT_TRUE(reported({plain(25), point(7)}));

    click(view()->installFailedScreen()->reinstallButton());
    EXPECT_TRUE(reported({plain(26), clickReport(33, 0, 0), plain(25)}));
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Install_failed));
    EXPECT_EQ(QApplication::focusWidget(), view()->installFailedScreen()->reinstallButton());
}

TEST_F(AppDelegateTest, OverwriteInstallationHasNoToggleAndARunningProductRaisesTheAlert) {
    const QString app = FakeProduct::write(sandbox::applicationsDir());
    ASSERT_FALSE(app.isEmpty());
    // The reader as a script, started by an interpreter from its own folder with
    // arguments: no command-line word holds its full path.
    const QString macos = app + "/Contents/MacOS";
    ASSERT_FALSE(writeFile(macos + "/docreader", "while :; do sleep 1; done\n").isEmpty());
    QProcess product;
    product.setWorkingDirectory(macos);
    product.start("/bin/sh", {"./docreader", "-from=5", "--verbose"});
    ASSERT_TRUE(product.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return !processesRunning(ProductPaths().userPrograms()).isEmpty(); }, 5000));
    struct Cleanup {
        QProcess& product;
        QString app;
        ~Cleanup() {
            product.kill();
            product.waitForFinished();
            QDir(app).removeRecursively();
        }
    } cleanup{product, app};

    launch();
    EXPECT_FALSE(flow().isShowDragBtn());
    DragMenuToggleStyle* toggle = start()->customInstallToggle();
    EXPECT_FALSE(toggle->isVisible());
    // A click where it would be reaches nothing that opens the panel.
    QTest::mouseClick(window(), Qt::LeftButton, {},
                      toggle->mapTo(window(), toggle->rect().center()));
    EXPECT_FALSE(flow().isExpanded());

    AlertView* alert = view()->usingAlert();
    EXPECT_FALSE(alert->isVisible());
    click(start()->installButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return flow().isUsingNow(); }, 10000));
    EXPECT_EQ(flow().installerStatus(), INSTALLER_STATUS::Prepare_to_download);
    ASSERT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->title(), "Lumadoc is running.\nPlease quit it before installing.");
    QList<Report> since = shell::settledReportsSince(mark);
    ASSERT_EQ(since.size(), 1);
    EXPECT_TRUE(since[0].isPoint(2));
    mark += since.size();

    // The alert holds the keyboard: Tab stays on its button, Escape dismisses it.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    EXPECT_EQ(QApplication::focusWidget(), alert->button());
    type(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), alert->button());
    type(Qt::Key_Escape);
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(flow().isUsingNow());
    // The focus is back on Install, which opened the alert, and Tab moves on from it.
    EXPECT_EQ(QApplication::focusWidget(), start()->installButton());
    type(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), start()->disagreeButton());

    product.kill();
    product.waitForFinished();
    pressInstall();
    userCloses();
    ASSERT_NE(delegate->confirmCloseAlert(), nullptr);
    click(delegate->exitAlertWindow()->confirmButton());
    // An overwrite installation quits with result 2 and reason 1.
    EXPECT_TRUE(reported({point(3), clickReport(6, 0, 0), plain(2), clickReport(7, 2, 1)}));
}
