// The real `lumadoc-installer --silent` against the real devserver: what the user
// gets (status, application, settings) and what the release team reads (the
// telemetry, in order), beside another installer or in hostile surroundings.

#include "flow/SilentInstall.h"
#include "fakeproduct/FakeProduct.h"
#include "install/ProductPaths.h"
#include "platform/LinuxCommands.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"

#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef __APPLE__
#include <util.h> // openpty
#else
#include <pty.h>
#endif

namespace {

QJsonObject properties(const QJsonObject& report) {
    return report["data"]["properties"].toObject();
}

const QStringList kInstalled = {
    "result 100",   "showInterface", "installNow", "downloadStart",   "downloadComplete",
    "installStart", "result 1",      "result 21",  "installComplete", "applicationStart"};

} // namespace

TEST(SilentInstall, InstallsLaunchesTheProductAndReportsEveryStep) {
    SKIP_WITHOUT_LINUX_TOOLS();
    struct Case {
        const char* name;
        bool overwrite;
        const char* settings; // lines of the settings file ("key=" for any value)
        const char* notSet;
    };
    const Case cases[] = {
        // Fresh, with no applications folder set: the home's one is made. DO_NOT_TRACK=0
        // is a user saying tracking is fine.
        {"fresh", false,
         "setDefault=1 setOfdDefault=1 engageService=1 version= shortCode= tid1= tid2= tod1= "
         "tod2= cover_install=0 installtime= uuid= svrid=",
         ""},
        // Over a previous one: its choices kept, the cover marked.
        {"overwrite", true,
         "cover_install=1 cover_installtime=", "setDefault= setOfdDefault= engageService="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(sandbox::dataDir() + "/Lumadoc").removeRecursively();
        InstallScenario scenario;
        ASSERT_TRUE(scenario.serveProduct("3.2.1"));
        QProcessEnvironment env = scenario.environment();
        QString apps = sandbox::applicationsDir();
        if (c.overwrite) {
            scenario.installPrevious("1.0.0");
        } else {
            env.remove("LUMADOC_APPLICATIONS_DIR");
            env.remove("LUMADOC_NO_TELEMETRY");
            env.insert("DO_NOT_TRACK", "0");
            apps = sandbox::home() + "/Applications";
        }
        const ProgramRun run = runInstaller(env);
        ASSERT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
        const QString app = apps + "/Lumadoc.app";
        EXPECT_TRUE(readFile(app + "/Contents/Info.plist").contains("3.2.1"));
        struct stat folder = {};
        EXPECT_TRUE(c.overwrite || (::stat(QFile::encodeName(apps).constData(), &folder) == 0 &&
                                    (folder.st_mode & 07777) == 0755));

        // Standard output (not a terminal here): progress, phases and the result only;
        // the system's lines are in the log file.
        const QString line =
            "(\\[[#-]{24}\\] .*MiB.*|Downloading Lumadoc\\.\\.\\.|Verifying the "
            "package\\.\\.\\.|waiting for the server…|sending the last reports…)\n";
        EXPECT_TRUE(
            run.out.count('\n') <= 12 &&
            run.out.contains(QRegularExpression(
                "^(" + line + ")*Installing Lumadoc\\.\\.\\.\nStarting Lumadoc\\.\\.\\.\n(" + line +
                ")*lumadoc-installer: Lumadoc is installed in " + QRegularExpression::escape(app) +
                " and started\\.\n$")))
            << run.out.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        for (const QString& system :
             QStringList{"fnDownload", "Starting download from", "[QvRekol]",
                         "report vexa_tools_install start", "mWaitGroup.leave()",
                         "Lumadoc installed in " + app})
            EXPECT_TRUE(run.log.contains(system)) << system.toStdString();
        EXPECT_FALSE(run.log.contains("telemetry off"));
        // Where the time went: each phase once, in the order they follow one another,
        // together no longer than the run (the process start is known to a clock tick).
        QStringList phases;
        qint64 phased = 0;
        for (const QString& line :
             run.log.split('\n').filter(QRegularExpression("^phase \\S+ \\d+ ms$"))) {
            phases << line.section(' ', 1, 1);
            phased += line.section(' ', 2, 2).toLongLong();
        }
        EXPECT_LE(phased, run.millis + 20);
        EXPECT_EQ(phases, QStringList({"startup", "download", "verify", "extract", "check", "swap",
                                       "cleanup", "settings", "launch", "reports", "exit"}));

        // The protection service may record its start first. The reader starts as the
        // user would start it: ignoring no signal the installer ignores.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const auto all = FakeProduct::launches(scenario.markerPath());
                return std::any_of(all.begin(), all.end(), [](const FakeProduct::Launch& l) {
                    return l.program + ' ' + l.arguments == "docreader -from=5" &&
                           readFile(QString("/proc/%1/status").arg(l.pid))
                               .contains("SigIgn:\t0000000000000000\n");
                });
            },
            5000));
        stopProduct(apps);

        const QString ini = QString::fromUtf8(readFile(scenario.settingsPath()));
        for (const QString& line : QString(c.settings).split(' '))
            EXPECT_TRUE(ini.contains('\n' + line)) << line.toStdString();
        for (const QString& line : QString(c.notSet).split(' ', Qt::SkipEmptyParts))
            EXPECT_FALSE(ini.contains(line)) << line.toStdString();

        EXPECT_TRUE(scenario.sent(kInstalled));
        // An overwrite is no reason for installtype 1: only a declined one sends it.
        for (const QJsonObject& report : scenario.reports())
            EXPECT_TRUE(
                report["table"] != "vexa_tools_install" || properties(report)["reason"] == 100 ||
                (properties(report)["installtype"] == 0 && properties(report)["silent"] == 1))
                << InstallScenario::label(report).toStdString();
        if (!c.overwrite)
            QDir(apps).removeRecursively();
    }
}

TEST(SilentInstall, ABundledInstallerTakesItsNameAndDataFromTheBundle) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    scenario.serveRaw(QByteArray(64 * 1024, '\x5a'));
    QTemporaryDir dir;
    const QString contents = dir.path() + "/X_v3.2.1_ab12_101.202.303.404 (1).app/Contents";
    ASSERT_TRUE(QDir().mkpath(contents + "/MacOS") && QDir().mkpath(contents + "/Resources"));
    ASSERT_TRUE(QFile::copy(LUMADOC_INSTALLER_EXE, contents + "/MacOS/LumadocInstaller"));
    for (const QString name : {"/qfmt.dat", "/qctrl.dat"})
        ASSERT_TRUE(QFile::copy(scenario.resourceDir() + name, contents + "/Resources" + name));
    QProcessEnvironment env = scenario.environment();
    env.remove("LUMADOC_RESOURCE_DIR");
    // As Finder and Xcode may start it: their arguments are not the user's.
    const ProgramRun run =
        runProgram(contents + "/MacOS/LumadocInstaller",
                   {"-psn_0_4711", "--silent", "-NSDocumentRevisionsDebugMode", "YES"}, env);
    EXPECT_EQ(run.status, SilentInstall::InstallFailed) << run.err.toStdString();

    // Reports sent at all: the data files were found in Contents/Resources.
    ASSERT_TRUE(scenario.server().waitForTelemetry(4, 10000));
    for (const QJsonObject& report : scenario.reports()) {
        QStringList ids;
        for (const char* key : {"tid1", "tid2", "tod1", "tod2"})
            ids << QString::number(properties(report)[key].toInt());
        EXPECT_EQ(ids.join('.'), "101.202.303.404");
    }
}

TEST(SilentInstall, ARunningProductStopsTheInstallButATextThatNamesItDoesNot) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct());
    const QString app = scenario.installPrevious("1.0.0");
    // The reader itself, and a program of the product that is a script run with arguments.
    const QString script = writeFile(app + "/Contents/MacOS/memberui", "sleep 60\n");
    for (const QStringList& started : {QStringList{app + "/Contents/MacOS_SymLink/docreader"},
                                       QStringList{"/bin/sh", script, "-from=5"}}) {
        QProcess product;
        product.start(started[0], started.mid(1));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(scenario.markerPath()); }, 5000));
        const ProgramRun run = runInstaller(scenario.environment());
        product.kill();
        product.waitForFinished();
        EXPECT_EQ(run.status, SilentInstall::ProductRunning) << started.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("Lumadoc is running")) << run.err.toStdString();
    }
    const QStringList refused = {"result 100", "showInterface", "installNow"};
    EXPECT_TRUE(scenario.sent(refused + refused));

    // The installer's parent shell holds the reader's path on its command line.
    const ProgramRun named = runProgram("/bin/sh",
                                        {"-c", "\"$0\" --silent; status=$?; : \"$1\"; exit $status",
                                         LUMADOC_INSTALLER_EXE, app + "/Contents/MacOS/docreader"},
                                        scenario.environment(), {}, 90000);
    EXPECT_EQ(named.status, SilentInstall::Installed) << named.err.toStdString();
    stopProduct();

    // Nor is another installer looking for the product at this very moment.
    QProcess other;
    other.start("/bin/sh", {"-c", LinuxCommands().findRunning(
                                      ProductPaths(sandbox::applicationsDir()).userPrograms()) +
                                      "; sleep 60"});
    ASSERT_TRUE(other.waitForStarted());
    const ProgramRun probed = runInstaller(scenario.environment());
    other.kill();
    other.waitForFinished();
    EXPECT_EQ(probed.status, SilentInstall::Installed) << probed.err.toStdString();
}

TEST(SilentInstall, AHangingTelemetryServerDelaysTheExitByOneWaitOnlyOrUntilCtrlC) {
    SKIP_WITHOUT_LINUX_TOOLS();
    // A dead one: see the planted-links runs of UserFiles.
    InstallScenario scenario({"--rekol-hang"});
    ASSERT_TRUE(scenario.serveProduct());
    for (const bool ctrlC : {false, true}) {
        SCOPED_TRACE(ctrlC ? "Ctrl+C while it waits" : "waited out");
        QElapsedTimer closing; // from the closing line to the exit
        const ProgramRun run =
            runInstaller(scenario.environment(), {"--silent"},
                         {{}, [&](QProcess& installer, const QString& out) {
                              if (!closing.isValid() && out.contains("lumadoc-installer: "))
                                  closing.start();
                              if (ctrlC && out.contains("sending the last reports…"))
                                  ::kill(pid_t(installer.processId()), SIGINT);
                          }});
        stopProduct();
        EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
        ASSERT_TRUE(closing.isValid());
        EXPECT_EQ(run.out.count("sending the last reports…"), 1);
        if (ctrlC) {
            // Announced after a second; the signal ends the wait there.
            EXPECT_LT(closing.elapsed(), 5000);
            EXPECT_TRUE(run.log.contains("stopped by signal 2 while sending the last reports"));
            continue;
        }
        // Two posters, each waited for at most 15 seconds, side by side.
        EXPECT_GE(closing.elapsed(), 14000);
        EXPECT_LT(closing.elapsed(), 15000 + 2000);
        EXPECT_EQ(run.log.count("still tasks uncompleted after timeout"), 2)
            << run.log.toStdString();
    }
}

TEST(SilentInstall, BadUsageConfigurationOrHomeAreRefusedWithTheReason) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    QProcessEnvironment env = scenario.environment();
    // A binary without its data files says so once, and runs without telemetry.
    const QString noData = sandbox::root() + "/no-data";
    QDir().mkpath(noData);
    env.insert("LUMADOC_RESOURCE_DIR", noData);
    const QString missing = "telemetry disabled: qctrl.dat not found in " + noData + "\n";
    const QString url = "LUMADOC_DOWNLOAD_BASE_URL=", noHost = url + "http://:8080";
    struct Case {
        QString shell; // run before the installer starts; $1 is the sandbox
        QString says;
        QString arguments = "--silent";
    };
    const Case cases[] = {
        {"", "Unknown option 'bogus'", "--silent --bogus"},
        // No home, a relative one, or one whose name is no text in this locale: refused
        // before anything is written, never under a name decoded and encoded again.
        {"unset HOME", "HOME must name an absolute folder"},
        {"HOME=relative/home", "HOME must name an absolute folder"},
        // So few descriptors or so little memory that a thread or a tool would fail midway.
        {"ulimit -n 16", "too few open files allowed (ulimit -n 16); 64 are needed"},
#ifndef __SANITIZE_ADDRESS__ // whose shadow memory cannot be mapped under a limit
        {"ulimit -v 300000", "too little memory allowed (ulimit -v 300000)"},
#endif
        // A tool the shell cannot find, before a download that could not be installed.
        {"PATH=/nowhere", "cannot find 7zz, pgrep, uname, mv, chmod, rm on PATH (/nowhere)"},
        {"mkdir \"$1/h$(printf '\\351')me\" && HOME=\"$1/h$(printf '\\351')me\"",
         "HOME is not a valid file name in this locale"},
        // Download addresses with a blank in the host, or with no host at all.
        {url + "'http://bad host:80'", "bad download address"},
        {url + "http:///mac/dl", "bad download address"},
        // A password with an unescaped "@" is refused without being shown.
        {url + "http://me:pa@ss@127.0.0.1:9", "bad download address: http://***@127.0.0.1:9"},
        {noHost, "bad download address"},
        // --verbose: the log's lines on standard error too.
        {noHost, "Invalid productId", "--silent --verbose"},
    };
    QTemporaryDir cwd;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shell.toStdString() + ' ' + c.arguments.toStdString());
        QDir(sandbox::dataDir() + "/Lumadoc").removeRecursively();
        QFile::remove(installerLogPath());
        const ProgramRun run = runProgram("/bin/sh",
                                          {"-c", c.shell + "\nexec \"$2\" " + c.arguments, "sh",
                                           sandbox::root(), LUMADOC_INSTALLER_EXE},
                                          env, cwd.path());
        EXPECT_EQ(run.status, SilentInstall::BadUsage);
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
        EXPECT_TRUE(QDir(cwd.path()).isEmpty());
        // Only a run that got as far as its log says what it misses, once.
        const bool started = c.shell.startsWith(url);
        EXPECT_EQ(run.err.count(missing), started ? 1 : 0) << run.err.toStdString();
        EXPECT_EQ(lastRunLog().count(missing) == 1, started);
        EXPECT_EQ(run.err.contains("Invalid productId"), c.arguments.contains("--verbose"));
        EXPECT_EQ(QFileInfo::exists(sandbox::dataDir() + "/Lumadoc"), started);
    }
    // The home itself, and no sibling named after a lossy decoding.
    EXPECT_EQ(QDir(sandbox::root()).entryList({"h*me"}, QDir::Dirs).size(), 1);
}

TEST(SilentInstall, OnlyAPackageThatPassesVerificationIsInstalled) {
    SKIP_WITHOUT_LINUX_TOOLS();
    QTemporaryDir keys, otherKeys;
    const QString publicKey = DevServer::makeKeyPair(keys.path());
    ASSERT_FALSE(publicKey.isEmpty());
    ASSERT_FALSE(DevServer::makeKeyPair(otherKeys.path()).isEmpty());
    const QStringList signing = {"--sign-key", keys.filePath("package-key.pem"),
                                 "--manifest-version", "3.2.1"};
    const QList<std::pair<QStringList, QString>> cases = {
        {signing, ""},
        {signing + QStringList{"--no-signature"}, "unsigned"},
        {signing + QStringList{"--manifest-wrong-file"}, "wrong file"},
        {signing + QStringList{"--manifest-expires", "2020-01-01T00:00:00Z"}, "expired"},
        {signing + QStringList{"--manifest-version", "0.9"}, "older than installed"},
        {signing + QStringList{"--lie-length", "10"}, "wrong size"},
        {signing + QStringList{"--tamper-body"}, "wrong hash"},
        {{"--sign-key", otherKeys.filePath("package-key.pem")}, "bad signature"},
    };
    for (const auto& [options, reason] : cases) {
        SCOPED_TRACE(reason.toStdString());
        InstallScenario scenario(options);
        ASSERT_TRUE(scenario.serveProduct("3.2.1"));
        const Tree before = scenario.reinstallPrevious();
        QProcessEnvironment env = scenario.environment();
        env.insert("LUMADOC_PACKAGE_PUBLIC_KEY", publicKey);
        const ProgramRun run = runInstaller(env);
        if (reason.isEmpty()) {
            EXPECT_TRUE(ended(run, SilentInstall::Installed, "^$",
                              snapshotTree(scenario.servedApp("3.2.1"))));
            EXPECT_TRUE(run.log.contains("package verified")) << run.log.toStdString();
        } else {
            EXPECT_TRUE(ended(run, SilentInstall::DownloadFailed,
                              "the package failed verification: " + reason, before));
        }
    }
}

TEST(SilentInstall, AQuietServerIsAnnouncedAndTheProgressComesBackWithTelemetryOff) {
    SKIP_WITHOUT_LINUX_TOOLS();
    // Four seconds past the ten-second mark, so a loaded machine still sees it. Sent
    // in chunks: with no size known the progress gives no percentage.
    InstallScenario scenario({"--stall-after", "100000", "--stall-for", "14000", "--chunked"});
    ASSERT_TRUE(scenario.serveProduct());
    QProcessEnvironment env = scenario.environment();
    env.remove("DO_NOT_TRACK");
    env.remove("LUMADOC_NO_TELEMETRY");
    const ProgramRun run = runInstaller(env, {"--silent", "--no-telemetry"});
    ASSERT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
    EXPECT_TRUE(scenario.telemetryOff(run, "--no-telemetry"));
    EXPECT_EQ(run.out.count("waiting for the server…"), 1) << run.out.toStdString();
    const QString after = run.out.mid(run.out.indexOf("waiting for the server…"));
    EXPECT_TRUE(after.contains(QRegularExpression("\\n\\[-{24}\\]  \\d+ MiB\\n")))
        << after.toStdString();
    EXPECT_FALSE(run.out.contains('%')) << run.out.toStdString();
    EXPECT_TRUE(after.contains("\nVerifying the package...\nInstalling Lumadoc...\n"));
}

TEST(SilentInstall, AHostileHomeTemporaryFolderOrDataFileNeverStrandsTheUser) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    QTemporaryDir cwd;
    // A missing temporary folder falls back to /tmp; FIFOs and files too large for the
    // settings and data files are passed over without a hang (telemetry off, said so).
    QProcessEnvironment env = scenario.environment();
    env.insert("TMPDIR", sandbox::root() + "/no-such-folder");
    // Relative XDG folders are ignored, as their rule says: kept, they would move the
    // settings, the lock and the journal with the working folder.
    for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME"})
        env.insert(name, "relative");
    QTemporaryDir data;
    ASSERT_TRUE(QFile(writeFile(data.filePath("qctrl.dat"), "#")).resize(64 << 20));
    ASSERT_EQ(::mkfifo(QFile::encodeName(data.filePath("qfmt.dat")).constData(), 0600), 0);
    env.insert("LUMADOC_RESOURCE_DIR", data.path());
    QDir(sandbox::dataDir() + "/Lumadoc").removeRecursively();
    QDir().mkpath(QFileInfo(scenario.settingsPath()).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(scenario.settingsPath()).constData(), 0600), 0);
    // Nor does a terminal whose reader is gone (`| head -1`), before any socket is open.
    const auto readerGone = [] {
        int ends[2];
        if (::pipe(ends) == 0)
            ::dup2(ends[1], STDOUT_FILENO), ::close(ends[0]), ::close(ends[1]);
    };
    const ProgramRun run = runInstaller(env, {"--silent"}, {readerGone, {}}, cwd.path());
    EXPECT_TRUE(
        ended(run, SilentInstall::Installed,
              "telemetry disabled: cannot read " + data.filePath("qctrl.dat") + ": larger than",
              snapshotTree(scenario.servedApp())));
    EXPECT_TRUE(QDir(cwd.path()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(sandbox::root() + "/no-such-folder"));
    QFile::remove(scenario.settingsPath());
}

// A second installer leaves at once and the first finishes; its progress never runs ahead.
// At a terminal the bar is redrawn in place and erased before any other line (the log's
// too, with --verbose); once every byte is in, it is gone.
TEST(SilentInstall, TheProgressBesideASecondInstallerAndAtATerminal) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario({"--throttle", "8000000"});
    ASSERT_TRUE(scenario.serveProduct("3.2.1", 8 << 20));
    QProcess first;
    first.setProcessEnvironment(scenario.environment());
    first.start(LUMADOC_INSTALLER_EXE, {"--silent"});
    QString ownFolder; // the first run's, which holds the package: no other user may look in
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            ownFolder = QDir(sandbox::tempDir())
                            .entryList({"lumadoc-*"}, QDir::Dirs)
                            .filter(QRegularExpression("^lumadoc-[0-9A-F-]{36}$"))
                            .value(0);
            return !ownFolder.isEmpty();
        },
        20000));
    const QString own = sandbox::tempDir() + '/' + ownFolder;
    struct stat folder = {};
    EXPECT_TRUE(::stat(QFile::encodeName(own).constData(), &folder) == 0 &&
                (folder.st_mode & 07777) == 0700);
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
    // The figures never run ahead of the size, and the last line is the whole package.
    static const QRegularExpression figures("^\\[[#-]+\\] +\\d+%  (\\d+)/(\\d+) MiB",
                                            QRegularExpression::MultilineOption);
    const QString out = QString::fromUtf8(first.readAllStandardOutput());
    QStringList lines;
    for (auto it = figures.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        EXPECT_LE(m.captured(1).toInt(), m.captured(2).toInt()) << m.captured().toStdString();
        lines << m.captured();
    }
    EXPECT_GE(lines.size(), 3) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.value(lines.size() - 1)
                    .contains(QRegularExpression("^\\[#{24}\\] 100%  (\\d+)/\\1 MiB$")))
        << lines.join('\n').toStdString();
    stopProduct();

    int master = -1, terminal = -1;
    ASSERT_EQ(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    QByteArray shown;
    const auto readShown = [&] {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, n);
    };
    const auto onTerminal = [terminal] {
        ::dup2(terminal, STDOUT_FILENO), ::dup2(terminal, STDERR_FILENO);
    };
    const ProgramRun run =
        runInstaller(scenario.environment(), {"--silent", "--verbose"},
                     {onTerminal, [&](QProcess&, const QString&) { readShown(); }});
    readShown();
    stopProduct();
    ::close(terminal), ::close(master);
    EXPECT_EQ(run.status, SilentInstall::Installed);
    EXPECT_GE(shown.count("\r\033[K[#"), 3);
    static const QRegularExpression barLeftStanding("\\[[#-]{24}\\][^\\r\\n]*+(?!\\r\\033\\[K)");
    EXPECT_FALSE(QString::fromUtf8(shown).contains(barLeftStanding));
    EXPECT_FALSE(shown.mid(shown.indexOf("Verifying")).contains("[#"));
}
