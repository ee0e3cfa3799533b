#include "flow/Config.h"
#include "flow/Enums.h"
#include "flow/Globals.h"
#include "platform/Log.h"
#include "support/Sandbox.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

TEST(Vocabulary, RawValuesAndConstructionFromRaw) {
    EXPECT_EQ(installPointFromRaw(9), ENUMInstallPoint::applicationStart);
    EXPECT_EQ(installPointFromRaw(0), ENUMInstallPoint::nonePoint);
    EXPECT_FALSE(installPointFromRaw(10));
    EXPECT_FALSE(installPointFromRaw(-1));

    EXPECT_EQ(rawValue(kInstallClicks[10]), 21);
    EXPECT_EQ(rawValue(kInstallClicks[14]), 33);
    EXPECT_EQ(installClickFromRaw(33), ENUMInstallClick::reinstall);
    EXPECT_FALSE(installClickFromRaw(10));
    EXPECT_FALSE(installClickFromRaw(34));

    EXPECT_EQ(kInstallResultRawValues[25], 26);
    EXPECT_EQ(kInstallResultRawValues[26], 100);
    EXPECT_EQ(kInstallResultRawValues[27], 200);
    EXPECT_EQ(installResultFromRaw(100), ENUMInstallResult::interfaceShown);
    EXPECT_EQ(installResultFromRaw(7), ENUMInstallResult::unused7);
    EXPECT_FALSE(installResultFromRaw(0));
    EXPECT_FALSE(installResultFromRaw(27));
    EXPECT_EQ(casePosition(ENUMInstallResult::unused200), 27);
    EXPECT_EQ(casePosition(ENUMInstallResult::installSuccess), 0);
    // Every raw value maps back to the case at its own position.
    for (std::size_t i = 0; i < kInstallResultRawValues.size(); ++i)
        EXPECT_EQ(casePosition(*installResultFromRaw(kInstallResultRawValues[i])), int(i));
}

TEST(Vocabulary, DefaultsOfSharedState) {
    EXPECT_EQ(g_installerStatus.load(), INSTALLER_STATUS::Prepare_to_download);
    EXPECT_EQ(reporterBlock(), ReportBlock{});
    EXPECT_EQ(MacInstallReportBlock{}.installPoint, ENUMInstallPoint::nonePoint);
    EXPECT_TRUE(userProtocolUrl().endsWith("/terms/member-service-agreement"));
    EXPECT_EQ(QString(REKOL_3RD_DEFAULT_REPORTER_ID).size(), 32);
}

TEST(Vocabulary, CommonFilePathIsComputedOnceAcrossThreads) {
    QStringList lines;
    std::mutex linesMutex;
    setLogSink([&](const QString& line) {
        std::lock_guard lock(linesMutex);
        lines << line;
    });
    const std::optional<QString>* seen[2] = {};
    std::thread a([&] { seen[0] = &g_commonFilePath(); });
    std::thread b([&] { seen[1] = &g_commonFilePath(); });
    a.join();
    b.join();
    setLogSink({});

    EXPECT_EQ(seen[0], seen[1]);
    ASSERT_TRUE(g_commonFilePath().has_value());
    EXPECT_EQ(*g_commonFilePath(), sandbox::home() + "/.local/share/Lumadoc/reg/common.ini");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], "get appDataPath " + sandbox::home() + "/.local/share/Lumadoc");
}

TEST(Config, EnvironmentOverridesAndTrailingSlashes) {
    qputenv("LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:8080/");
    qputenv("LUMADOC_RESOURCE_DIR", "/somewhere/res");
    qunsetenv("LUMADOC_APPLICATIONS_DIR");
    const Config c = Config::fromEnvironment();
    EXPECT_EQ(c.downloadBaseUrl, "http://127.0.0.1:8080");
    EXPECT_EQ(c.resourcePath("qfmt.dat"), "/somewhere/res/qfmt.dat");
    EXPECT_EQ(c.applicationsDir, "/Applications");
}
