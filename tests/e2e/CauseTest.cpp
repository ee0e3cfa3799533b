// The real installer against servers, files and limits that lie: a resumed
// download never splices two files, an extraction never fills the disk, and
// each failure's line names its cause.
#include "flow/SilentInstall.h"
#include "install/ProductPaths.h"
#include "platform/LinuxCommands.h"
#include "support/Files.h"
#include "support/InstallScenario.h"
#include "support/Leftovers.h"
#include "support/LinuxTools.h"
#include "support/Sandbox.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/resource.h>

namespace {

struct InstallerRun {
    int status = -1;
    QString err;
    QString log; // this run's part of the log file
};

InstallerRun runSilent(const QProcessEnvironment& env, const std::function<void()>& inChild = {},
                       const std::function<void(const QProcess&)>& whileRunning = {}) {
    QProcess installer;
    installer.setProcessEnvironment(env);
    if (inChild)
        installer.setChildProcessModifier(inChild);
    installer.start(LUMADOC_INSTALLER_EXE, {"--silent"});
    InstallerRun run;
    if (!installer.waitForStarted())
        return run;
    while (!installer.waitForFinished(50))
        if (whileRunning)
            whileRunning(installer);
    run.status = installer.exitStatus() == QProcess::NormalExit ? installer.exitCode() : -1;
    run.err = QString::fromUtf8(installer.readAllStandardError());
    const QString log =
        QString::fromUtf8(readFile(sandbox::home() + "/.local/state/lumadoc/installer.log"));
    run.log = log.mid(log.lastIndexOf("=== "));
    return run;
}

// A gzip stream named Lumadoc.app that expands to `bytes` zeros while its
// trailer, which 7-Zip lists, says 1 MiB.
QByteArray gzipBomb(qint64 bytes) {
    QProcess gzip;
    gzip.start("/bin/sh", {"-c", QString("head -c %1 /dev/zero | gzip -1").arg(bytes)});
    gzip.waitForFinished(60000);
    QByteArray stream = gzip.readAllStandardOutput();
    if (stream.size() < 18)
        return {};
    stream[3] = static_cast<char>(stream[3] | 0x08); // FNAME follows the header
    stream.insert(10, QByteArray("Lumadoc.app", 12));
    const quint32 listed = 1024 * 1024;
    for (int i = 0; i < 4; ++i)
        stream[stream.size() - 4 + i] = static_cast<char>((listed >> (8 * i)) & 0xff);
    return stream;
}

} // namespace

TEST(Cause, AResumedDownloadNeverSplicesTwoFiles) {
    SKIP_WITHOUT_LINUX_TOOLS();
    struct Case {
        const char* rangeReply;
        bool replaced; // the file on the server changes between the two requests
    };
    for (const Case& c :
         {Case{"ignore-if-range", true}, Case{"no-validator", false}, Case{"wrong-start", false}}) {
        SCOPED_TRACE(c.rangeReply);
        QDir(sandbox::applicationsDir() + "/Lumadoc.app").removeRecursively();
        InstallScenario scenario(
            {"--fail-first", "1", "--drop-after", "1500000", "--range-reply", c.rangeReply});
        const QString dir = scenario.server().packageDir();
        const QString held = sandbox::root() + "/held";
        QDir(held).removeRecursively();
        QDir().mkpath(held);
        ASSERT_TRUE(scenario.serveProduct("3.3.0", 3 * 1024 * 1024));
        for (const char* image : {"/lumadoc_x86_64.dmg", "/lumadoc_arm64.dmg"})
            ASSERT_TRUE(QFile::rename(dir + image, held + image));
        ASSERT_TRUE(scenario.serveProduct("3.2.1", 3 * 1024 * 1024));

        bool swapped = !c.replaced;
        const InstallerRun run = runSilent(scenario.environment(), {}, [&](const QProcess&) {
            if (swapped || scenario.server().packageRequests().isEmpty())
                return;
            // Between the cut and the retry, two seconds later.
            for (const char* image : {"/lumadoc_x86_64.dmg", "/lumadoc_arm64.dmg"})
                std::rename(QFile::encodeName(held + image).constData(),
                            QFile::encodeName(dir + image).constData());
            swapped = true;
        });
        ASSERT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
        EXPECT_TRUE(run.log.contains("starting again from zero")) << run.log.toStdString();
        EXPECT_EQ(snapshotTree(sandbox::applicationsDir() + "/Lumadoc.app"),
                  snapshotTree(scenario.servedApp(c.replaced ? "3.3.0" : "3.2.1")));
        const QList<QJsonObject> requests = scenario.server().packageRequests();
        ASSERT_FALSE(requests.isEmpty());
        EXPECT_EQ(requests.last()["range"].toString(), "");
    }
}

TEST(Cause, EachFailureNamesItsCause) {
    SKIP_WITHOUT_LINUX_TOOLS();
    const QString smallTmp = sandbox::root() + "/small-tmp";
    QDir().mkpath(smallTmp);
    const bool smallDisk = mountTmpfs(smallTmp, 1);
    struct Case {
        const char* name;
        QStringList serverOptions;
        std::function<void(InstallScenario&, QProcessEnvironment&)> setUp;
        std::function<void()> inChild;
        int status;
        QString cause; // a pattern on standard error
    };
    const QList<Case> cases = {
        {"an empty package",
         {},
         [](InstallScenario& s, QProcessEnvironment&) { s.serveRaw({}); },
         {},
         SilentInstall::InstallFailed,
         "the download is not a disk image: 0 bytes;"},
        {"a captive portal's page",
         {},
         [](InstallScenario& s, QProcessEnvironment&) {
             s.serveRaw("<!DOCTYPE html>\n<html><body>Sign in to the hotel network</body></html>");
         },
         {},
         SilentInstall::InstallFailed,
         "the download is not a disk image: it starts with `<!DOCTYPE html`;"},
        {"a disk bomb",
         {},
         [](InstallScenario& s, QProcessEnvironment&) { s.serveRaw(gzipBomb(512 << 20)); },
         {},
         SilentInstall::InstallFailed,
         "the disk image holds no usable Lumadoc.app \\(it unpacks to more than the \\d+ bytes it "
         "lists\\)"},
        {"a file size limit",
         {},
         [](InstallScenario& s, QProcessEnvironment&) { ASSERT_TRUE(s.serveProduct()); },
         [] {
             const rlimit limit{1 << 20, 1 << 20};
             ::setrlimit(RLIMIT_FSIZE, &limit);
         },
         SilentInstall::DownloadFailed,
         "cannot write \\S*package\\.dmg\\.part: File too large;"},
        {"a full temporary folder",
         {"--chunked"},
         [&](InstallScenario& s, QProcessEnvironment& env) {
             ASSERT_TRUE(s.serveProduct());
             env.insert("TMPDIR", smallTmp);
         },
         {},
         SilentInstall::DownloadFailed,
         "cannot write \\S*package\\.dmg\\.part: No space left on device;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (QString(c.name) == "a full temporary folder" && !smallDisk) {
            std::cout << "[ NOTE     ] a full temporary folder not tried: cannot mount a tmpfs\n";
            continue;
        }
        InstallScenario scenario(c.serverOptions);
        const QString previous = scenario.installPrevious("1.0.0");
        const auto before = snapshotTree(previous);
        QProcessEnvironment env = scenario.environment();
        c.setUp(scenario, env);
        const InstallerRun run = runSilent(env, c.inChild);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QRegularExpression(c.cause))) << run.err.toStdString();
        EXPECT_EQ(snapshotTree(previous), before);
        EXPECT_EQ(leftovers().join(", ").toStdString(), "");
    }
    if (smallDisk)
        unmountTmpfs(smallTmp);
}

TEST(Cause, AnotherInstallersProbeIsNotTheProduct) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct());
    // Another installer looking for the product at this very moment.
    const QString probe =
        LinuxCommands().findRunning(ProductPaths(sandbox::applicationsDir()).userPrograms());
    QProcess other;
    other.start("/bin/sh", {"-c", probe + "; sleep 60"});
    ASSERT_TRUE(other.waitForStarted());
    const InstallerRun run = runSilent(scenario.environment());
    other.kill();
    other.waitForFinished();
    EXPECT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
}
