// The real installer killed, crowded and started in hostile surroundings: the
// installed application is never lost, nothing of ours is left behind.
#include "flow/SilentInstall.h"
#include "support/Files.h"
#include "support/InstallScenario.h"
#include "support/Leftovers.h"
#include "support/LinuxTools.h"
#include "support/ProgramRun.h"
#include "support/Sandbox.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>

namespace {

QString app() {
    return installedApp();
}
QString stagingFolder() {
    static const QRegularExpression uuid("^[0-9A-F-]{36}$");
    const QStringList found =
        QDir(sandbox::home()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).filter(uuid);
    return found.isEmpty() ? QString() : sandbox::home() + '/' + found.first();
}

bool hiddenSibling(const QString& prefix) {
    return !QDir(sandbox::applicationsDir())
                .entryList({prefix + "*"}, QDir::AllEntries | QDir::Hidden)
                .isEmpty();
}

// A kill point: a state of the file system to wait for, or a moment.
struct KillPoint {
    QString name;
    std::function<bool()> reached;
};

} // namespace

TEST(Recovery, KilledAnywhereInTheInstallTheApplicationStaysWhole) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1", 8 * 1024 * 1024));
    const auto newTree = snapshotTree(scenario.servedApp());
    scenario.installPrevious("1.0.0");
    const auto oldTree = snapshotTree(app());
    QProcessEnvironment down = scenario.environment();
    down.insert("LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:9");

    // Each step of the install as the file system shows it, then random moments.
    QList<KillPoint> points = {
        {"staging folder made", [] { return !stagingFolder().isEmpty(); }},
        {"image attached", [] { return QFileInfo::exists(stagingFolder() + "/Lumadoc"); }},
        {"bundle out of the image",
         [] { return QFileInfo::exists(stagingFolder() + "/temp/Lumadoc.app/Contents"); }},
        {"old one set aside",
         [] { return QFileInfo::exists(stagingFolder() + "/Lumadoc.app.bak"); }},
        {"new one in place",
         [] { return readFile(app() + "/Contents/Info.plist").contains("3.2.1"); }},
    };
    // Where the applications folder is a file system of its own, the swap
    // happens beside it.
    const bool ownFileSystem = mountTmpfs(sandbox::applicationsDir(), 128);
    if (ownFileSystem) {
        scenario.installPrevious("1.0.0");
        points << KillPoint{"new copy beside the applications",
                            [] { return hiddenSibling(".Lumadoc.app.new-"); }}
               << KillPoint{"old one set aside beside them",
                            [] { return hiddenSibling(".Lumadoc.app.bak-"); }};
    } else {
        std::cout << "[ NOTE     ] applications folder on its own file system not tried: "
                     "cannot mount a tmpfs here\n";
    }
    QRandomGenerator random(7);
    for (int i = 0; i < 4; ++i) {
        const int at = random.bounded(800);
        points << KillPoint{QString("at %1 ms").arg(at),
                            [at, clock = std::make_shared<QElapsedTimer>()] {
                                if (!clock->isValid())
                                    clock->start();
                                return clock->elapsed() >= at;
                            }};
    }

    int oldAfterKill = 0, newAfterKill = 0, absentWithJournal = 0;
    for (const KillPoint& point : points) {
        SCOPED_TRACE(point.name.toStdString());
        stopProduct();
        if (snapshotTree(app()) != oldTree) {
            QDir(app()).removeRecursively();
            scenario.installPrevious("1.0.0");
        }
        QProcess installer;
        installer.setProcessEnvironment(scenario.environment());
        installer.start(LUMADOC_INSTALLER_EXE, {"--silent"});
        ASSERT_TRUE(installer.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (!point.reached() && installer.state() == QProcess::Running &&
               waited.elapsed() < 30000)
            QThread::usleep(200);
        installer.kill();
        installer.waitForFinished();

        const auto tree = snapshotTree(app());
        if (tree == oldTree)
            ++oldAfterKill;
        else if (tree == newTree)
            ++newAfterKill;
        else if (!QFileInfo::exists(app()) && QFileInfo::exists(installJournalPath()))
            ++absentWithJournal;
        else
            ADD_FAILURE() << "a half-made application after the kill";

        // The next start settles it, even with the server down.
        stopProduct();
        const ProgramRun next = runInstaller(down);
        EXPECT_EQ(next.status, SilentInstall::DownloadFailed) << next.err.toStdString();
        const auto settled = snapshotTree(app());
        EXPECT_TRUE(settled == oldTree || settled == newTree);
        EXPECT_EQ(leftovers().join(", ").toStdString(), "");
    }
    if (ownFileSystem)
        unmountTmpfs(sandbox::applicationsDir());
    std::cout << "[ FIGURES  ] " << points.size() << " kill points: old application after the kill "
              << oldAfterKill << ", new " << newAfterKill << ", absent with a journal "
              << absentWithJournal << "; whole after the next start: all\n";
}

TEST(Recovery, ASecondInstallerLeavesAtOnceAndTheFirstFinishes) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario({"--throttle", "4000000"});
    ASSERT_TRUE(scenario.serveProduct("3.2.1", 4 * 1024 * 1024));
    QProcess first;
    first.setProcessEnvironment(scenario.environment());
    first.start(LUMADOC_INSTALLER_EXE, {"--silent"});
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            return !QDir(sandbox::tempDir())
                        .entryList({"lumadoc-*"}, QDir::Dirs)
                        .filter(QRegularExpression("^lumadoc-[0-9A-F-]{36}$"))
                        .isEmpty();
        },
        20000));
    // Twice: the first one to leave must not take the lock with it.
    for (int i = 0; i < 2; ++i) {
        const ProgramRun second = runInstaller(scenario.environment());
        EXPECT_EQ(second.status, SilentInstall::AnotherInstaller);
        EXPECT_TRUE(second.err.contains("another Lumadoc installer is running"))
            << second.err.toStdString();
        EXPECT_LT(second.millis, 10000);
    }
    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), SilentInstall::Installed);
    EXPECT_EQ(snapshotTree(app()), snapshotTree(scenario.servedApp()));
    EXPECT_EQ(leftovers().join(", ").toStdString(), "");
}

TEST(Recovery, AHostileHomeTemporaryFolderOrDataFileNeverStrandsTheUser) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    QTemporaryDir cwd;
    // No home, or a relative one: refused before anything is written.
    for (const char* home : {"", "relative/home"}) {
        SCOPED_TRACE(home);
        QProcessEnvironment env = scenario.environment();
        if (*home)
            env.insert("HOME", home);
        else
            env.remove("HOME");
        const ProgramRun run = runInstaller(env, {"--silent"}, {}, cwd.path());
        EXPECT_EQ(run.status, SilentInstall::BadUsage);
        EXPECT_TRUE(run.err.contains("HOME")) << run.err.toStdString();
        EXPECT_TRUE(QDir(cwd.path()).isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(sandbox::dataDir() + "/Lumadoc"));

    // A home whose name is no text in this locale: refused, never written
    // under a name decoded and encoded again.
    const ProgramRun latin1 = runProgram("/bin/sh",
                                         {"-c",
                                          "mkdir \"$1/h$(printf '\\351')me\" && "
                                          "HOME=\"$1/h$(printf '\\351')me\" exec \"$2\" --silent",
                                          "sh", sandbox::root(), LUMADOC_INSTALLER_EXE},
                                         scenario.environment(), cwd.path());
    EXPECT_EQ(latin1.status, SilentInstall::BadUsage);
    EXPECT_TRUE(latin1.err.contains("HOME is not a valid file name in this locale"))
        << latin1.err.toStdString();
    // The home itself, and no sibling named after a lossy decoding.
    EXPECT_EQ(QDir(sandbox::root()).entryList({"h*me"}, QDir::Dirs | QDir::NoDotAndDotDot).size(),
              1);

    // A missing temporary folder falls back to /tmp; FIFOs and folders in place
    // of the settings and data files are passed over, without a hang.
    QProcessEnvironment env = scenario.environment();
    env.insert("TMPDIR", sandbox::root() + "/no-such-folder");
    QTemporaryDir data;
    ASSERT_EQ(::mkfifo(QFile::encodeName(data.filePath("qctrl.dat")).constData(), 0600), 0);
    QDir().mkpath(data.filePath("qfmt.dat"));
    env.insert("LUMADOC_RESOURCE_DIR", data.path());
    QDir().mkpath(QFileInfo(scenario.settingsPath()).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(scenario.settingsPath()).constData(), 0600), 0);
    const ProgramRun run = runInstaller(env, {"--silent"}, {}, cwd.path());
    EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
    EXPECT_EQ(snapshotTree(app()), snapshotTree(scenario.servedApp()));
    EXPECT_TRUE(QDir(cwd.path()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(sandbox::root() + "/no-such-folder"));
    EXPECT_EQ(leftovers().join(", ").toStdString(), "");
    stopProduct();
}
