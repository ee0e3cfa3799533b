// The wizard's logic without a window: a real devserver, real images, real
// installs into the sandbox. The animation timer is slowed to an hour so the
// tests tick it by hand.

#include "flow/InstallFlow.h"
#include "base/Globals.h"
#include "support/Files.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"
#include "support/LogCapture.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// The window's part: counts the endings and records the resizes.
struct HostLog {
    int terminated = 0;
    QList<QSize> resizes;
    InstallFlow::Host host() {
        return {[this] { ++terminated; }, [this](int w, int h) { resizes << QSize(w, h); }, {}, {}};
    }
};
const InstallFlow::Options kManualTicks{.animationInterval = 1h, .retryPause = 100ms};

bool waitFor(const std::function<bool()>& condition, int ms = 20000) {
    return QTest::qWaitFor(condition, ms);
}
bool reaches(const InstallFlow& flow, INSTALLER_STATUS status) {
    return waitFor([&] { return flow.installerStatus() == status; });
}

} // namespace

TEST(InstallFlow, ProgressNeverMovesBackAndTheRemainingTimeNeverRises) {
    InstallScenario scenario;
    scenario.applyToThisProcess();
    HostLog log;
    InstallFlow flow(log.host(), kManualTicks);

    const std::tuple<qint64, qint64, double, qint64, double> steps[] = {
        {5, 0, -1.0, 0, 0}, // no size known yet: no fraction
        {10, 100, 90.7, 90, 0.08},
        {20, 100, 95.0, 90, 0.16}, // a higher estimate is not shown
        {30, 100, 60.2, 60, 0.24},
        {25, 90, 50.0, 50, 0.24}, // a step backwards keeps the counters
        {40, 100, std::nan(""), 50, 0.32},
        {100, 100, 0.0, 0, 0.8}, // whole: the install phase, while still downloading
    };
    for (const auto& [received, expected, seconds, remain, progress] : steps) {
        flow.onProgress(received, expected, seconds);
        EXPECT_EQ(flow.remainTime(), remain);
        EXPECT_NEAR(flow.progress(), progress, 1e-12);
    }
}

// A large application keeps the install busy while the animation runs out.
TEST(InstallFlow, FreshInstallHoldsTheAnimationForALateResultAndWritesTheChoices) {
    SKIP_WITHOUT_LINUX_TOOLS();
    InstallScenario scenario;
    ASSERT_TRUE(scenario.serveProduct("3.2.1", 64 * 1024 * 1024));
    scenario.applyToThisProcess();
    HostLog log;
    InstallFlow flow(log.host(), kManualTicks);

    // One choice kept, the other changed: each lands in its own key.
    flow.setExpanded(true);
    flow.userProfileModel().setAssotiateOFD(false);
    bool heldWhileInstalling = false;
    QObject::connect(&flow, &InstallFlow::statusChanged, [&](INSTALLER_STATUS status) {
        if (status != INSTALLER_STATUS::Installing)
            return;
        EXPECT_EQ(flow.progress(), 0.8);
        EXPECT_TRUE(flow.isAnimating());
        // The install runs on the download's queue; its result can only land
        // after this slot returns.
        for (int tick = 0; tick < 15; ++tick)
            flow.animationTick();
        heldWhileInstalling = flow.installerStatus() == INSTALLER_STATUS::Installing &&
                              flow.progress() > 0.98 && !flow.installerStatusToChange();
    });
    flow.pressInstall();
    flow.pressInstall(); // a second press is ignored
    // Only the success path ends the run.
    ASSERT_TRUE(waitFor([&] { return log.terminated == 1; }, 60000));
    EXPECT_TRUE(heldWhileInstalling);
    EXPECT_FALSE(flow.isExpanded());
    EXPECT_EQ(log.resizes, QList<QSize>({{680, 492}, {680, 436}}));

    const QByteArray settings = readFile(scenario.settingsPath());
    for (const char* line : {"\nsetDefault=1\n", "\nsetOfdDefault=0\n", "\nengageService=1\n"})
        EXPECT_TRUE(settings.contains(line)) << line;
    EXPECT_TRUE(QFile::exists(sandbox::applicationsDir() + "/Lumadoc.app/Contents/Info.plist"));
}

// Every plain report the flow sends: installtype is 1 only for the decline of an
// overwrite installation (result 2), silent is 0 in the window; result 100 sends 3
// for both. The failures and the reinstall run once, on the overwrite installation.
TEST(InstallFlow, PlainReportsCarryTheWrittenFlagsAndAFailedInstallCanBeReinstalled) {
    SKIP_WITHOUT_LINUX_TOOLS();
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwrite installation" : "fresh installation");
        QDir(sandbox::applicationsDir() + "/Lumadoc.app").removeRecursively(); // earlier installs
        InstallScenario scenario;
        scenario.serveRaw(QByteArray(3 * 1024 * 1024, 'x')); // not a disk image
        if (overwrite) {
            ASSERT_FALSE(scenario.installPrevious("1.0.0").isEmpty());
        }
        scenario.applyToThisProcess();
        HostLog log;
        {
            InstallFlow declined(log.host(), kManualTicks);
            EXPECT_EQ(declined.isOverwriteInstallation(), overwrite);
            EXPECT_EQ(declined.isShowDragBtn(), !overwrite);
            declined.disagree();
        }
        QStringList expected = {"100:3:3", overwrite ? "2:1:0" : "3:0:0"};
        if (overwrite) {
            InstallFlow flow(log.host(), kManualTicks);
            // Two failed downloads, the automatic retry included; then the user's retry.
            const QString served = downloadUrl;
            downloadUrl = "http://127.0.0.1:9/mac/dl/lumadoc_x86_64.dmg"; // nothing listens there
            flow.pressInstall();
            ASSERT_TRUE(reaches(flow, INSTALLER_STATUS::Download_failed));
            downloadUrl = served;
            flow.retryDownload();
            ASSERT_TRUE(waitFor([&] { return flow.installerStatusToChange().has_value(); }));
            EXPECT_EQ(*flow.installerStatusToChange(), INSTALLER_STATUS::Install_failed);
            // The result shows on the animation's tenth tick.
            for (int tick = 1; tick <= 9; ++tick)
                flow.animationTick();
            EXPECT_EQ(flow.installerStatus(), INSTALLER_STATUS::Installing);
            flow.animationTick();
            EXPECT_EQ(flow.installerStatus(), INSTALLER_STATUS::Install_failed);
            EXPECT_FALSE(flow.isAnimating());

            // Put a good image where the download left the bad one, then reinstall.
            ASSERT_TRUE(scenario.serveProduct("3.2.1"));
            const QString package = *flow.downloadDmgPath();
            ASSERT_TRUE(QFile::remove(package));
            ASSERT_TRUE(
                QFile::copy(scenario.server().packageDir() + "/lumadoc_x86_64.dmg", package));
            flow.reinstallClicked();
            EXPECT_EQ(flow.installerStatus(), INSTALLER_STATUS::Installing);
            EXPECT_EQ(flow.progress(), 1.0);
            flow.reinstallClicked(); // ignored: one install at a time
            flow.animationTick();    // held: the install has not returned
            EXPECT_EQ(flow.installerStatus(), INSTALLER_STATUS::Installing);
            ASSERT_TRUE(waitFor([&] { return log.terminated == 2; })); // the success path
            expected << QString("1:0:0 100:3:3 21:0:0 23:0:0 24:0:0 25:0:0 26:0:0").split(' ');
        }

        ASSERT_TRUE(scenario.server().waitForTelemetry(overwrite ? 22 : 4, 10000));
        QStringList plain; // result:installtype:silent
        for (const QJsonObject& report : scenario.reports()) {
            const QJsonObject p = report["data"].toObject()["properties"].toObject();
            if (report["table"] == "vexa_tools_install")
                plain << QString::asprintf("%d:%d:%d", p["reason"].toInt(),
                                           p["installtype"].toInt(), p["silent"].toInt());
        }
        plain.sort();
        expected.sort();
        EXPECT_EQ(plain, expected);
    }
}

TEST(InstallFlow, DownloadFailuresRetryOnceThenWaitForTheUser) {
    SKIP_WITHOUT_LINUX_TOOLS();
    // Each attempt is cut after 1.4 MiB more: the failed screen shows what arrived.
    InstallScenario scenario({"--drop-after", "1500000"});
    ASSERT_TRUE(scenario.serveProduct("3.2.1", 8 << 20));
    scenario.applyToThisProcess();
    HostLog log;
    LogCapture lines;
    InstallFlow flow(log.host(), kManualTicks);

    flow.pressInstall();
    ASSERT_TRUE(reaches(flow, INSTALLER_STATUS::Download_failed));
    EXPECT_EQ(lines.lines().filter("fnDownload").size(), 2); // the first try and the automatic one
    EXPECT_GE(flow.totalDownloaded(), 1);

    // The manual retry resets the counters; after it a failure is final at once.
    flow.retryDownload();
    EXPECT_EQ(flow.installerStatus(), INSTALLER_STATUS::Downloading);
    flow.retryDownload(); // a double click's second half: already downloading, ignored
    EXPECT_EQ(flow.totalDownloaded(), 0);
    EXPECT_EQ(flow.progress(), 0.0);
    ASSERT_TRUE(reaches(flow, INSTALLER_STATUS::Download_failed));
    EXPECT_EQ(lines.lines().filter("fnDownload").size(), 3);
    // The time on the failed screen is the user's, not the second download's.
    QStringList phases;
    for (const QString& line : lines.lines().filter(QRegularExpression("^phase ")))
        phases << line.section(' ', 1, 1);
    EXPECT_EQ(phases.join(' ').toStdString(),
              "start-screen startup download download download-failed-screen download");
}
