// The real installer killed or signalled at each step of a run and at random
// moments. The application is never half made; a signal ends the run with
// 128 + the signal, nothing of it left and none of its tools still running;
// what a kill -9 leaves, the next start settles.
#include "flow/SilentInstall.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"

#include <QRandomGenerator>
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
        for (const qint64 child : children.values(todo.takeFirst()))
            found << child, todo << child;
    return found;
}

QByteArray commandLine(qint64 pid) {
    return readFile(QString("/proc/%1/cmdline").arg(pid));
}

struct Moment {
    QString name;
    int signal; // SIGKILL: the next start settles what the kill left
    // When to send it: the installer's pid and its output so far.
    std::function<bool(qint64, const QString&)> reached;
    bool slow = false; // on the throttled server, with a large bundle
    int status = -1;   // expected exit status
    QString line = {}; // expected on standard error
    QStringList arguments = {"--silent"};
};

} // namespace

TEST(Interrupt, KilledOrSignalledAnywhereTheApplicationStaysWholeAndNothingIsLeft) {
    SKIP_WITHOUT_LINUX_TOOLS();
    // The applications folder on a file system of its own: the new bundle is then copied
    // beside it by cp, which can be caught running, and swapped there.
    const Tmpfs apps(sandbox::applicationsDir(), 256);
    InstallScenario fast, slow({"--throttle", "8000000"});
    ASSERT_TRUE(fast.serveProduct("3.2.1", 8 * 1024 * 1024));
    ASSERT_TRUE(slow.serveProduct("3.2.1", 32 * 1024 * 1024));
    const QString unchanged = "lumadoc-installer: interrupted; the previous Lumadoc is unchanged\n";
    // The download goes to a folder of the run's own in the temporary folder.
    const auto downloading = [](auto&&...) {
        const QDir tmp(sandbox::tempDir());
        const QStringList own = tmp.entryList({"lumadoc-*"}, QDir::Dirs);
        return !own.isEmpty() && QFileInfo(tmp.filePath(own[0] + "/package.dmg.part")).size() > 0;
    };
    // `entry` in the run's staging folder, once there is one.
    const auto inStaging = [](const QString& entry) {
        return [entry](auto&&...) {
            const QStringList found = QDir(sandbox::home())
                                          .entryList(QDir::Dirs)
                                          .filter(QRegularExpression("^[0-9A-F-]{36}$"));
            return !found.isEmpty() && QFileInfo::exists(sandbox::home() + '/' + found[0] + entry);
        };
    };
    const auto besideApps = [](const QString& prefix) {
        return [prefix](auto&&...) {
            return !QDir(sandbox::applicationsDir())
                        .entryList({prefix + "*"}, QDir::Hidden)
                        .isEmpty();
        };
    };
    // A tool below the installer whose command line starts with `words`.
    const auto running = [](const QByteArray& words) {
        return [words](qint64 pid, auto&&) {
            const QList<qint64> all = descendants(pid);
            return std::any_of(all.begin(), all.end(),
                               [&](qint64 child) { return commandLine(child).startsWith(words); });
        };
    };
    // Each step of the install as the file system shows it, then random moments.
    // clang-format off
    QList<Moment> moments = {
        {"staging folder made", SIGKILL, inStaging("")},
        {"image attached", SIGKILL, inStaging("/Lumadoc")},
        {"bundle out of the image", SIGKILL, inStaging("/temp/Lumadoc.app/Contents")},
        {"old one set aside", SIGKILL, inStaging("/Lumadoc.app.bak")},
        {"new one in place", SIGKILL, [](auto&&...) {
             return readFile(installedApp() + "/Contents/Info.plist").contains("3.2.1"); }},
        {"downloading, SIGTERM", SIGTERM, downloading, true, 128 + SIGTERM, unchanged},
        {"downloading in the window, SIGHUP", SIGHUP, downloading, true, 128 + SIGHUP, "",
         {"--autostart"}},
        {"extracting, SIGINT", SIGINT, running({"7zz\0x\0", 6}), true, 128 + SIGINT, unchanged},
        {"starting Lumadoc, SIGTERM", SIGTERM,
         [](qint64, const QString& out) { return out.contains("Starting Lumadoc..."); }, true, 0},
    };
    if (apps.mounted)
        moments << Moment{"new copy beside the applications", SIGKILL, besideApps(".Lumadoc.app.new-")}
                << Moment{"old one set aside beside them", SIGKILL, besideApps(".Lumadoc.app.bak-")}
                << Moment{"copying beside the applications, SIGTERM", SIGTERM,
                          running({"/bin/cp\0", 8}), true, 128 + SIGTERM, unchanged};
    // clang-format on
    else
        std::cout << "[ NOTE     ] applications folder on its own file system not tried\n";
    // Random moments within a whole run as long as this machine makes it.
    fast.reinstallPrevious();
    const ProgramRun whole = runInstaller(fast.environment());
    ASSERT_EQ(whole.status, SilentInstall::Installed) << whole.err.toStdString();
    stopProduct();
    QRandomGenerator random(7);
    for (int i = 0; i < 4; ++i) {
        const int at = random.bounded(int(whole.millis));
        moments << Moment{QString("at %1 ms").arg(at), SIGKILL,
                          [at, clock = std::make_shared<QElapsedTimer>()](auto&&...) {
                              if (!clock->isValid())
                                  clock->start();
                              return clock->elapsed() >= at;
                          }};
    }

    for (const Moment& m : moments) {
        SCOPED_TRACE(m.name.toStdString());
        InstallScenario& scenario = m.slow ? slow : fast;
        const Tree before = scenario.reinstallPrevious();
        const Tree after = snapshotTree(scenario.servedApp());
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
            // Ended by itself first, which a fast run may; not stuck nor crashed.
            EXPECT_GE(run.status, 0) << "the run neither got there nor ended";
            std::cout << "[ NOTE     ] " << m.name.toStdString() << ": the run ended before\n";
            continue;
        }
        if (m.signal != SIGKILL) {
            // No tool of the run outlives it, and nothing it made stays.
            EXPECT_TRUE(ended(run, m.status, m.line + '$', m.status ? before : after));
            QThread::msleep(200);
            for (const qint64 child : children)
                EXPECT_TRUE(commandLine(child).isEmpty() || // gone, or a zombie
                            commandLine(child).contains(sandbox::applicationsDir().toUtf8()))
                    << "process " << child << " outlived the installer";
            continue;
        }
        const Tree tree = snapshotTree(installedApp());
        EXPECT_TRUE(tree == before || tree == after ||
                    (!QFileInfo::exists(installedApp()) && QFileInfo::exists(installJournalPath())))
            << "a half-made application";
        // The next start settles it, even with the server down.
        stopProduct();
        const ProgramRun next = runInstaller(scenario.offline());
        const Tree settled = snapshotTree(installedApp());
        EXPECT_TRUE(settled == before || settled == after);
        EXPECT_TRUE(ended(next, SilentInstall::DownloadFailed, "", settled));
    }
}
