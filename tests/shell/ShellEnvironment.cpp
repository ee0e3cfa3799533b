#include "ShellEnvironment.h"

#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"

#include <QTest>
#include <memory>

namespace shell {
namespace {

std::unique_ptr<InstallScenario> g_scenario;

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        g_scenario = std::make_unique<InstallScenario>(QStringList{"--stall-after", "0"});
        ASSERT_TRUE(g_scenario->server().isRunning());
        g_scenario->serveRaw(QByteArray(3 << 20, 'p'));
        // Read once, at the first report or download; no test has run one yet.
        g_scenario->applyToThisProcess();
    }
    void TearDown() override { g_scenario.reset(); }
};

const auto* g_environment = ::testing::AddGlobalTestEnvironment(new Environment);

} // namespace

InstallScenario& scenario() {
    return *g_scenario;
}

QStringList reports() {
    QStringList labels;
    for (const QJsonObject& entry : g_scenario->server().telemetry()) {
        QString label = InstallScenario::label(entry);
        const QJsonObject p = entry["data"].toObject()["properties"].toObject();
        if (p["click"].toInt() != 0 && (p["result"].toInt() != 0 || p["reason"].toInt() != 0))
            label += QString(" (%1/%2)").arg(p["result"].toInt()).arg(p["reason"].toInt());
        labels << label;
    }
    return labels;
}

bool waitForReports(qsizetype from, const QStringList& expected, int timeoutMs) {
    return QTest::qWaitFor(
        [&] {
            QStringList seen = reports().mid(from);
            return std::all_of(expected.begin(), expected.end(),
                               [&](const QString& label) { return seen.removeOne(label); });
        },
        timeoutMs);
}

QStringList settledReportsSince(qsizetype from) {
    Reporter::getInstance().ensureClearWaitingPackage();
    MacInstallReporter::getInstance().ensureClearWaitingPackage();
    QTest::qWait(50);
    return reports().mid(from);
}

} // namespace shell
