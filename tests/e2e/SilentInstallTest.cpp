// The real `lumadoc-installer --silent` against the real devserver, in the
// sandbox: what the user gets (exit status, application, settings) and what
// the release team reads (the telemetry, in order, with every key).

#include "flow/SilentInstall.h"
#include "fakeproduct/FakeProduct.h"
#include "support/Files.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"
#include "support/ProgramRun.h"
#include "support/Sandbox.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct InstallerRun {
    int exitStatus = -1;
    QString out;
    QString err;
    QString log; // this run's part of the log file
    qint64 millis = 0;
    qint64 exitMillis = -1; // from the closing "lumadoc-installer: " line to the exit
};

QString defaultLogPath() {
    return sandbox::home() + "/.local/state/lumadoc/installer.log";
}

// The last run in a log file: from its last "=== " line on.
QString lastRun(const QString& logPath) {
    const QString text = QString::fromUtf8(readFile(logPath));
    const qsizetype at = text.lastIndexOf("=== ");
    return at < 0 ? QString() : text.mid(at);
}

InstallerRun runSilent(const InstallScenario& scenario, int timeoutMs = 90000,
                       const QProcessEnvironment& extra = {}, const QStringList& arguments = {}) {
    QProcess installer;
    QProcessEnvironment env = scenario.environment();
    env.insert(extra);
    installer.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    installer.start(LUMADOC_INSTALLER_EXE, QStringList{"--silent"} + arguments);
    InstallerRun run;
    qint64 closingLineAt = -1;
    while (!installer.waitForFinished(100) && installer.state() == QProcess::Running) {
        run.out += QString::fromUtf8(installer.readAllStandardOutput());
        run.err += QString::fromUtf8(installer.readAllStandardError());
        if (closingLineAt < 0 && (run.out + run.err).contains("lumadoc-installer: "))
            closingLineAt = clock.elapsed();
        if (clock.elapsed() > timeoutMs) {
            installer.kill();
            installer.waitForFinished();
        }
    }
    run.millis = clock.elapsed();
    run.exitMillis = closingLineAt < 0 ? 0 : run.millis - closingLineAt;
    run.exitStatus = installer.exitStatus() == QProcess::NormalExit ? installer.exitCode() : -1;
    run.out += QString::fromUtf8(installer.readAllStandardOutput());
    run.err += QString::fromUtf8(installer.readAllStandardError());
    const qsizetype logAt = arguments.indexOf("--log-file");
    run.log = lastRun(logAt >= 0 ? arguments[logAt + 1] : defaultLogPath());
    return run;
}

QString settings(const InstallScenario& scenario) {
    return QString::fromUtf8(readFile(scenario.settingsPath()));
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
        EXPECT_EQ(data["properties"].toObject().keys(), expected);
    }
}

} // namespace

TEST(SilentInstall, FreshInstallLaunchesTheProductAndReportsEveryStep) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    const InstallerRun run = runSilent(scenario);
    ASSERT_EQ(run.exitStatus, SilentInstall::Installed) << run.err.toStdString();

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
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    for (const char* system : {"fnDownload", "Starting download from", "[QvRekol]",
                               "report vexa_tools_install start", "mWaitGroup.leave()"})
        EXPECT_TRUE(run.log.contains(system)) << system;
    // Where the time went: each phase once, in the order they follow one another.
    QStringList phases;
    static const QRegularExpression phaseLine("^phase ([a-z-]+) \\d+ ms$",
                                              QRegularExpression::MultilineOption);
    for (auto it = phaseLine.globalMatch(run.log); it.hasNext();)
        phases << it.next().captured(1);
    EXPECT_EQ(phases, QStringList({"startup", "download", "verify", "extract", "check", "swap",
                                   "cleanup", "settings", "launch", "reports", "exit"}));

    // The protection service may record its start first.
    const auto launched = [&] {
        for (const FakeProduct::Launch& launch : FakeProduct::launches(scenario.markerPath()))
            if (launch.program == "docreader" && launch.arguments == "-from=5")
                return true;
        return false;
    };
    EXPECT_TRUE(QTest::qWaitFor(launched, 5000));

    const QString ini = settings(scenario);
    for (const char* key :
         {"setDefault=1", "setOfdDefault=1", "engageService=1", "version=", "shortCode=", "tid1=",
          "tid2=", "tod1=", "tod2=", "cover_install=0", "installtime=", "uuid=", "svrid="})
        EXPECT_TRUE(ini.contains(QString("\n") + key)) << key;

    ASSERT_TRUE(scenario.server().waitForTelemetry(10, 10000));
    const QList<QJsonObject> reports = scenario.reports();
    EXPECT_TRUE(InstallScenario::inOrder(
        reports, {"result 100", "showInterface", "installNow", "downloadStart", "downloadComplete",
                  "installStart", "result 1", "result 21", "installComplete", "applicationStart"}));
    expectCompleteKeySets(reports);
    for (const QJsonObject& report : reports) {
        const QJsonObject p = report["data"].toObject()["properties"].toObject();
        if (report["table"] == "vexa_tools_install" && p["reason"].toInt() != 100) {
            EXPECT_EQ(p["silent"].toInt(), 1);
        }
    }
}

TEST(SilentInstall, OverwriteInstallKeepsTheChoicesAndMarksTheCover) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    scenario.installPrevious("1.0.0");
    const InstallerRun run = runSilent(scenario);
    ASSERT_EQ(run.exitStatus, SilentInstall::Installed) << run.err.toStdString();

    const QString ini = settings(scenario);
    EXPECT_FALSE(ini.contains("setDefault="));
    EXPECT_FALSE(ini.contains("setOfdDefault="));
    EXPECT_FALSE(ini.contains("engageService="));
    EXPECT_TRUE(ini.contains("\ncover_install=1"));
    EXPECT_TRUE(ini.contains("\ncover_installtime="));
    EXPECT_TRUE(readFile(sandbox::applicationsDir() + "/Lumadoc.app/Contents/Info.plist")
                    .contains("3.2.1"));

    // An overwrite installation is no reason for installtype 1: only a declined one sends it.
    ASSERT_TRUE(scenario.server().waitForTelemetry(10, 10000));
    for (const QJsonObject& report : scenario.reports()) {
        const QJsonObject p = report["data"].toObject()["properties"].toObject();
        if (report["table"] == "vexa_tools_install" && p["reason"].toInt() != 100) {
            EXPECT_EQ(p["installtype"].toInt(), 0);
            EXPECT_EQ(p["silent"].toInt(), 1);
        }
    }
}

TEST(SilentInstall, AFailedFirstDownloadIsRetriedAndTwoAreAFailure) {
    SKIP_WITHOUT_LINUX_TOOLS();
    {
        // A server error rather than a cut: Qt may quietly resend a request whose
        // connection broke, which would hide the first failure.
        InstallScenario scenario({"--status", "503", "--fail-first", "1"});
        ASSERT_TRUE(scenario.serveProduct());
        const InstallerRun run = runSilent(scenario);
        EXPECT_EQ(run.exitStatus, SilentInstall::Installed) << run.err.toStdString();
        EXPECT_GE(run.millis, 2000); // the automatic retry waits two seconds
        EXPECT_EQ(run.log.count("fnDownload"), 2);
        EXPECT_EQ(run.out.count("Downloading Lumadoc again..."), 1);
    }
    {
        InstallScenario scenario({"--drop-after", "4096"});
        ASSERT_TRUE(scenario.serveProduct());
        const QString log = sandbox::root() + "/chosen/installer.log";
        const InstallerRun run = runSilent(scenario, 90000, {}, {"--log-file", log});
        EXPECT_EQ(run.exitStatus, SilentInstall::DownloadFailed) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains("download failed")) << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith("; details: " + log + "\n")) << run.err.toStdString();
        EXPECT_TRUE(run.log.contains("Download failed: ")) << run.log.toStdString();
        ASSERT_TRUE(scenario.server().waitForTelemetry(6, 10000));
        const QStringList got = scenario.labels();
        EXPECT_EQ(got.count("result 23"), 1);
        EXPECT_EQ(got.count("downloadFail"), 1);
    }
}

TEST(SilentInstall, ABadImageFailsAndLeavesThePreviousApplicationIntact) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    scenario.serveRaw(QByteArray(2 * 1024 * 1024, '\x5a'));
    const QString previous = scenario.installPrevious("1.0.0");
    const auto before = snapshotTree(previous);
    const InstallerRun run = runSilent(scenario);
    EXPECT_EQ(run.exitStatus, SilentInstall::InstallFailed);
    EXPECT_TRUE(run.err.contains("installation failed")) << run.err.toStdString();
    EXPECT_EQ(snapshotTree(previous), before);

    ASSERT_TRUE(scenario.server().waitForTelemetry(8, 10000));
    const QStringList got = scenario.labels();
    EXPECT_EQ(got.count("result 25"), 1);
    EXPECT_EQ(got.count("installFail"), 1);
    EXPECT_EQ(got.count("result 1"), 0);
    // Nothing of the attempt stays in the home folder.
    EXPECT_EQ(QDir(sandbox::home()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
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

    QProcess installer;
    QProcessEnvironment env = scenario.environment();
    env.remove("LUMADOC_RESOURCE_DIR");
    installer.setProcessEnvironment(env);
    // As Finder and Xcode may start it: their arguments are not the user's.
    installer.start(contents + "/MacOS/LumadocInstaller",
                    {"-psn_0_4711", "--silent", "-NSDocumentRevisionsDebugMode", "YES"});
    ASSERT_TRUE(installer.waitForFinished(60000));
    EXPECT_EQ(installer.exitCode(), SilentInstall::InstallFailed)
        << installer.readAllStandardError().toStdString();

    // Reports sent at all: the data files were found in Contents/Resources.
    ASSERT_TRUE(scenario.server().waitForTelemetry(4, 10000));
    for (const QJsonObject& report : scenario.reports()) {
        const QJsonObject p = report["data"].toObject()["properties"].toObject();
        EXPECT_EQ(QList<int>(
                      {p["tid1"].toInt(), p["tid2"].toInt(), p["tod1"].toInt(), p["tod2"].toInt()}),
                  QList<int>({101, 202, 303, 404}));
    }
}

TEST(SilentInstall, ARunningProductStopsTheInstallWithItsReason) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct());
    const QString app = scenario.installPrevious("1.0.0");
    QProcess reader;
    reader.start(app + "/Contents/MacOS_SymLink/docreader", {});
    ASSERT_TRUE(reader.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(scenario.markerPath()); }, 5000));

    const InstallerRun run = runSilent(scenario);
    reader.kill();
    reader.waitForFinished();
    EXPECT_EQ(run.exitStatus, SilentInstall::ProductRunning);
    EXPECT_TRUE(run.err.contains("Lumadoc is running")) << run.err.toStdString();
    ASSERT_TRUE(scenario.server().waitForTelemetry(3, 10000));
    QTest::qWait(300);
    const QStringList got = scenario.labels();
    EXPECT_EQ(got.count("installNow"), 1);
    EXPECT_EQ(got.count("downloadStart"), 0);
}

TEST(SilentInstall, AScriptThatNamesTheProductIsNotTheProductRunning) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct());
    const QString app = scenario.installPrevious("1.0.0");
    // The installer's parent shell holds the reader's path on its command line.
    const ProgramRun run = runProgram("/bin/sh",
                                      {"-c", "\"$0\" --silent; status=$?; : \"$1\"; exit $status",
                                       LUMADOC_INSTALLER_EXE, app + "/Contents/MacOS/docreader"},
                                      scenario.environment(), {}, 90000);
    EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
}

TEST(SilentInstall, ADeadOrHangingTelemetryServerChangesNothingButTheLog) {
    SKIP_WITHOUT_LINUX_TOOLS();
    {
        // Nothing listens where the reports go.
        InstallScenario scenario({}, "http://127.0.0.1:9/rekol/report");
        ASSERT_TRUE(scenario.serveProduct());
        const InstallerRun run = runSilent(scenario);
        EXPECT_EQ(run.exitStatus, SilentInstall::Installed) << run.err.toStdString();
    }
    {
        InstallScenario scenario({"--rekol-hang"});
        ASSERT_TRUE(scenario.serveProduct());
        const InstallerRun run = runSilent(scenario);
        EXPECT_EQ(run.exitStatus, SilentInstall::Installed) << run.err.toStdString();
        // Two posters, each waited for at most 15 seconds, side by side.
        EXPECT_GE(run.exitMillis, 14000);
        EXPECT_LT(run.exitMillis, 15000 + 2000);
        EXPECT_EQ(run.log.count("still tasks uncompleted after timeout"), 2)
            << run.log.toStdString();
        EXPECT_EQ(run.out.count("sending the last reports…"), 1);
    }
}

TEST(SilentInstall, BadUsageAndConfigurationAreRefused) {
    SKIP_WITHOUT_LINUX_TOOLS();
    QProcess installer;
    installer.start(LUMADOC_INSTALLER_EXE, {"--silent", "--bogus"});
    ASSERT_TRUE(installer.waitForFinished(10000));
    EXPECT_EQ(installer.exitCode(), SilentInstall::BadUsage);

    InstallScenario scenario;
    QProcessEnvironment env = scenario.environment();
    env.insert("LUMADOC_DOWNLOAD_BASE_URL", "http://bad host:80");
    // A binary without its data files says so once, and runs without telemetry.
    const QString noData = sandbox::root() + "/no-data";
    QDir().mkpath(noData);
    env.insert("LUMADOC_RESOURCE_DIR", noData);
    installer.setProcessEnvironment(env);
    installer.start(LUMADOC_INSTALLER_EXE, {"--silent"});
    ASSERT_TRUE(installer.waitForFinished(30000));
    EXPECT_EQ(installer.exitCode(), SilentInstall::BadUsage);
    const QString err = QString::fromUtf8(installer.readAllStandardError());
    const QString missing = "telemetry disabled: qctrl.dat not found in " + noData + "\n";
    EXPECT_EQ(err.count(missing), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("bad download address")) << err.toStdString();
    EXPECT_FALSE(err.contains("Invalid productId")) << err.toStdString();
    EXPECT_EQ(lastRun(defaultLogPath()).count(missing), 1);

    // --verbose: the log's lines on standard error too.
    installer.start(LUMADOC_INSTALLER_EXE, {"--silent", "--verbose"});
    ASSERT_TRUE(installer.waitForFinished(30000));
    const QString verbose = QString::fromUtf8(installer.readAllStandardError());
    EXPECT_EQ(verbose.count(missing), 1) << verbose.toStdString();
    EXPECT_TRUE(verbose.contains("Invalid productId")) << verbose.toStdString();
}

TEST(SilentInstall, OnlyAPackageThatPassesVerificationIsInstalled) {
    SKIP_WITHOUT_LINUX_TOOLS();
    QTemporaryDir keys;
    const QString publicKey = DevServer::makeKeyPair(keys.path());
    ASSERT_FALSE(publicKey.isEmpty());
    QProcessEnvironment withKey;
    withKey.insert("LUMADOC_PACKAGE_PUBLIC_KEY", publicKey);
    const QStringList signing = {"--sign-key", keys.filePath("package-key.pem"),
                                 "--manifest-version", "3.2.1"};
    {
        SCOPED_TRACE("signed");
        InstallScenario scenario(signing);
        ASSERT_TRUE(scenario.serveProduct("3.2.1"));
        scenario.installPrevious("1.0.0");
        const InstallerRun run = runSilent(scenario, 90000, withKey);
        ASSERT_EQ(run.exitStatus, SilentInstall::Installed) << run.err.toStdString();
        EXPECT_TRUE(run.log.contains("package verified")) << run.log.toStdString();
        EXPECT_TRUE(readFile(sandbox::applicationsDir() + "/Lumadoc.app/Contents/Info.plist")
                        .contains("3.2.1"));
    }

    struct Case {
        QStringList options;
        const char* reason;
    };
    const Case cases[] = {
        {{"--no-signature"}, "unsigned"},
        {{"--manifest-wrong-file"}, "wrong file"},
        {{"--manifest-expires", "2020-01-01T00:00:00Z"}, "expired"},
        {{"--manifest-version", "0.9"}, "older than installed"},
        {{"--lie-length", "10"}, "wrong size"},
        {{"--tamper-body"}, "wrong hash"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        InstallScenario scenario(signing + c.options);
        ASSERT_TRUE(scenario.serveProduct("3.2.1"));
        const QString previous = scenario.installPrevious("1.0.0");
        const auto before = snapshotTree(previous);
        const InstallerRun run = runSilent(scenario, 90000, withKey);
        EXPECT_EQ(run.exitStatus, SilentInstall::DownloadFailed) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QString("the package failed verification: ") + c.reason))
            << run.err.toStdString();
        EXPECT_EQ(snapshotTree(previous), before);
        EXPECT_TRUE(QDir(sandbox::tempDir()).entryList({"lumadoc-*"}, QDir::Dirs).isEmpty());
    }

    SCOPED_TRACE("signed with another key");
    QTemporaryDir otherKeys;
    ASSERT_FALSE(DevServer::makeKeyPair(otherKeys.path()).isEmpty());
    InstallScenario scenario({"--sign-key", otherKeys.filePath("package-key.pem")});
    ASSERT_TRUE(scenario.serveProduct("3.2.1"));
    const InstallerRun run = runSilent(scenario, 90000, withKey);
    EXPECT_EQ(run.exitStatus, SilentInstall::DownloadFailed);
    EXPECT_TRUE(run.err.contains("the package failed verification: bad signature"))
        << run.err.toStdString();
}

TEST(SilentInstall, ACutDownloadIsResumedAndTheInstalledTreeIsComplete) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario({"--fail-first", "1", "--drop-after", "1500000"});
    ASSERT_TRUE(scenario.serveProduct("3.2.1", 3 * 1024 * 1024));
    const InstallerRun run = runSilent(scenario);
    ASSERT_EQ(run.exitStatus, SilentInstall::Installed) << run.err.toStdString();
    EXPECT_TRUE(run.log.contains("Resuming download at byte")) << run.log.toStdString();

    QStringList ranges;
    for (const QJsonObject& request : scenario.server().requests())
        ranges << request["range"].toString();
    EXPECT_EQ(ranges.filter(QRegularExpression("^bytes=\\d+-$")).size(), 1)
        << ranges.join(", ").toStdString();

    // The installed tree is the product's, byte for byte.
    QTemporaryDir reference;
    FakeProduct::Options product;
    product.markerPath = scenario.markerPath();
    product.payloadBytes = 3 * 1024 * 1024;
    const QString expected = FakeProduct::write(reference.path(), product);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(snapshotTree(sandbox::applicationsDir() + "/Lumadoc.app"), snapshotTree(expected));
}

TEST(SilentInstall, AQuietServerIsAnnouncedAndTheProgressComesBack) {
    SKIP_WITHOUT_LINUX_TOOLS();
    // Four seconds past the ten-second mark, so a loaded machine still sees it.
    InstallScenario scenario({"--stall-after", "100000", "--stall-for", "14000"});
    ASSERT_TRUE(scenario.serveProduct());
    const InstallerRun run = runSilent(scenario);
    ASSERT_EQ(run.exitStatus, SilentInstall::Installed) << run.err.toStdString();
    EXPECT_EQ(run.out.count("waiting for the server…"), 1) << run.out.toStdString();
    const QString after = run.out.mid(run.out.indexOf("waiting for the server…"));
    EXPECT_TRUE(after.contains(QRegularExpression("\\n\\[#*-*\\] "))) << after.toStdString();
}
