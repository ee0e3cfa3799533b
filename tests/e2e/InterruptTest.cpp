// Real signals to the real installer at several moments of a run: it ends
// with 128 + the signal, the previous application whole, nothing of the run
// left and none of the tools it started still running.
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"

#include <QSet>
#include <QThread>
#include <csignal>
#include <iostream>

namespace {

// Every process below pid (as /proc/<pid>/stat links them), zombies aside.
QList<qint64> descendants(qint64 pid) {
    QMultiHash<qint64, qint64> children;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray stat = readFile("/proc/" + entry + "/stat");
        const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest[0] != "Z")
            children.insert(rest[1].toLongLong(), entry.toLongLong());
    }
    QList<qint64> found;
    QList<qint64> todo{pid};
    while (!todo.isEmpty())
        for (const qint64 child : children.values(todo.takeFirst())) {
            found << child;
            todo << child;
        }
    return found;
}

QByteArray commandLine(qint64 pid) {
    return readFile(QString("/proc/%1/cmdline").arg(pid));
}

// A process below installer whose command line starts with `words`.
bool childRunning(qint64 installer, const QByteArray& words) {
    const QList<qint64> all = descendants(installer);
    return std::any_of(all.begin(), all.end(),
                       [&](qint64 child) { return commandLine(child).startsWith(words); });
}

struct Moment {
    const char* name;
    int signal;
    QStringList arguments;
    // When to send the signal: the installer's pid and its output so far.
    std::function<bool(qint64, const QString&)> reached;
    int status;   // expected exit status
    QString line; // expected on standard error
};

} // namespace

TEST(Interrupt, ASignalEndsTheRunCleanlyWhateverItIsDoing) {
    SKIP_WITHOUT_LINUX_TOOLS();
    // The applications folder on a file system of its own: the new bundle is
    // then copied beside it by cp, which can be caught running.
    const Tmpfs apps(sandbox::applicationsDir(), 256);
    InstallScenario scenario({"--throttle", "8000000"});
    ASSERT_TRUE(scenario.serveProduct("3.2.1", 32 * 1024 * 1024));
    const QString unchanged = "lumadoc-installer: interrupted; the previous Lumadoc is unchanged\n";
    const auto downloading = [](qint64, const QString&) {
        return QFileInfo(sandbox::tempDir() + "/package.dmg.part").size() > 0;
    };
    QList<Moment> moments = {
        {"downloading, SIGTERM", SIGTERM, {"--silent"}, downloading, 128 + SIGTERM, unchanged},
        {"downloading in the window, SIGHUP",
         SIGHUP,
         {"--autostart"},
         downloading,
         128 + SIGHUP,
         ""},
        {"extracting, SIGINT",
         SIGINT,
         {"--silent"},
         [](qint64 pid, const QString&) { return childRunning(pid, QByteArray("7zz\0x\0", 6)); },
         128 + SIGINT,
         unchanged},
        {"starting Lumadoc, SIGTERM",
         SIGTERM,
         {"--silent"},
         [](qint64, const QString& out) { return out.contains("Starting Lumadoc..."); },
         0,
         ""},
    };
    if (apps.mounted)
        moments.insert(3, {"copying beside the applications, SIGTERM",
                           SIGTERM,
                           {"--silent"},
                           [](qint64 pid, const QString&) {
                               return childRunning(pid, QByteArray("/bin/cp\0", 8));
                           },
                           128 + SIGTERM,
                           unchanged});
    else
        std::cout << "[ NOTE     ] the copy beside the applications folder not tried: "
                     "cannot mount a tmpfs here\n";

    for (const Moment& m : moments) {
        SCOPED_TRACE(m.name);
        const Tree before = scenario.reinstallPrevious();
        QSet<qint64> children;
        bool sent = false;
        const ProgramRun run =
            runInstaller(scenario.environment(), m.arguments,
                         {{},
                          [&](QProcess& installer, const QString& out) {
                              const qint64 pid = installer.processId();
                              for (const qint64 child : descendants(pid))
                                  children << child;
                              if (!sent && m.reached(pid, out))
                                  sent = ::kill(static_cast<pid_t>(pid), m.signal) == 0;
                          },
                          1});
        if (!sent) {
            std::cout << "[ NOTE     ] " << m.name << ": the run ended before the moment\n";
            continue;
        }
        // No tool of the run outlives it, and nothing it made stays.
        EXPECT_TRUE(
            ended(run, m.status, m.line + '$', m.status ? before : snapshotTree(installedApp())));
        QThread::msleep(200);
        for (const qint64 child : children)
            EXPECT_TRUE(commandLine(child).isEmpty() || // gone, or a zombie
                        commandLine(child).contains(sandbox::applicationsDir().toUtf8()))
                << "process " << child << " outlived the installer";
    }
}
