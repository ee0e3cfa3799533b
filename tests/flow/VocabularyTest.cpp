#include "base/Config.h"
#include "base/Globals.h"
#include "support/LogCapture.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QScopeGuard>
#include <QStringList>
#include <gtest/gtest.h>
#include <thread>

TEST(Vocabulary, CommonFilePathIsComputedOnceAcrossThreads) {
    LogCapture log;
    std::thread a([] { g_commonFilePath(); });
    std::thread b([] { g_commonFilePath(); });
    a.join();
    b.join();
    EXPECT_EQ(g_commonFilePath(), sandbox::dataDir() + "/Lumadoc/reg/common.ini");
    EXPECT_EQ(log.lines(), QStringList{"get appDataPath " + sandbox::dataDir() + "/Lumadoc"});
}

// (The default applications folder is the silent install's to check.)
TEST(Config, EnvironmentOverridesAndTrailingSlashes) {
    // The sandbox's values come back for the tests after this one.
    const char* names[] = {"LUMADOC_DOWNLOAD_BASE_URL", "LUMADOC_RESOURCE_DIR",
                           "LUMADOC_APPLICATIONS_DIR"};
    QByteArrayList saved;
    for (const char* name : names)
        saved << qgetenv(name);
    const auto restore = qScopeGuard([&] {
        for (int i = 0; i < 3; ++i)
            qputenv(names[i], saved[i]);
    });
    qputenv(names[0], "http://127.0.0.1:8080/");
    qputenv(names[1], "/somewhere/res");
    // A relative folder is the working folder's: the same for the product, a later
    // run's recovery and the result line, wherever they start.
    qputenv(names[2], "staging/Applications/");
    const Config c = Config::fromEnvironment();
    EXPECT_EQ(c.downloadBaseUrl, "http://127.0.0.1:8080");
    EXPECT_EQ(c.resourcePath("qfmt.dat"), "/somewhere/res/qfmt.dat");
    EXPECT_EQ(c.applicationsDir, QDir::currentPath() + "/staging/Applications");
}
