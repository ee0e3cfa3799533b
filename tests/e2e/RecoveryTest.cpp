// The real installer killed, crowded and started in hostile surroundings: the
// installed application is never lost, nothing of ours is left behind.
#include "flow/SilentInstall.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <iostream>
#include <sys/stat.h>

namespace {

QString staged(const QString& entry) {
    static const QRegularExpression uuid("^[0-9A-F-]{36}$");
    const QStringList found =
        QDir(sandbox::home()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).filter(uuid);
    return found.isEmpty() ? QString() : sandbox::home() + '/' + found.first() + entry;
}

bool beside(const QString& prefix) {
    return !QDir(sandbox::applicationsDir()).entryList({prefix + "*"}, QDir::Hidden).isEmpty();
}

} // namespace

TEST(Recovery, KilledAnywhereInTheInstallTheApplicationStaysWhole) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1", 8 * 1024 * 1024));
    const Tree newTree = snapshotTree(scenario.servedApp());
    // Each step of the install as the file system shows it, then random moments.
    QList<std::pair<QString, std::function<bool()>>> points = {
        {"staging folder made", [] { return !staged("").isEmpty(); }},
        {"image attached", [] { return QFileInfo::exists(staged("/Lumadoc")); }},
        {"bundle out of the image",
         [] { return QFileInfo::exists(staged("/temp/Lumadoc.app/Contents")); }},
        {"old one set aside", [] { return QFileInfo::exists(staged("/Lumadoc.app.bak")); }},
        {"new one in place",
         [] { return readFile(installedApp() + "/Contents/Info.plist").contains("3.2.1"); }},
    };
    // Where the applications folder is a file system of its own, the swap happens beside it.
    const Tmpfs apps(sandbox::applicationsDir(), 128);
    if (apps.mounted)
        points << std::pair{"new copy beside the applications",
                            [] { return beside(".Lumadoc.app.new-"); }}
               << std::pair{"old one set aside beside them",
                            [] { return beside(".Lumadoc.app.bak-"); }};
    else
        std::cout << "[ NOTE     ] applications folder on its own file system not tried\n";
    QRandomGenerator random(7);
    for (int i = 0; i < 4; ++i) {
        const int at = random.bounded(800);
        points << std::pair{QString("at %1 ms").arg(at),
                            [at, clock = std::make_shared<QElapsedTimer>()] {
                                if (!clock->isValid())
                                    clock->start();
                                return clock->elapsed() >= at;
                            }};
    }

    int oldAfterKill = 0, newAfterKill = 0, absentWithJournal = 0;
    for (const auto& [name, reached] : points) {
        SCOPED_TRACE(name.toStdString());
        const Tree oldTree = scenario.reinstallPrevious();
        runInstaller(scenario.environment(), {"--silent"},
                     {{}, [&](QProcess& p, const QString&) { reached() ? p.kill() : void(); }, 1});
        const Tree tree = snapshotTree(installedApp());
        const bool absent =
            !QFileInfo::exists(installedApp()) && QFileInfo::exists(installJournalPath());
        EXPECT_TRUE(tree == oldTree || tree == newTree || absent) << "a half-made application";
        oldAfterKill += tree == oldTree;
        newAfterKill += tree == newTree;
        absentWithJournal += absent;

        // The next start settles it, even with the server down.
        stopProduct();
        const ProgramRun next = runInstaller(scenario.offline());
        const Tree settled = snapshotTree(installedApp());
        EXPECT_TRUE(settled == oldTree || settled == newTree);
        EXPECT_TRUE(ended(next, SilentInstall::DownloadFailed, "", settled));
    }
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
    EXPECT_TRUE(ended({first.exitCode(), {}, {}, {}, 0}, SilentInstall::Installed, "",
                      snapshotTree(scenario.servedApp())));
}

TEST(Recovery, AHostileHomeTemporaryFolderOrDataFileNeverStrandsTheUser) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    QTemporaryDir cwd;
    // No home, a relative one, or one whose name is no text in this locale: refused before
    // anything is written, never under a name decoded and encoded again.
    const QString latin1 = "mkdir \"$1/h$(printf '\\351')me\" && HOME=\"$1/h$(printf '\\351')me\" ";
    const QList<std::pair<QString, QString>> homes = {
        {"unset HOME; ", "HOME"},
        {"HOME=relative/home ", "HOME"},
        {latin1, "HOME is not a valid file name in this locale"}};
    for (const auto& [home, says] : homes) {
        SCOPED_TRACE(home.toStdString());
        const ProgramRun run = runProgram(
            "/bin/sh",
            {"-c", home + "exec \"$2\" --silent", "sh", sandbox::root(), LUMADOC_INSTALLER_EXE},
            scenario.environment(), cwd.path());
        EXPECT_EQ(run.status, SilentInstall::BadUsage);
        EXPECT_TRUE(run.err.contains(says)) << run.err.toStdString();
        EXPECT_TRUE(QDir(cwd.path()).isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(sandbox::dataDir() + "/Lumadoc"));
    // The home itself, and no sibling named after a lossy decoding.
    EXPECT_EQ(QDir(sandbox::root()).entryList({"h*me"}, QDir::Dirs).size(), 1);

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
    EXPECT_TRUE(ended(run, SilentInstall::Installed, "", snapshotTree(scenario.servedApp())));
    EXPECT_TRUE(QDir(cwd.path()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(sandbox::root() + "/no-such-folder"));
}
