// The real installer against servers, files and limits that lie: a resumed
// download never splices two files, an extraction never fills the disk, and
// each failure's line names its cause.
#include "flow/SilentInstall.h"
#include "support/InstallScenario.h"
#include "support/Leftovers.h"
#include "support/LinuxTools.h"
#include "support/ProgramRun.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QRegularExpression>
#include <cstdio>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/resource.h>

namespace {

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

TEST(Cause, AResumedDownloadContinuesOnlyTheSameFile) {
    SKIP_WITHOUT_LINUX_TOOLS();
    struct Case {
        const char* rangeReply;  // nullptr: the server keeps to the range asked for
        bool replaced;           // the file on the server changes between the two requests
        const char* noTelemetry; // a variable set to 1 that turns telemetry off, or nullptr
    };
    for (const Case& c :
         {Case{nullptr, false, "DO_NOT_TRACK"},
          Case{"ignore-if-range", true, "LUMADOC_NO_TELEMETRY"},
          Case{"no-validator", false, nullptr}, Case{"wrong-start", false, nullptr}}) {
        SCOPED_TRACE(c.rangeReply ? c.rangeReply : "resumed");
        QDir(installedApp()).removeRecursively();
        QStringList options = {"--fail-first", "1", "--drop-after", "1500000"};
        if (c.rangeReply)
            options << "--range-reply" << c.rangeReply;
        InstallScenario scenario(options);
        const QString dir = scenario.server().packageDir();
        const QString held = sandbox::root() + "/held";
        QDir(held).removeRecursively();
        QDir().mkpath(held);
        ASSERT_TRUE(scenario.serveProduct("3.3.0", 3 * 1024 * 1024));
        for (const char* image : {"/lumadoc_x86_64.dmg", "/lumadoc_arm64.dmg"})
            ASSERT_TRUE(QFile::rename(dir + image, held + image));
        ASSERT_TRUE(scenario.serveProduct("3.2.1", 3 * 1024 * 1024));

        bool swapped = !c.replaced;
        const auto swapBeforeTheRetry = [&](QProcess&, const QString&) {
            if (swapped || scenario.server().packageRequests().isEmpty())
                return;
            // Between the cut and the retry, two seconds later.
            for (const char* image : {"/lumadoc_x86_64.dmg", "/lumadoc_arm64.dmg"})
                std::rename(QFile::encodeName(held + image).constData(),
                            QFile::encodeName(dir + image).constData());
            swapped = true;
        };
        QProcessEnvironment env = scenario.environment();
        if (c.noTelemetry)
            env.insert(c.noTelemetry, "1");
        const ProgramRun run = runInstaller(env, {"--silent"}, {{}, swapBeforeTheRetry});
        ASSERT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
        stopProduct();
        if (c.noTelemetry) {
            EXPECT_TRUE(scenario.telemetryOff(run, QString(c.noTelemetry) + "=1"));
        }
        // The installed tree is the product's, byte for byte.
        EXPECT_EQ(snapshotTree(installedApp()),
                  snapshotTree(scenario.servedApp(c.replaced ? "3.3.0" : "3.2.1")));
        const QList<QJsonObject> requests = scenario.server().packageRequests();
        ASSERT_GE(requests.size(), 2);
        if (c.rangeReply) {
            EXPECT_TRUE(run.log.contains("starting again from zero")) << run.log.toStdString();
            EXPECT_EQ(requests.last()["range"].toString(), "");
            continue;
        }
        // The retry asks for the rest: from the first byte the cut kept from it.
        EXPECT_TRUE(run.log.contains("Resuming download at byte")) << run.log.toStdString();
        EXPECT_EQ(requests.last()["range"].toString(),
                  QString("bytes=%1-").arg(requests.first()["sent"].toInteger()));
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
        QString cause;            // a pattern on standard error
        QStringList reports = {}; // sent once each, with no result 1
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
        {"bytes that are no image",
         {},
         [](InstallScenario& s, QProcessEnvironment&) { s.serveRaw(QByteArray(2 << 20, '\x5a')); },
         {},
         SilentInstall::InstallFailed,
         "the installation failed",
         {"result 25", "installFail"}},
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
        const ProgramRun run = runInstaller(env, {"--silent"}, {c.inChild, {}});
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QRegularExpression(c.cause))) << run.err.toStdString();
        EXPECT_EQ(snapshotTree(previous), before);
        EXPECT_EQ(leftovers().join(", ").toStdString(), "");
        if (c.reports.isEmpty())
            continue;
        ASSERT_TRUE(scenario.server().waitForTelemetry(8, 10000));
        const QStringList got = scenario.labels();
        for (const QString& label : c.reports)
            EXPECT_EQ(got.count(label), 1) << label.toStdString();
        EXPECT_EQ(got.count("result 1"), 0);
    }
    if (smallDisk)
        unmountTmpfs(smallTmp);
}
