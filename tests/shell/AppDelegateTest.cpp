// The real window, driven with mouse events: each control reaches its flow
// action and its reports, and the close button does what the status asks.
// (The window's endings as a whole are WindowEndingTest's.)
#include "app/AppDelegate.h"
#include "ShellEnvironment.h"
#include "app/WindowPlacement.h"
#include "base/Globals.h"
#include "fakeproduct/FakeProduct.h"
#include "install/ProductPaths.h"
#include "platform/ProcessScan.h"
#include "support/DevServer.h"
#include "support/Files.h"
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
#include "ui/ProgressBarView.h"
#include "ui/ProgressScreen.h"
#include "ui/StartScreen.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class AppDelegateTest : public ::testing::Test {
protected:
    // The window shown; the flow follows its first frame.
    void open(std::chrono::milliseconds animationInterval = 5ms) {
        mark = shell::reports().size();
        AppDelegate::Options options;
        options.openUrl = [this](const QUrl& url) { opened << url.path(); };
        options.flow.retryPause = 10ms;
        options.flow.animationInterval = animationInterval;
        delegate = std::make_unique<AppDelegate>(options);
        delegate->applicationDidFinishLaunching();
    }
    // The flow follows the first frame, with its first two reports.
    void launch(std::chrono::milliseconds animationInterval = 5ms) {
        open(animationInterval);
        waitForFlow();
    }
    void waitForFlow() {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(delegate->window()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return delegate->flow() != nullptr; }, 5000));
        ASSERT_TRUE(reported({"result 100", "showInterface"}));
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
    ClickableText* link(const char* name) const { return start()->findChild<ClickableText*>(name); }

    static void click(QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    }
    // The flow looks for a running product off the UI thread, then starts the download.
    void pressInstall() {
        click(start()->installButton());
        ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Downloading));
    }
    // The reports since the last check hold these; the mark moves past them.
    ::testing::AssertionResult reported(const QStringList& expected, int timeoutMs = 10000) {
        const bool ok = shell::waitForReports(mark, expected, timeoutMs);
        const QStringList seen = shell::reports().mid(mark);
        mark += seen.size();
        if (ok)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "reports: " << seen.join(", ").toStdString();
    }
    // Keys typed where the keyboard focus is (in `panel` when given, else the
    // application's, else the active window); the focus after each.
    static QList<QWidget*> type(const QList<Qt::Key>& keys, QWidget* panel = nullptr) {
        QList<QWidget*> focus;
        for (const Qt::Key key : keys) {
            QWidget* target = panel ? panel->focusWidget() : QApplication::focusWidget();
            QTest::keyClick(target ? target : QApplication::activeWindow(), key);
            focus << (panel ? panel->focusWidget() : QApplication::focusWidget());
        }
        return focus;
    }
    bool waitForStatus(INSTALLER_STATUS status, int timeoutMs = 10000) const {
        return QTest::qWaitFor([&] { return flow().installerStatus() == status; }, timeoutMs);
    }
    // The close button, as the window system delivers it (sent to the native
    // window, the widget's close event is a spontaneous one). Qt's own closes,
    // as on quit, are the application ending and never judged.
    void userCloses() const {
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
    QStringList opened;
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
    EXPECT_TRUE(reported({"result 100", "showInterface"}));
    EXPECT_EQ(flow().installerStatus(), INSTALLER_STATUS::Prepare_to_download);
    EXPECT_FALSE(flow().isExpanded());

    const QScreen* screen = QGuiApplication::primaryScreen();
    EXPECT_EQ(window()->size(), QSize(680, 436));
    EXPECT_EQ(
        window()->frameGeometry().topLeft(),
        WindowPlacement::windowFrame(screen->geometry(), screen->availableGeometry()).topLeft());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window())->role(), QAccessible::Window);

    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    EXPECT_EQ(QApplication::focusWidget(), start()->installButton());
    const auto tab = Qt::Key_Tab;
    EXPECT_EQ(
        type({tab, tab, tab, tab, tab}),
        QList<QWidget*>({start()->customInstallToggle(), link("termsLink"), link("privacyLink"),
                         start()->disagreeButton(), start()->installButton()}));
    // Return opens the panel; its boxes follow in the Tab order and Space ticks them.
    CustomInstallPanel* panel = view()->customInstallPanel();
    EXPECT_EQ(type({tab, Qt::Key_Return, tab, Qt::Key_Space}).last(), panel->setDefaultBox());
    ASSERT_TRUE(flow().isExpanded());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(window()->size(), QSize(680, 492));
    EXPECT_EQ(panel->geometry(), QRect(0, 436, 680, 56));
    EXPECT_FALSE(flow().isSetDefault());
    click(panel->setDefaultBox());
    EXPECT_TRUE(flow().isSetDefault());

    // A screen reader's toggle: the state it then reads is the one recorded.
    const auto toggle = [](QWidget* box) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        return a->state().checked;
    };
    click(panel->associateOfdBox());
    EXPECT_FALSE(flow().userProfileModel().isAssotiateOFD());
    EXPECT_TRUE(reported({"showInterface click 4"})) << "the OFD association turned off";
    EXPECT_TRUE(toggle(panel->associateOfdBox()));
    EXPECT_TRUE(flow().userProfileModel().isAssotiateOFD());
    EXPECT_TRUE(reported({"showInterface click 3"})) << "and on again";

    // A link opens once per click or key: not for a held key's repeats, nor for a
    // press let go elsewhere.
    click(link("termsLink"));
    QWidget* privacy = link("privacyLink");
    QTest::keyClick(privacy, Qt::Key_Space);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, {}, true);
    QCoreApplication::sendEvent(privacy, &repeat);
    QTest::mousePress(privacy, Qt::LeftButton, {}, privacy->rect().center());
    QTest::mouseRelease(privacy, Qt::LeftButton, {}, privacy->rect().bottomRight() + QPoint(9, 9));
    EXPECT_EQ(opened, QStringList({"/terms/member-service-agreement", "/privacy"}));

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
    EXPECT_TRUE(reported({"installNow", "downloadStart"}));
    flow().onProgress(1, 3, 3725.9);
    const ProgressScreen* progress = view()->progressScreen();
    EXPECT_EQ(progress->receivedText() + progress->expectedText() + progress->remainingText(),
              "1MB / 3MB 62 min 5 sec remaining");
    // The focus waits on the bar, not on a hidden control: a Space unticks no hidden
    // box, and a screen reader can neither press the hidden Decline nor focus it for
    // the Space to press.
    QAccessibleActionInterface* decline =
        QAccessible::queryAccessibleInterface(start()->disagreeButton())->actionInterface();
    decline->doAction(QAccessibleActionInterface::setFocusAction());
    decline->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(type({Qt::Key_Space}).last(), progress->bar());
    EXPECT_TRUE(flow().isSetDefault());

    // Escape is "Continue"; Tab goes from "Continue" to "Close anyway" and back. The keys
    // go to the panel's own focus (the offscreen platform leaves its main window active).
    userCloses();
    QWidget* panel = delegate->confirmCloseAlert();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Name),
              "Lumadoc Installer");
    EXPECT_EQ(panel->geometry(), WindowPlacement::panelFrame(window()->frameGeometry()));
    ExitAlertWindow* alert = delegate->exitAlertWindow();
    EXPECT_EQ(panel->focusWidget(), alert->cancelButton());
    EXPECT_EQ(type({Qt::Key_Tab, Qt::Key_Tab}, panel),
              QList<QWidget*>({alert->confirmButton(), alert->cancelButton()}));
    type({Qt::Key_Escape}, panel);
    EXPECT_TRUE(QTest::qWaitFor([&] { return delegate->confirmCloseAlert() == nullptr; }, 2000));
    EXPECT_TRUE(reported({"downloadStart click 6", "downloadStart click 8 (0/2)"}));
    EXPECT_EQ(flow().installerStatus(), INSTALLER_STATUS::Downloading);

    // The download ends (twice: the automatic retry) while a new panel is open: it goes.
    systemQuits();
    ASSERT_NE(delegate->confirmCloseAlert(), nullptr);
    stalling.reset();
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Download_failed));
    EXPECT_TRUE(QTest::qWaitFor([&] { return delegate->confirmCloseAlert() == nullptr; }, 2000));
    EXPECT_TRUE(window()->isVisible());
}

// The failure is announced: the focus is on its first action, which a reader
// describes with the message. The user's retry gets no automatic second chance.
TEST_F(AppDelegateTest, FailedDownloadScreenRetriesAndOpensFeedback) {
    launch();
    downloadUrl = "http://127.0.0.1:9/mac/dl/lumadoc_x86_64.dmg"; // nothing listens there
    pressInstall();
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Download_failed));

    DownloadFailedScreen* failed = view()->downloadFailedScreen();
    EXPECT_EQ(QApplication::focusWidget(), failed->retryButton());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(failed->retryButton())
                  ->text(QAccessible::Description),
              "Download failed. Check your network and try again");
    click(failed->feedbackLink());
    EXPECT_EQ(opened, QStringList{"/contact-us"});
    EXPECT_TRUE(reported({"downloadFail click 32"}));

    click(failed->retryButton());
    EXPECT_TRUE(reported({"result 24", "downloadFail click 31", "result 23", "downloadFail"}));
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Download_failed));
}

TEST_F(AppDelegateTest, ClosingWhileInstallingMinimisesAndTheFailureOffersReinstall) {
    launch(100ms); // about a second of install animation
    // Not a disk image, sent whole: the download succeeds, the install fails.
    DevServer packages;
    downloadUrl = packages.addPackage("lumadoc_x86_64.dmg", QByteArray(4096, 'x'));
    pressInstall();
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
    // So small a file can fail, and report it, before the screen shows Installing:
    // the reports are counted from the press on.
    EXPECT_EQ(shell::settledReportsSince(mark).filter(QRegularExpression("click [56]")),
              QStringList())
        << "minimising reports nothing";

    QWidget* reinstall = view()->installFailedScreen()->reinstallButton();
    click(reinstall);
    EXPECT_TRUE(reported({"result 26", "installFail click 33", "result 25"}));
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Install_failed));
    EXPECT_EQ(QApplication::focusWidget(), reinstall);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(reinstall)->text(QAccessible::Description),
              "Installation failed. Click here to reinstall");
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
    const auto cleanup = qScopeGuard([&] {
        product.kill();
        product.waitForFinished();
        QDir(app).removeRecursively();
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return !processesRunning(ProductPaths().userPrograms()).isEmpty(); }, 5000));

    open();
    DragMenuToggleStyle* toggle = start()->customInstallToggle();
    EXPECT_FALSE(toggle->isVisible()) << "not even in the frames before the flow";
    waitForFlow();
    EXPECT_FALSE(flow().isShowDragBtn());
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
    // Over the whole window, its button in the middle.
    EXPECT_EQ(alert->geometry(), alert->parentWidget()->rect());
    EXPECT_NEAR(alert->button()->mapTo(window(), alert->button()->rect().center()).x(),
                window()->width() / 2, 1);
    EXPECT_EQ(shell::settledReportsSince(mark), QStringList{"installNow"});
    mark = shell::reports().size();

    // The alert holds the keyboard: Tab stays on its button, Escape dismisses it;
    // the focus is back on Install, which opened it, and Tab moves on from there.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    EXPECT_EQ(QApplication::focusWidget(), alert->button());
    EXPECT_EQ(
        type({Qt::Key_Tab, Qt::Key_Escape, Qt::Key_Backtab}),
        QList<QWidget*>({alert->button(), start()->installButton(), start()->disagreeButton()}));
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(flow().isUsingNow());

    product.kill();
    product.waitForFinished();
    pressInstall();
    userCloses();
    ASSERT_NE(delegate->confirmCloseAlert(), nullptr);
    click(delegate->exitAlertWindow()->confirmButton());
    // An overwrite installation quits with result 2 and reason 1.
    EXPECT_TRUE(reported(
        {"downloadStart", "downloadStart click 6", "result 2", "downloadStart click 7 (2/1)"}));
}
