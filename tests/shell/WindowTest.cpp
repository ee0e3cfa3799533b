// The installer's window: the view drawn from set states, then the real window driven by
// mouse, keyboard and screen reader. (Its endings are WindowEndingTest's.)
#include "app/AppDelegate.h"
#include "app/WindowPlacement.h"
#include "base/Globals.h"
#include "fakeproduct/FakeProduct.h"
#include "i18n/MultiLanguageUtils.h"
#include "install/ProductPaths.h"
#include "platform/ProcessScan.h"
#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"
#include "support/Files.h"
#include "support/InstallScenario.h"
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
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

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

// One devserver takes every report and serves a package it announces, then stalls on.
std::unique_ptr<InstallScenario> g_scenario;

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        g_scenario = std::make_unique<InstallScenario>(QStringList{"--stall-after", "0"});
        g_scenario->serveRaw(QByteArray(3 << 20, 'p'));
        // Read once, at the first report or download; no test has run one yet.
        g_scenario->applyToThisProcess();
    }
    void TearDown() override { g_scenario.reset(); }
};

const auto* g_environment = ::testing::AddGlobalTestEnvironment(new Environment);

// The reports so far, in arrival order, as InstallScenario::label() names them; a
// click's result and reason follow as " (result/reason)" unless both are 0.
QStringList reports() {
    QStringList labels;
    for (const QJsonObject& entry : g_scenario->server().telemetry()) {
        QString label = InstallScenario::label(entry);
        const QJsonObject p = entry["data"].toObject()["properties"].toObject();
        if (p["click"].toInt() != 0 && (p["result"].toInt() != 0 || p["reason"].toInt() != 0))
            label += QString(" (%1/%2)").arg(p["result"].toInt()).arg(p["reason"].toInt());
        labels << label;
    }
    return labels;
}

QStringList settledReportsSince(qsizetype from) {
    Reporter::getInstance().ensureClearWaitingPackage();
    MacInstallReporter::getInstance().ensureClearWaitingPackage();
    QTest::qWait(50);
    return reports().mid(from);
}

class AppDelegateTest : public ::testing::Test {
protected:
    void open(std::chrono::milliseconds animationInterval = 5ms) {
        mark = reports().size();
        AppDelegate::Options options;
        options.openUrl = [this](const QUrl& url) { opened << url.path(); };
        options.flow.retryPause = 10ms;
        options.flow.animationInterval = animationInterval;
        delegate = std::make_unique<AppDelegate>(options);
        delegate->applicationDidFinishLaunching();
    }
    void waitForFlow() {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(delegate->window()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return delegate->flow() != nullptr; }, 5000));
        ASSERT_TRUE(reported({"result 100", "showInterface"}));
    }
    void TearDown() override {
        delegate.reset();
        // Reports still in flight land before the next test counts.
        settledReportsSince(0);
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
    // The reports since the last check hold these, in any order; the mark moves past them.
    ::testing::AssertionResult reported(const QStringList& expected) {
        const bool ok = QTest::qWaitFor(
            [&] {
                QStringList seen = reports().mid(mark);
                return std::all_of(expected.begin(), expected.end(),
                                   [&](const QString& label) { return seen.removeOne(label); });
            },
            10000);
        const QStringList seen = reports().mid(mark);
        mark += seen.size();
        if (ok)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "reports: " << seen.join(", ").toStdString();
    }
    // Keys typed at the focus (`panel`'s when given); the focus after each.
    static QList<QWidget*> type(const QList<Qt::Key>& keys, QWidget* panel = nullptr) {
        QList<QWidget*> focus;
        for (const Qt::Key key : keys) {
            QWidget* target = panel ? panel->focusWidget() : QApplication::focusWidget();
            QTest::keyClick(target ? target : QApplication::activeWindow(), key);
            focus << (panel ? panel->focusWidget() : QApplication::focusWidget());
        }
        return focus;
    }
    bool waitForStatus(INSTALLER_STATUS status) const {
        return QTest::qWaitFor([&] { return flow().installerStatus() == status; }, 10000);
    }
    // The close button, as the window system delivers it; Qt's own closes are never judged.
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

// The bar starts where the flow is on a new screen and eases to a new width on its own;
// a screen reader reads the percentage as its value and the status line as its text.
TEST(ContentView, ProgressScreenShowsFiguresUntilTheInstallPhaseUnderAnEasingBar) {
    MultiLanguageUtils::setLanguage("en");
    InstallFlow flow{InstallFlow::Host{[] {}, {}, {}, {}}}; // stays on the start screen
    ContentView view{flow};
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ProgressScreen* progress = view.progressScreen();
    view.showState(downloading(0, 300));
    ProgressBarView* bar = progress->bar();
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
    EXPECT_FALSE(progress->isVisible());
    ProgressBarView* failedBar = view.downloadFailedScreen()->bar();
    EXPECT_FALSE(failedBar->showsTrack());
    EXPECT_EQ(failedBar->fillWidth(), 144);

    // The install animation passes 1.0; the fill stays on the track.
    EXPECT_EQ(ProgressBarView::widthFor(1.08), 360);
    EXPECT_EQ(ProgressBarView::widthFor(-0.5), 0);
    EXPECT_EQ(ProgressBarView::widthFor(std::nan("")), 0);

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
    QAccessibleInterface* read = accessible(progress->bar());
    ASSERT_NE(read->valueInterface(), nullptr);
    EXPECT_EQ(read->valueInterface()->maximumValue().toInt(), 100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        view.showState(c.state);
        EXPECT_TRUE(progress->isVisible());
        const QStringList shown = {progress->receivedText(), progress->expectedText(),
                                   progress->percentText(), progress->remainingText(),
                                   progress->installText()};
        EXPECT_EQ(shown.join('|'), c.shown);
        EXPECT_EQ(read->valueInterface()->currentValue().toInt(), c.value);
        const QString line = shown[4].isEmpty() ? (shown[2].isEmpty() ? "" : shown[2] + ", ") +
                                                      shown[0] + shown[1] + shown[3]
                                                : shown[4];
        EXPECT_EQ(read->text(QAccessible::Value), line.simplified());
    }
    // The figures stand under the bar, from its left end to its right end.
    view.showState(downloading(150, 300));
    const auto place = [&](const char* name) {
        const QWidget* widget = progress->findChild<QWidget*>(name);
        return QRect(widget->mapTo(progress, QPoint()), widget->size());
    };
    EXPECT_EQ(place("receivedText").left(), place("progressBar").left());
    EXPECT_EQ(place("percentText").right(), place("progressBar").right());
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
        QAccessibleActionInterface* install = accessible(start->installButton())->actionInterface();
        install->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(installs.size(), 1);
    }
    MultiLanguageUtils::setLanguage("en");
}

// The focus starts on Install, Tab goes round the controls, and each way of ticking
// a box is recorded and reported. Before the flow exists, input does nothing.
TEST_F(AppDelegateTest, StartScreenControlsReachTheFlowByMouseKeyboardAndScreenReader) {
    open();
    ASSERT_EQ(delegate->flow(), nullptr);
    click(start()->customInstallToggle());
    click(start()->disagreeButton());
    QTest::keyClick(start()->installButton(), Qt::Key_Return);
    userCloses();
    EXPECT_FALSE(start()->customInstallToggle()->isChecked());
    const qsizetype before = mark;
    waitForFlow();
    EXPECT_EQ(settledReportsSince(before).size(), 2);
    EXPECT_EQ(flow().installerStatus(), INSTALLER_STATUS::Prepare_to_download);

    const QScreen* screen = QGuiApplication::primaryScreen();
    EXPECT_EQ(window()->size(), QSize(680, 436));
    EXPECT_EQ(
        window()->frameGeometry().topLeft(),
        WindowPlacement::windowFrame(screen->geometry(), screen->availableGeometry()).topLeft());
    EXPECT_EQ(accessible(window())->role(), QAccessible::Window);

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
        QAccessibleInterface* a = accessible(box);
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        return a->state().checked;
    };
    click(panel->associateOfdBox());
    EXPECT_FALSE(flow().userProfileModel().isAssotiateOFD());
    EXPECT_TRUE(reported({"showInterface click 4"})) << "the OFD association turned off";
    EXPECT_TRUE(toggle(panel->associateOfdBox()));
    EXPECT_TRUE(flow().userProfileModel().isAssotiateOFD());
    EXPECT_TRUE(reported({"showInterface click 3"})) << "and on again";

    // A link opens once per click or key, not on key repeats or a press let go elsewhere.
    click(link("termsLink"));
    QWidget* privacy = link("privacyLink");
    QTest::keyClick(privacy, Qt::Key_Space);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, {}, true);
    QCoreApplication::sendEvent(privacy, &repeat);
    QTest::mousePress(privacy, Qt::LeftButton, {}, privacy->rect().center());
    QTest::mouseRelease(privacy, Qt::LeftButton, {}, privacy->rect().bottomRight() + QPoint(9, 9));
    EXPECT_EQ(opened, QStringList({"/terms/member-service-agreement", "/privacy"}));

    EXPECT_FALSE(toggle(start()->customInstallToggle())) << "the reader's toggle closes the panel";
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(window()->size(), QSize(680, 436));
    EXPECT_TRUE(settledReportsSince(mark).isEmpty()) << "links and the panel report nothing";
}

// A press that ends outside Install still starts the download; closing then asks first,
// and the panel answers the keyboard and goes when the download ends; while installing,
// closing minimises. Each failure moves the focus to its action, which a reader
// describes with the message; the user's retry gets no automatic second chance.
TEST_F(AppDelegateTest, ClosingAsksWhileDownloadingMinimisesWhileInstallingFailuresOfferRetry) {
    open(100ms); // about a second of install animation
    waitForFlow();
    auto stalling = std::make_unique<DevServer>(QStringList{"--stall-after", "0"});
    downloadUrl = stalling->addPackage("lumadoc_x86_64.dmg", QByteArray(3 << 20, 'p'));
    click(start()->customInstallToggle());
    BtnView* install = start()->installButton();
    const QPoint outside = install->rect().bottomRight() + QPoint(40, 40);
    QTest::mousePress(install, Qt::LeftButton, {}, install->rect().center());
    QTest::mouseMove(install, outside);
    QTest::mouseRelease(install, Qt::LeftButton, {}, outside);
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Downloading));
    EXPECT_FALSE(flow().isExpanded()) << "starting the download closes the panel";
    EXPECT_EQ(window()->size(), QSize(680, 436));
    EXPECT_TRUE(reported({"installNow", "downloadStart"}));
    flow().onProgress(1, 3, 3725.9);
    const ProgressScreen* progress = view()->progressScreen();
    EXPECT_EQ(progress->receivedText() + progress->expectedText() + progress->remainingText(),
              "1MB / 3MB 62 min 5 sec remaining");
    // The focus waits on the bar: no hidden box or button answers a Space or a reader.
    QAccessibleActionInterface* decline = accessible(start()->disagreeButton())->actionInterface();
    decline->doAction(QAccessibleActionInterface::setFocusAction());
    decline->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(type({Qt::Key_Space}).last(), progress->bar());
    EXPECT_TRUE(flow().isSetDefault());

    // Escape is "Continue"; Tab goes between the buttons (keys go to the panel's focus).
    userCloses();
    QWidget* panel = delegate->confirmCloseAlert();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(accessible(panel)->text(QAccessible::Name), "Lumadoc Installer");
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
    window()->activateWindow(); // offscreen, no window is active once the panel goes
    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    DownloadFailedScreen* failed = view()->downloadFailedScreen();
    EXPECT_EQ(QApplication::focusWidget(), failed->retryButton());
    EXPECT_EQ(accessible(failed->retryButton())->text(QAccessible::Description),
              "Download failed. Check your network and try again");
    click(failed->feedbackLink());
    EXPECT_EQ(opened, QStringList{"/contact-us"});
    EXPECT_TRUE(reported({"downloadFail click 32"}));

    click(failed->retryButton());
    EXPECT_TRUE(reported({"result 24", "downloadFail click 31", "result 23", "downloadFail"}));
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Download_failed));

    // Not a disk image, sent whole: the download succeeds, the install fails.
    DevServer packages;
    downloadUrl = packages.addPackage("lumadoc_x86_64.dmg", QByteArray(4096, 'x'));
    click(failed->retryButton());
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Installing));
    userCloses();
    EXPECT_TRUE(window()->isMinimized());
    EXPECT_EQ(delegate->confirmCloseAlert(), nullptr);
    window()->showNormal();
    systemQuits();
    EXPECT_TRUE(window()->isMinimized());
    window()->showNormal();

    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Install_failed));
    // So small a file can fail before the screen shows Installing: counted from the retry.
    EXPECT_EQ(settledReportsSince(mark).filter(QRegularExpression("click [56]")), QStringList())
        << "minimising reports nothing";

    QWidget* reinstall = view()->installFailedScreen()->reinstallButton();
    click(reinstall);
    EXPECT_TRUE(reported({"result 26", "installFail click 33", "result 25"}));
    ASSERT_TRUE(waitForStatus(INSTALLER_STATUS::Install_failed));
    EXPECT_EQ(QApplication::focusWidget(), reinstall);
    EXPECT_EQ(accessible(reinstall)->text(QAccessible::Description),
              "Installation failed. Click here to reinstall");
}

TEST_F(AppDelegateTest, OverwriteInstallationHasNoToggleAndARunningProductRaisesTheAlert) {
    const QString app = FakeProduct::write(sandbox::applicationsDir());
    ASSERT_FALSE(app.isEmpty());
    // The reader as a script run from its own folder: no command-line word holds its path.
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
    EXPECT_FALSE(toggle->isVisible());
    // A click where it would be reaches nothing that opens the panel.
    QTest::mouseClick(window(), Qt::LeftButton, {},
                      toggle->mapTo(window(), toggle->rect().center()));
    EXPECT_FALSE(flow().isExpanded());

    AlertView* alert = view()->usingAlert();
    EXPECT_FALSE(alert->isVisible());
    click(start()->installButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return alert->isVisible(); }, 10000));
    EXPECT_EQ(flow().installerStatus(), INSTALLER_STATUS::Prepare_to_download);
    EXPECT_EQ(alert->geometry(), alert->parentWidget()->rect());
    EXPECT_NEAR(alert->button()->mapTo(window(), alert->button()->rect().center()).x(),
                window()->width() / 2, 1);
    EXPECT_EQ(settledReportsSince(mark), QStringList{"installNow"});
    mark = reports().size();

    // The alert holds the keyboard until Escape; the focus is then back on Install.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    EXPECT_EQ(QApplication::focusWidget(), alert->button());
    EXPECT_EQ(
        type({Qt::Key_Tab, Qt::Key_Escape, Qt::Key_Backtab}),
        QList<QWidget*>({alert->button(), start()->installButton(), start()->disagreeButton()}));
    EXPECT_FALSE(alert->isVisible());

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
