// The real `lumadoc-installer --silent` against the real devserver, in the
// sandbox: what the user gets (exit status, application, settings) and what
// the release team reads (the telemetry, in order, with every key).

#include "flow/SilentInstall.h"
#include "fakeproduct/FakeProduct.h"
#include "install/ProductPaths.h"
#include "platform/LinuxCommands.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"
#include "support/ProgramRun.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QJsonObject properties(const QJsonObject& report) {
    return report["data"].toObject()["properties"].toObject();
}

// The plain reports after the first: what the installer itself sends.
QList<QJsonObject> plainReports(const QList<QJsonObject>& reports) {
    QList<QJsonObject> plain;
    for (const QJsonObject& report : reports)
        if (report["table"] == "vexa_tools_install" && properties(report)["reason"].toInt() != 100)
            plain << report;
    return plain;
}

void expectCompleteKeySets(const QList<QJsonObject>& reports) {
    const QStringList common = {"tid1",  "tid2",    "tod1",       "tod2",        "iid",
                                "tryno", "filever", "product_id", "countrycode", "language"};
    const QStringList plain = {"result",      "reason",     "installtype", "silent",
                               "os",          "version",    "parentproce", "lastday",
                               "before_tid1", "before_tid2"};
    const QStringList points = {"os",        "chip",      "point", "click",  "isdefview",
                                "reserved1", "reserved2", "ver",   "result", "reason"};
    for (const QJsonObject& report : reports) {
        const QJsonObject data = report["data"].toObject();
        EXPECT_EQ(data.keys(),
                  QStringList({"#account_id", "#event_name", "#time", "#type", "properties"}));
        QStringList expected = common + (report["table"] == "vexa_tools_install" ? plain : points);
        expected.removeDuplicates();
        expected.sort();
        EXPECT_EQ(properties(report).keys(), expected);
    }
}

} // namespace

TEST(SilentInstall, InstallsLaunchesTheProductAndReportsEveryStep) {
    SKIP_WITHOUT_LINUX_TOOLS();
    struct Case {
        const char* name;
        bool overwrite;
        QStringList settings; // lines of the settings file ("key=" for any value)
        QStringList notSet;
    };
    const Case cases[] = {
        // Fresh, with no applications folder set: the home's one is made. DO_NOT_TRACK=0
        // is a user saying tracking is fine.
        {"fresh",
         false,
         {"setDefault=1", "setOfdDefault=1", "engageService=1", "version=", "shortCode=", "tid1=",
          "tid2=", "tod1=", "tod2=", "cover_install=0", "installtime=", "uuid=", "svrid="},
         {}},
        // Over a previous one: its choices kept, the cover marked.
        {"overwrite",
         true,
         {"cover_install=1", "cover_installtime="},
         {"setDefault=", "setOfdDefault=", "engageService="}},
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

        // Standard output (not a terminal here): progress, phases and the result only;
        // the system's lines are in the log file.
        const QStringList out = run.out.split('\n', Qt::SkipEmptyParts);
        EXPECT_LE(out.size(), 12) << run.out.toStdString();
        const QRegularExpression allowed(
            "^(\\[[#-]{24}\\] .*MiB.*|Downloading Lumadoc\\.\\.\\.|Verifying the package\\.\\.\\.|"
            "Installing Lumadoc\\.\\.\\.|Starting Lumadoc\\.\\.\\.|"
            "waiting for the server…|sending the last reports…|"
            "lumadoc-installer: Lumadoc is installed in .+/Lumadoc\\.app and started\\.)$");
        for (const QString& line : out)
            EXPECT_TRUE(allowed.match(line).hasMatch()) << line.toStdString();
        EXPECT_TRUE(run.out.contains("Installing Lumadoc...\nStarting Lumadoc...\n"));
        EXPECT_TRUE(run.out.contains("lumadoc-installer: Lumadoc is installed in " + app +
                                     " and started.\n"));
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        for (const QString& system :
             QStringList{"fnDownload", "Starting download from", "[QvRekol]",
                         "report vexa_tools_install start", "mWaitGroup.leave()",
                         "Lumadoc installed in " + app})
            EXPECT_TRUE(run.log.contains(system)) << system.toStdString();
        EXPECT_FALSE(run.log.contains("telemetry off"));
        // Where the time went: each phase once, in the order they follow one another.
        QStringList phases;
        static const QRegularExpression phaseLine("^phase ([a-z-]+) \\d+ ms$",
                                                  QRegularExpression::MultilineOption);
        for (auto it = phaseLine.globalMatch(run.log); it.hasNext();)
            phases << it.next().captured(1);
        EXPECT_EQ(phases, QStringList({"startup", "download", "verify", "extract", "check", "swap",
                                       "cleanup", "settings", "launch", "reports", "exit"}));
        if (!c.overwrite) {
            struct stat folder = {};
            ASSERT_EQ(::stat(QFile::encodeName(apps).constData(), &folder), 0);
            EXPECT_EQ(folder.st_mode & 07777, 0755u);
        }

        // The protection service may record its start first.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                for (const FakeProduct::Launch& launch :
                     FakeProduct::launches(scenario.markerPath()))
                    if (launch.program == "docreader" && launch.arguments == "-from=5")
                        return true;
                return false;
            },
            5000));
        stopProduct(apps);

        const QString ini = QString::fromUtf8(readFile(scenario.settingsPath()));
        for (const QString& line : c.settings)
            EXPECT_TRUE(ini.contains('\n' + line)) << line.toStdString();
        for (const QString& line : c.notSet)
            EXPECT_FALSE(ini.contains(line)) << line.toStdString();

        ASSERT_TRUE(scenario.server().waitForTelemetry(10, 10000));
        const QList<QJsonObject> reports = scenario.reports();
        EXPECT_TRUE(InstallScenario::inOrder(reports, {"result 100", "showInterface", "installNow",
                                                       "downloadStart", "downloadComplete",
                                                       "installStart", "result 1", "result 21",
                                                       "installComplete", "applicationStart"}));
        expectCompleteKeySets(reports);
        // An overwrite installation is no reason for installtype 1: only a declined one sends it.
        for (const QJsonObject& report : plainReports(reports)) {
            EXPECT_EQ(properties(report)["installtype"].toInt(), 0);
            EXPECT_EQ(properties(report)["silent"].toInt(), 1);
        }
        if (!c.overwrite)
            QDir(apps).removeRecursively();
    }
}

TEST(SilentInstall, AFailedFirstDownloadIsRetriedAndTwoAreAFailure) {
    SKIP_WITHOUT_LINUX_TOOLS();
    {
        // A server error rather than a cut: Qt may quietly resend a request whose
        // connection broke, which would hide the first failure.
        InstallScenario scenario({"--status", "503", "--fail-first", "1"});
        ASSERT_TRUE(scenario.serveProduct());
        const ProgramRun run = runInstaller(scenario.environment());
        EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
        EXPECT_GE(run.millis, 2000); // the automatic retry waits two seconds
        EXPECT_EQ(run.log.count("fnDownload"), 2);
        EXPECT_EQ(run.out.count("Downloading Lumadoc again..."), 1);
        stopProduct();
    }
    InstallScenario scenario({"--drop-after", "4096"});
    ASSERT_TRUE(scenario.serveProduct());
    const QString log = sandbox::root() + "/chosen/installer.log";
    const ProgramRun run = runInstaller(scenario.environment(), {"--silent", "--log-file", log});
    EXPECT_EQ(run.status, SilentInstall::DownloadFailed) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("download failed")) << run.err.toStdString();
    EXPECT_TRUE(run.err.endsWith("; details: " + log + "\n")) << run.err.toStdString();
    EXPECT_TRUE(run.log.contains("Download failed: ")) << run.log.toStdString();
    ASSERT_TRUE(scenario.server().waitForTelemetry(6, 10000));
    const QStringList got = scenario.labels();
    EXPECT_EQ(got.count("result 23"), 1);
    EXPECT_EQ(got.count("downloadFail"), 1);
}

TEST(SilentInstall, ABundledInstallerTakesItsNameAndDataFromTheBundle) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    scenario.serveRaw(QByteArray(64 * 1024, '\x5a'));
    QTemporaryDir dir;
    const QString contents = dir.path() + "/X_v3.2.1_ab12_101.202.303.404 (1).app/Contents";
    ASSERT_TRUE(QDir().mkpath(contents + "/MacOS") && QDir().mkpath(contents + "/Resources"));
    ASSERT_TRUE(QFile::copy(LUMADOC_INSTALLER_EXE, contents + "/MacOS/LumadocInstaller"));
    for (const char* name : {"qfmt.dat", "qctrl.dat"})
        ASSERT_TRUE(
            QFile::copy(scenario.resourceDir() + '/' + name, contents + "/Resources/" + name));
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
        const QJsonObject p = properties(report);
        EXPECT_EQ(QList<int>(
                      {p["tid1"].toInt(), p["tid2"].toInt(), p["tod1"].toInt(), p["tod2"].toInt()}),
                  QList<int>({101, 202, 303, 404}));
    }
}

TEST(SilentInstall, ARunningProductStopsTheInstallButATextThatNamesItDoesNot) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct());
    const QString app = scenario.installPrevious("1.0.0");
    QProcess reader;
    reader.start(app + "/Contents/MacOS_SymLink/docreader", {});
    ASSERT_TRUE(reader.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(scenario.markerPath()); }, 5000));
    const ProgramRun run = runInstaller(scenario.environment());
    reader.kill();
    reader.waitForFinished();
    EXPECT_EQ(run.status, SilentInstall::ProductRunning);
    EXPECT_TRUE(run.err.contains("Lumadoc is running")) << run.err.toStdString();
    ASSERT_TRUE(scenario.server().waitForTelemetry(3, 10000));
    QTest::qWait(300);
    const QStringList got = scenario.labels();
    EXPECT_EQ(got.count("installNow"), 1);
    EXPECT_EQ(got.count("downloadStart"), 0);

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
    stopProduct();
}

TEST(SilentInstall, ADeadOrHangingTelemetryServerChangesNothingButTheLog) {
    SKIP_WITHOUT_LINUX_TOOLS();
    {
        // Nothing listens where the reports go.
        InstallScenario scenario({}, "http://127.0.0.1:9/rekol/report");
        ASSERT_TRUE(scenario.serveProduct());
        EXPECT_EQ(runInstaller(scenario.environment()).status, SilentInstall::Installed);
        stopProduct();
    }
    InstallScenario scenario({"--rekol-hang"});
    ASSERT_TRUE(scenario.serveProduct());
    QElapsedTimer closing; // from the closing line to the exit
    const ProgramRun run =
        runInstaller(scenario.environment(), {"--silent"},
                     {{}, [&](QProcess&, const QString& out) {
                          if (!closing.isValid() && out.contains("lumadoc-installer: "))
                              closing.start();
                      }});
    EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
    // Two posters, each waited for at most 15 seconds, side by side.
    ASSERT_TRUE(closing.isValid());
    EXPECT_GE(closing.elapsed(), 14000);
    EXPECT_LT(closing.elapsed(), 15000 + 2000);
    EXPECT_EQ(run.log.count("still tasks uncompleted after timeout"), 2) << run.log.toStdString();
    EXPECT_EQ(run.out.count("sending the last reports…"), 1);
}

TEST(SilentInstall, BadUsageAndConfigurationAreRefused) {
    SKIP_WITHOUT_LINUX_TOOLS();
    EXPECT_EQ(
        runInstaller(QProcessEnvironment::systemEnvironment(), {"--silent", "--bogus"}).status,
        SilentInstall::BadUsage);

    InstallScenario scenario;
    QProcessEnvironment env = scenario.environment();
    env.insert("LUMADOC_DOWNLOAD_BASE_URL", "http://bad host:80");
    // A binary without its data files says so once, and runs without telemetry.
    const QString noData = sandbox::root() + "/no-data";
    QDir().mkpath(noData);
    env.insert("LUMADOC_RESOURCE_DIR", noData);
    const QString missing = "telemetry disabled: qctrl.dat not found in " + noData + "\n";
    const ProgramRun run = runInstaller(env);
    EXPECT_EQ(run.status, SilentInstall::BadUsage);
    EXPECT_EQ(run.err.count(missing), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("bad download address")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("Invalid productId")) << run.err.toStdString();
    EXPECT_EQ(run.log.count(missing), 1);

    // --verbose: the log's lines on standard error too.
    const QString verbose = runInstaller(env, {"--silent", "--verbose"}).err;
    EXPECT_EQ(verbose.count(missing), 1) << verbose.toStdString();
    EXPECT_TRUE(verbose.contains("Invalid productId")) << verbose.toStdString();
}

TEST(SilentInstall, OnlyAPackageThatPassesVerificationIsInstalled) {
    SKIP_WITHOUT_LINUX_TOOLS();
    QTemporaryDir keys, otherKeys;
    const QString publicKey = DevServer::makeKeyPair(keys.path());
    ASSERT_FALSE(publicKey.isEmpty());
    ASSERT_FALSE(DevServer::makeKeyPair(otherKeys.path()).isEmpty());
    const QStringList signing = {"--sign-key", keys.filePath("package-key.pem"),
                                 "--manifest-version", "3.2.1"};
    struct Case {
        QStringList options;
        const char* reason; // nullptr: installed
    };
    const Case cases[] = {
        {signing, nullptr},
        {signing + QStringList{"--no-signature"}, "unsigned"},
        {signing + QStringList{"--manifest-wrong-file"}, "wrong file"},
        {signing + QStringList{"--manifest-expires", "2020-01-01T00:00:00Z"}, "expired"},
        {signing + QStringList{"--manifest-version", "0.9"}, "older than installed"},
        {signing + QStringList{"--lie-length", "10"}, "wrong size"},
        {signing + QStringList{"--tamper-body"}, "wrong hash"},
        {{"--sign-key", otherKeys.filePath("package-key.pem")}, "bad signature"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason ? c.reason : "signed");
        InstallScenario scenario(c.options);
        ASSERT_TRUE(scenario.serveProduct("3.2.1"));
        const QString previous = scenario.installPrevious("1.0.0");
        const auto before = snapshotTree(previous);
        QProcessEnvironment env = scenario.environment();
        env.insert("LUMADOC_PACKAGE_PUBLIC_KEY", publicKey);
        const ProgramRun run = runInstaller(env);
        stopProduct();
        if (!c.reason) {
            EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
            EXPECT_TRUE(run.log.contains("package verified")) << run.log.toStdString();
            EXPECT_EQ(snapshotTree(previous), snapshotTree(scenario.servedApp("3.2.1")));
            continue;
        }
        EXPECT_EQ(run.status, SilentInstall::DownloadFailed) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QString("the package failed verification: ") + c.reason))
            << run.err.toStdString();
        EXPECT_EQ(snapshotTree(previous), before);
        EXPECT_TRUE(QDir(sandbox::tempDir()).entryList({"lumadoc-*"}, QDir::Dirs).isEmpty());
    }
}

TEST(SilentInstall, AQuietServerIsAnnouncedAndTheProgressComesBackWithTelemetryOff) {
    SKIP_WITHOUT_LINUX_TOOLS();
    // Four seconds past the ten-second mark, so a loaded machine still sees it.
    InstallScenario scenario({"--stall-after", "100000", "--stall-for", "14000"});
    ASSERT_TRUE(scenario.serveProduct());
    QProcessEnvironment env = scenario.environment();
    env.remove("DO_NOT_TRACK");
    env.remove("LUMADOC_NO_TELEMETRY");
    const ProgramRun run = runInstaller(env, {"--silent", "--no-telemetry"});
    ASSERT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
    EXPECT_TRUE(scenario.telemetryOff(run, "--no-telemetry"));
    EXPECT_EQ(run.out.count("waiting for the server…"), 1) << run.out.toStdString();
    const QString after = run.out.mid(run.out.indexOf("waiting for the server…"));
    EXPECT_TRUE(after.contains(QRegularExpression("\\n\\[#*-*\\] "))) << after.toStdString();
}
