#include "app/CommandLine.h"
#include "app/LaunchArguments.h"
#include "app/RunStart.h"
#include "base/Config.h"
#include "base/Log.h"
#include "base/LogFile.h"
#include "base/PhaseClock.h"
#include "flow/SilentInstall.h"
#include "i18n/MultiLanguageUtils.h"
#include "platform/InstanceLock.h"
#include "platform/StopSignals.h"
#include "platform/SystemCommands.h"
#include "reporting/BaseReporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <sys/resource.h>

#ifdef LUMADOC_WINDOW_MODULE
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

using RunStart::print;
using RunStart::TakeOver;

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

// Qt's threads, the reports' connections and the tools each take descriptors and
// address space (a thread's stack and heap). Far below the usual limits a thread's
// event loop aborts, a thread never starts and the run hangs, or a tool fails
// midway, so such a run is refused before it starts.
QString limitProblem() {
    struct Floor {
        int resource;
        rlim_t fewest;
        rlim_t unit; // of the shell's `ulimit`
        const char* text;
    };
    static constexpr Floor floors[] = {
        {RLIMIT_NOFILE, 64, 1, "too few open files allowed (ulimit -n %1); %2 are needed"},
        {RLIMIT_AS, rlim_t(2) << 30, 1024,
         "too little memory allowed (ulimit -v %1); %2 KiB are needed"},
    };
    for (const Floor& floor : floors) {
        rlimit limit{};
        if (::getrlimit(floor.resource, &limit) == 0 && limit.rlim_cur < floor.fewest)
            return QString::fromLatin1(floor.text)
                .arg(quint64(limit.rlim_cur / floor.unit))
                .arg(quint64(floor.fewest / floor.unit));
    }
    return {};
}

// A tool the shell cannot find would fail only at its step, after the download,
// and look like a damaged image. Without PATH the shell has its own default.
QString toolsProblem() {
    if (!qEnvironmentVariableIsSet("PATH"))
        return {};
    const QString path = qEnvironmentVariable("PATH");
    QStringList missing;
    for (const QString& tool : SystemCommands::current().tools())
        if (QStandardPaths::findExecutable(tool, path.split(':', Qt::SkipEmptyParts)).isEmpty())
            missing << tool;
    if (missing.isEmpty())
        return {};
    return "cannot find " + missing.join(", ") + " on PATH (" + path + "); the installer runs " +
           (missing.size() == 1 ? "it" : "them");
}

// The XDG rule: a relative folder is ignored. Kept, it would move the settings,
// the lock and the journal with the working folder.
void dropRelativeXdgFolders() {
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        if (QDir::isRelativePath(qEnvironmentVariable(name)))
            qunsetenv(name);
}

void useUsableTempFolder() {
    const QByteArray tmp = qgetenv("TMPDIR");
    if (!tmp.isEmpty() && (QFile::encodeName(QFile::decodeName(tmp)) != tmp ||
                           !QFileInfo(QFile::decodeName(tmp)).isDir())) {
        logLine(lcApp(), "TMPDIR " + QFile::decodeName(tmp) + " is not a folder; using /tmp");
        qputenv("TMPDIR", "/tmp");
    }
}

int runSilent(int argc, char** argv, const CommandLine& line) {
    QCoreApplication app(argc, argv);
    InstanceLock lock;
    const TakeOver taken = RunStart::takeOver(lock);
    if (taken == TakeOver::AnotherRuns) {
        const QString log = LogFile::path();
        print(stderr, "lumadoc-installer: error: another Lumadoc installer is running" +
                          (log.isEmpty() ? QString() : "; details: " + log) + '\n');
        return SilentInstall::AnotherInstaller;
    }
    RunStart::checkTelemetry(line.verbose);
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
        RunStart::settleOwnRun();
    PhaseClock::mark("exit");
    return status;
}

using WindowEntry = int (*)(int, char**, const CommandLine&);

#ifdef LUMADOC_WINDOW_MODULE
// The window's module, beside the executable as the build and the packages
// place it; nothing when it cannot be loaded, with the reason.
WindowEntry loadWindow(QString& error) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        error = QStringLiteral("cannot find the installer's own file");
        return nullptr;
    }
    self[length] = '\0';
    const QString path =
        QFileInfo(QFile::decodeName(self)).path() + QStringLiteral("/" LUMADOC_WINDOW_MODULE);
    void* module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    void* entry = module ? dlsym(module, "lumadocRunWindow") : nullptr;
    if (!entry) {
        error = "cannot load the window: " + QString::fromLocal8Bit(dlerror());
        return nullptr;
    }
    return reinterpret_cast<WindowEntry>(entry);
}
#else
WindowEntry loadWindow(QString&) {
    return &lumadocRunWindow;
}
#endif

} // namespace

int main(int argc, char** argv) {
    StopSignals::keepWritesFromEndingTheRun();
    dropRelativeXdgFolders(); // before --help names the log's place
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
    QString problem = homeProblem();
    if (problem.isEmpty())
        problem = limitProblem();
    if (problem.isEmpty() && line.mode != CommandLine::Mode::Screenshots)
        problem = toolsProblem();
    if (!problem.isEmpty()) {
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
    default:
        QString error;
        if (const WindowEntry runWindow = loadWindow(error)) {
            status = runWindow(argc, argv, line);
        } else {
            logLine(lcApp(), error);
            print(stderr, "lumadoc-installer: error: " + error + '\n');
            status = 1;
        }
        break;
    }
    // The log file stays open: lines written while the process ends still belong in it.
    return status;
}
