#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/RunStart.h"
#include "app/Screenshots.h"
#include "base/Log.h"
#include "base/PhaseClock.h"
#include "flow/InstallFlow.h"
#include "flow/SilentInstall.h"
#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "platform/InstanceLock.h"
#include "platform/StopSignals.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

// The window of this run while its event loop runs, and whether the run's
// leftovers are its own to settle.
AppDelegate* g_running = nullptr;
bool g_settles = false;

// When its display goes away (the X server ends with the session), Qt ends the
// process with exit(1) from inside the event loop. The run then stops as on
// SIGHUP instead of half-way: its tools stopped, a swap finished or undone,
// what it made removed.
void stopWhenTheDisplayGoes() {
    // Only from the event loop's thread, where the window's objects live.
    if (!g_running || QThread::currentThread() != qApp->thread())
        return;
    AppDelegate* delegate = std::exchange(g_running, nullptr);
    if (InstallFlow* flow = delegate->flow(); flow && !flow->stop())
        return; // the installed product is in place; the rest is lost with the display
    logLine(lcApp(), QStringLiteral("the display closed: stopped"));
    if (g_settles)
        RunStart::settleOwnRun();
    PhaseClock::mark("exit");
    std::_Exit(StopSignals::exitStatus(SIGHUP));
}

// Qt ends the process with an abort when no window system answers (a run over
// ssh, a session that has ended). The user gets the reason in one line and the
// status of a bad configuration instead; the log still has Qt's own words.
QtMessageHandler g_logHandler = nullptr;
QString g_firstWarning;

void refuseWithoutWindowSystem(QtMsgType type, const QMessageLogContext& context,
                               const QString& message) {
    if (g_logHandler)
        g_logHandler(type, context, message);
    // The platform plugin's first complaint names the cause ("could not connect to display :1").
    if (type == QtWarningMsg && g_firstWarning.isEmpty() && context.category &&
        QByteArray(context.category).startsWith("qt.qpa"))
        g_firstWarning = message.trimmed();
    if (type != QtFatalMsg)
        return;
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") &&
                           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    const QString why = noDisplay                  ? QStringLiteral("DISPLAY is not set")
                        : g_firstWarning.isEmpty() ? message.section('.', 0, 0)
                                                   : g_firstWarning;
    RunStart::print(stderr, "lumadoc-installer: error: the window cannot open (" + why +
                                "); --silent installs without it\n");
    std::_Exit(SilentInstall::BadUsage);
}

std::unique_ptr<QApplication> openApplication(int& argc, char** argv) {
    g_logHandler = qInstallMessageHandler(refuseWithoutWindowSystem);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(g_logHandler);
    return app;
}

int runScreenshots(int argc, char** argv, const CommandLine& line) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        RunStart::print(stderr, "lumadoc-installer: error: no temporary folder for --screenshot\n");
        return 1;
    }
    Screenshots::isolate(scratch.path());
    // Drawn off screen, the same on every desktop.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (line.scale != 1)
        qputenv("QT_SCALE_FACTOR", QByteArray::number(line.scale));
    const std::unique_ptr<QApplication> app = openApplication(argc, argv);
    // A stop request ends the run between two pictures, and the scratch home goes too.
    // Drawing runs the event loop, which may be the one to read the signal.
    StopSignals stopSignals;
    int signal = 0;
    QObject::connect(&stopSignals, &StopSignals::received,
                     [&signal](int number) { signal = number; });
    const QString problem = Screenshots::writeAll(line.screenshotDir, [&signal] {
        if (signal == 0)
            signal = StopSignals::takePending();
        return signal == 0;
    });
    AppDelegate::applicationWillTerminate();
    if (signal != 0)
        return StopSignals::exitStatus(signal);
    if (problem.isEmpty())
        return 0;
    RunStart::print(stderr, "lumadoc-installer: error: " + problem + '\n');
    return 1;
}

int runWindow(int argc, char** argv, const CommandLine& line) {
    const std::unique_ptr<QApplication> app = openApplication(argc, argv);
    // The desktop entry's name ties the window to its icon and launcher.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.lumadoc.Installer"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/AppIcon.svg")));
    InstanceLock lock;
    const RunStart::TakeOver taken = RunStart::takeOver(lock);
    if (taken == RunStart::TakeOver::AnotherRuns) {
        MultiLanguageUtils::useLanguage(MultiLanguageUtils::getCurrentLanguage());
        QMessageBox::warning(nullptr, MultiLanguageUtils::text(TextKey::windowTitle),
                             MultiLanguageUtils::text(TextKey::anotherInstaller));
        return SilentInstall::AnotherInstaller;
    }
    RunStart::checkTelemetry(line.verbose);
    StopSignals stopSignals;
    int status = 0;
    {
        AppDelegate::Options options;
        options.autostart = line.autostart;
        AppDelegate delegate(options);
        // Like a close without questions, except on the success path.
        QObject::connect(&stopSignals, &StopSignals::received, &delegate, [&delegate](int signal) {
            if (InstallFlow* flow = delegate.flow(); flow && !flow->stop())
                return;
            logLine(lcApp(), QStringLiteral("stopped by signal %1").arg(signal));
            QApplication::exit(StopSignals::exitStatus(signal));
        });
        delegate.applicationDidFinishLaunching();
        g_running = &delegate;
        g_settles = taken == RunStart::TakeOver::Done;
        static const int registered = std::atexit(stopWhenTheDisplayGoes);
        Q_UNUSED(registered);
        status = QApplication::exec();
        g_running = nullptr;
    }
    if (taken == RunStart::TakeOver::Done)
        RunStart::settleOwnRun();
    PhaseClock::mark("exit");
    return status;
}

} // namespace

extern "C" int lumadocRunWindow(int argc, char** argv, const CommandLine& line) {
    return line.mode == CommandLine::Mode::Screenshots ? runScreenshots(argc, argv, line)
                                                       : runWindow(argc, argv, line);
}
