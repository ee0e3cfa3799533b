#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/LaunchArguments.h"
#include "app/Screenshots.h"
#include "base/Config.h"
#include "base/Globals.h"
#include "base/Log.h"
#include "base/LogFile.h"
#include "base/PhaseClock.h"
#include "flow/SilentInstall.h"
#include "i18n/MultiLanguageUtils.h"
#include "i18n/TextKeys.h"
#include "install/InstallJournal.h"
#include "install/ProcessRunner.h"
#include "platform/InstanceLock.h"
#include "platform/StopSignals.h"
#include "reporting/BaseReporter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

// One installer at a time: the lock is held until the process ends. Then what
// earlier installs left is settled, before any report or download. A lock
// that cannot be taken at all lets no install start (nor any settling: another
// installer may be at work).
enum class TakeOver { Done, AnotherRuns, NoLock };

TakeOver takeOver(InstanceLock& lock) {
    const std::optional<QString> settings = appDataLocation("Lumadoc");
    const QString path = settings ? *settings + "/installer.lock" : QString();
    const InstanceLock::Outcome outcome =
        settings ? lock.acquire(path) : InstanceLock::Outcome::Failed;
    if (outcome == InstanceLock::Outcome::Held)
        return TakeOver::AnotherRuns;
    if (outcome == InstanceLock::Outcome::Failed) {
        const QString reason = settings
                                   ? "cannot take the installer lock " + path + ": " + lock.error()
                                   : QStringLiteral("cannot take the installer lock: "
                                                    "there is no settings folder");
        logLine(lcApp(), reason);
        InstallJournal::refuse(reason);
        return TakeOver::NoLock;
    }
    InstallJournal::settle(true);
    return TakeOver::Done;
}

// What this run made goes, also after a stop request: the clean-up's own
// tools must run then.
void settleOwnRun() {
    const ProcessRunner::Shield shield;
    InstallJournal::settle(false);
}

// The home folder steers the settings, the staging folders and the log: without
// an absolute one, anything written would land in / or the current folder. A
// name that does not survive the locale's decoding would be written elsewhere.
QString homeProblem() {
    const QByteArray home = qgetenv("HOME");
    if (!home.startsWith('/'))
        return QStringLiteral("HOME must name an absolute folder");
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
        const QByteArray value = qgetenv(name);
        if (QFile::encodeName(QFile::decodeName(value)) != value)
            return QString::fromLatin1(name) + " is not a valid file name in this locale";
    }
    return {};
}

void useUsableTempFolder() {
    const QByteArray tmp = qgetenv("TMPDIR");
    if (!tmp.isEmpty() && (QFile::encodeName(QFile::decodeName(tmp)) != tmp ||
                           !QFileInfo(QFile::decodeName(tmp)).isDir())) {
        logLine(lcApp(), "TMPDIR " + QFile::decodeName(tmp) + " is not a folder; using /tmp");
        qputenv("TMPDIR", "/tmp");
    }
}

// Telemetry needs both data files; a binary copied without them says so once
// (on standard error, and in the log) instead of failing report by report.
// Turned off by the user, it says so once in the log.
void checkTelemetry(bool verbose) {
    const Config& config = Config::get();
    if (!config.telemetryOffBy.isEmpty()) {
        logLine(lcApp(),
                "telemetry off (" + config.telemetryOffBy + "): no reports are sent or kept");
        return;
    }
    for (const char* name : {"qctrl.dat", "qfmt.dat"}) {
        if (QFileInfo(config.resourcePath(QString::fromLatin1(name))).isFile())
            continue;
        const QString line = QStringLiteral("telemetry disabled: %1 not found in %2")
                                 .arg(QString::fromLatin1(name), config.resourceDir);
        logLine(lcApp(), line);
        if (!verbose && !LogFile::path().isEmpty())
            print(stderr, line + '\n');
        return;
    }
}

int runSilent(int argc, char** argv, const CommandLine& line) {
    QCoreApplication app(argc, argv);
    InstanceLock lock;
    const TakeOver taken = takeOver(lock);
    if (taken == TakeOver::AnotherRuns) {
        const QString log = LogFile::path();
        print(stderr, "lumadoc-installer: error: another Lumadoc installer is running" +
                          (log.isEmpty() ? QString() : "; details: " + log) + '\n');
        return SilentInstall::AnotherInstaller;
    }
    checkTelemetry(line.verbose);
    // No texts to show, but the reports name the user's language.
    BaseReporter::setCurrentLanguage(MultiLanguageUtils::getCurrentLanguage());
    StopSignals stopSignals;
    int status = 0;
    {
        SilentInstall silent;
        QObject::connect(&stopSignals, &StopSignals::received, &silent, &SilentInstall::interrupt);
        silent.start();
        status = QCoreApplication::exec();
    }
    SilentInstall::flushReports(true);
    if (taken == TakeOver::Done)
        settleOwnRun();
    PhaseClock::mark("exit");
    return status;
}

int runScreenshots(int argc, char** argv, const CommandLine& line) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        print(stderr, "lumadoc-installer: error: no temporary folder for --screenshot\n");
        return 1;
    }
    Screenshots::isolate(scratch.path());
    // Drawn off screen, the same on every desktop.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (line.scale != 1)
        qputenv("QT_SCALE_FACTOR", QByteArray::number(line.scale));
    QApplication app(argc, argv);
    const qsizetype expected = Screenshots::stills().size() * Screenshots::languages().size();
    const int written = Screenshots::writeAll(line.screenshotDir);
    AppDelegate::applicationWillTerminate();
    return written == expected ? 0 : 1;
}

int runWindow(int argc, char** argv, const CommandLine& line) {
    QApplication app(argc, argv);
    // The desktop entry's name ties the window to its icon and launcher.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.lumadoc.Installer"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/AppIcon.svg")));
    InstanceLock lock;
    const TakeOver taken = takeOver(lock);
    if (taken == TakeOver::AnotherRuns) {
        MultiLanguageUtils::useLanguage(MultiLanguageUtils::getCurrentLanguage());
        QMessageBox::warning(nullptr, MultiLanguageUtils::text(TextKey::windowTitle),
                             MultiLanguageUtils::text(TextKey::anotherInstaller));
        return SilentInstall::AnotherInstaller;
    }
    checkTelemetry(line.verbose);
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
        status = QApplication::exec();
    }
    if (taken == TakeOver::Done)
        settleOwnRun();
    PhaseClock::mark("exit");
    return status;
}

} // namespace

int main(int argc, char** argv) {
    argc = LaunchArguments::dropSystemArguments(argc, argv);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.mode) {
    case CommandLine::Mode::Help:
        print(stdout, CommandLine::helpText());
        return 0;
    case CommandLine::Mode::Version:
        print(stdout, CommandLine::versionText() + '\n');
        return 0;
    case CommandLine::Mode::Error:
        print(stderr, "lumadoc-installer: " + line.error + " (see --help)\n");
        return SilentInstall::BadUsage;
    default:
        break;
    }
    if (line.noTelemetry)
        Config::turnTelemetryOff(QStringLiteral("--no-telemetry"));
    if (const QString problem = homeProblem(); !problem.isEmpty()) {
        print(stderr, "lumadoc-installer: error: " + problem + '\n');
        return SilentInstall::BadUsage;
    }

    // Every run but the stills keeps its log lines in the log file.
    if (line.mode != CommandLine::Mode::Screenshots || !line.logFile.isEmpty()) {
        QString error;
        const QString path = line.logFile.isEmpty() ? LogFile::defaultPath() : line.logFile;
        if (!LogFile::open(path, arguments, line.verbose, error))
            print(stderr, "lumadoc-installer: no log file: " + error + '\n');
    }
    useUsableTempFolder();
    int status = 0;
    switch (line.mode) {
    case CommandLine::Mode::Silent:
        status = runSilent(argc, argv, line);
        break;
    case CommandLine::Mode::Screenshots:
        status = runScreenshots(argc, argv, line);
        break;
    default:
        status = runWindow(argc, argv, line);
        break;
    }
    // The log file stays open: lines written while the process ends still belong in it.
    return status;
}
