#include "ShellEnvironment.h"

#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace shell {
namespace {

struct Servers {
    DevServer telemetry;
    DevServer packages{{"--stall-after", "0"}};
    QTemporaryDir resources;
};
std::unique_ptr<Servers> g_servers;

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        g_servers = std::make_unique<Servers>();
        ASSERT_TRUE(g_servers->telemetry.isRunning());
        ASSERT_TRUE(g_servers->packages.isRunning());
        const QByteArray package(3 << 20, 'p');
        g_servers->packages.addPackage("lumadoc_x86_64.dmg", package);
        g_servers->packages.addPackage("lumadoc_arm64.dmg", package);

        // The shipped data files, with every server pointing at the devserver.
        const QDir dir(g_servers->resources.path());
        ASSERT_TRUE(
            QFile::copy(LUMADOC_SOURCE_DIR "/resources/data/qfmt.dat", dir.filePath("qfmt.dat")));
        QFile shipped(LUMADOC_SOURCE_DIR "/resources/data/qctrl.dat");
        ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
        QByteArray control = shipped.readAll();
        control.replace("https://rekol.lumadoc.com", g_servers->telemetry.baseUrl().toUtf8());
        QFile out(dir.filePath("qctrl.dat"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(control);
        out.close();

        // Read once, at the first report or download; no test has run one yet.
        qputenv("LUMADOC_RESOURCE_DIR", dir.path().toLocal8Bit());
        qputenv("LUMADOC_DOWNLOAD_BASE_URL", g_servers->packages.baseUrl().toLocal8Bit());
    }
    void TearDown() override { g_servers.reset(); }
};

const auto* g_environment = ::testing::AddGlobalTestEnvironment(new Environment);

} // namespace

DevServer& telemetryServer() {
    return g_servers->telemetry;
}

DevServer& stalledPackageServer() {
    return g_servers->packages;
}

QString resourceDir() {
    return g_servers->resources.path();
}

bool Report::isPlain(int result) const {
    return table == "vexa_tools_install" && value("reason") == result;
}

bool Report::isClick(int click) const {
    return table == "vexa_lmdoc_mac_install" && value("click") == click;
}

bool Report::isPoint(int point, int click) const {
    return table == "vexa_lmdoc_mac_install" && value("point") == point && value("click") == click;
}

QList<Report> reports() {
    QList<Report> list;
    for (const QJsonObject& entry : telemetryServer().telemetry()) {
        const QJsonObject data = entry.value("data").toObject();
        list.append({entry.value("table").toString(), data.value("properties").toObject()});
    }
    return list;
}

namespace {
bool allFound(const QList<Report>& seen,
              const QList<std::function<bool(const Report&)>>& expected) {
    QList<bool> used(seen.size(), false);
    for (const auto& wanted : expected) {
        bool found = false;
        for (qsizetype i = 0; i < seen.size() && !found; ++i) {
            if (!used[i] && wanted(seen[i]))
                used[i] = found = true;
        }
        if (!found)
            return false;
    }
    return true;
}
} // namespace

bool waitForReports(qsizetype from, const QList<std::function<bool(const Report&)>>& expected,
                    int timeoutMs) {
    return QTest::qWaitFor([&] { return allFound(reports().mid(from), expected); }, timeoutMs);
}

QList<Report> settledReportsSince(qsizetype from) {
    Reporter::getInstance().ensureClearWaitingPackage();
    MacInstallReporter::getInstance().ensureClearWaitingPackage();
    QTest::qWait(50);
    return reports().mid(from);
}

} // namespace shell
