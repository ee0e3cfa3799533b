#include "ShellEnvironment.h"

#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"

#include <QTest>
#include <gtest/gtest.h>
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
    for (const QJsonObject& entry : g_scenario->server().telemetry()) {
        const QJsonObject data = entry.value("data").toObject();
        list.append({entry.value("table").toString(), data.value("properties").toObject(),
                     data.value("#time").toString()});
    }
    return list;
}

namespace {
// The index in `seen` of each expected report (each used once); empty when one is missing.
QList<qsizetype> findAll(const QList<Report>& seen, const QList<Match>& expected) {
    QList<qsizetype> found;
    for (const Match& wanted : expected) {
        qsizetype i = 0;
        while (i < seen.size() && (found.contains(i) || !wanted(seen[i])))
            ++i;
        if (i == seen.size())
            return {};
        found << i;
    }
    return found;
}
} // namespace

bool waitForReportsInOrder(qsizetype from, const QList<Match>& expected, int timeoutMs) {
    if (!waitForReports(from, expected, timeoutMs))
        return false;
    const QList<Report> seen = reports().mid(from);
    const QList<qsizetype> at = findAll(seen, expected);
    for (qsizetype i = 1; i < at.size(); ++i) {
        // Reports of one reporter within the same millisecond arrive in the order sent.
        const Report &before = seen[at[i - 1]], &after = seen[at[i]];
        if (before.time > after.time ||
            (before.time == after.time && before.table == after.table && at[i - 1] > at[i])) {
            ADD_FAILURE() << "report " << i << " of the expected order came before report " << i - 1
                          << " (" << after.time.toStdString() << " < " << before.time.toStdString()
                          << ")";
            return false;
        }
    }
    return true;
}

bool waitForReports(qsizetype from, const QList<Match>& expected, int timeoutMs) {
    return QTest::qWaitFor(
        [&] { return findAll(reports().mid(from), expected).size() == expected.size(); },
        timeoutMs);
}

QList<Report> settledReportsSince(qsizetype from) {
    Reporter::getInstance().ensureClearWaitingPackage();
    MacInstallReporter::getInstance().ensureClearWaitingPackage();
    QTest::qWait(50);
    return reports().mid(from);
}

} // namespace shell
