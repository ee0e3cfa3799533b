#include "base/Config.h"
#include "base/Globals.h"
#include "support/LogCapture.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QStringList>
#include <gtest/gtest.h>
#include <thread>

TEST(Vocabulary, CommonFilePathIsComputedOnceAcrossThreads) {
    LogCapture log;
    const std::optional<QString>* seen[2] = {};
    std::thread a([&] { seen[0] = &g_commonFilePath(); });
    std::thread b([&] { seen[1] = &g_commonFilePath(); });
    a.join();
    b.join();

    EXPECT_EQ(seen[0], seen[1]);
    ASSERT_TRUE(g_commonFilePath().has_value());
    EXPECT_EQ(*g_commonFilePath(), sandbox::dataDir() + "/Lumadoc/reg/common.ini");
    EXPECT_EQ(log.lines(), QStringList{"get appDataPath " + sandbox::dataDir() + "/Lumadoc"});
}

TEST(Config, EnvironmentOverridesAndTrailingSlashes) {
    // The sandbox's values come back for the tests after this one.
    struct Restore {
        QByteArray download = qgetenv("LUMADOC_DOWNLOAD_BASE_URL");
        QByteArray resources = qgetenv("LUMADOC_RESOURCE_DIR");
        QByteArray applications = qgetenv("LUMADOC_APPLICATIONS_DIR");
        ~Restore() {
            qputenv("LUMADOC_DOWNLOAD_BASE_URL", download);
            qputenv("LUMADOC_RESOURCE_DIR", resources);
            qputenv("LUMADOC_APPLICATIONS_DIR", applications);
        }
    } restore;
    qputenv("LUMADOC_DOWNLOAD_BASE_URL", "http://127.0.0.1:8080/");
    qputenv("LUMADOC_RESOURCE_DIR", "/somewhere/res");
    qunsetenv("LUMADOC_APPLICATIONS_DIR");
    const Config c = Config::fromEnvironment();
    EXPECT_EQ(c.downloadBaseUrl, "http://127.0.0.1:8080");
    EXPECT_EQ(c.resourcePath("qfmt.dat"), "/somewhere/res/qfmt.dat");
#ifdef Q_OS_MACOS
    EXPECT_EQ(c.applicationsDir, "/Applications");
#else
    // No system-wide folder: the user's own, so an install needs no root.
    EXPECT_EQ(c.applicationsDir, QDir::homePath() + "/Applications");
#endif
}
