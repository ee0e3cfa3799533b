#include "reporting/Reporter.h"
#include "base/Globals.h"
#include "install/Installer.h"
#include "install/MacOSVersion.h"
#include "platform/SerialQueue.h"
#include "reporting/MacInstallReporter.h"
#include "support/LoopbackHttpServer.h"

#include <QJsonDocument>
#include <future>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString kDataDir = QStringLiteral(LUMADOC_SOURCE_DIR "/resources/data");

// A client on the shipped format file whose servers are the loopback server.
std::unique_ptr<QvRekolClient> clientFor(const LoopbackHttpServer& server) {
    return std::make_unique<QvRekolClient>(
        QvRekolControl::fromText("[common]\nproduct=502\nserver2=" + server.url("/rekol") + "\n"),
        QvRekolFormat::fromPath(kDataDir + "/qfmt.dat"), false);
}

// The payload of a posted form body "appid=…&data=<payload>&client=1".
QJsonObject postedPayload(const QByteArray& body) {
    const QByteArray head = QByteArray("appid=") + REKOL_3RD_DEFAULT_REPORTER_ID + "&data=";
    EXPECT_TRUE(body.startsWith(head) && body.endsWith("&client=1"));
    return QJsonDocument::fromJson(body.mid(head.size(), body.size() - head.size() - 9)).object();
}

// The payload's properties named, blank-separated.
QString values(const QJsonObject& payload, const QStringList& names) {
    QStringList out;
    for (const QString& name : names)
        out << payload["properties"][name].toVariant().toString();
    return out.join(' ');
}

// Checks what both reporters send alike; returns the payload.
QJsonObject checkCommon(const QString& payload, const QString& table, const ReportBlock& block) {
    EXPECT_FALSE(payload.contains('\n') || payload.contains(": ")); // compact
    const QJsonObject o = QJsonDocument::fromJson(payload.toUtf8()).object();
    EXPECT_EQ(o["#event_name"].toString() + ' ' + o["#type"].toString() + ' ' +
                  o["#account_id"].toString(),
              table + " track " + block.uuid);
    // UTC, to the millisecond.
    QDateTime sent = QDateTime::fromString(o["#time"].toString(), "yyyy-MM-dd HH:mm:ss.zzz");
    sent.setTimeSpec(Qt::UTC);
    EXPECT_LT(std::abs(sent.secsTo(QDateTime::currentDateTimeUtc())), 120) << payload.toStdString();
    EXPECT_EQ(values(o, {"tid1", "tid2", "tod1", "tod2", "iid", "tryno", "filever", "product_id",
                         "os", "language"}),
              QString("%1 %2 %3 %4 0 3201 1 502 %5 %6")
                  .arg(block.tid1)
                  .arg(block.tid2)
                  .arg(block.tod1)
                  .arg(block.tod2)
                  .arg(MacOSVersion::getMainOsVersion())
                  .arg(BaseReporter::currentLanguage()));
    EXPECT_TRUE(o["properties"]["countrycode"].isString());
    // Exactly the fields the shipped format defines for the table.
    static const QvRekolFormat format = QvRekolFormat::fromPath(kDataDir + "/qfmt.dat");
    QStringList fields = {"properties"};
    QStringList keys = o.keys() + o["properties"].toObject().keys();
    if (const TableFormat* defined = format.getTable(table))
        for (const auto& field : defined->getFields())
            fields << *field->keyName();
    fields.sort();
    keys.sort();
    EXPECT_EQ(fields, keys);
    return o;
}

ReportBlock filledBlock() {
    ReportBlock b;
    b.uuid = "0123456789abcdef0123456789abcdef";
    b.tid1 = 9007199254740993; // beyond a double's exact range
    b.tid2 = 2;
    b.tod1 = 3;
    b.tod2 = -4;
    return b;
}

} // namespace

TEST(Reporter, ResultTableDecidesResultSilentAndInstallType) {
    const struct {
        int raw;
        bool success, silent, cover;
        const char* resultSilentInstallType;
    } cases[] = {
        {1, false, false, false, "1 0 0"},       {1, false, true, true, "1 1 1"},
        {5, false, false, false, "0 0 0"},       {5, true, false, true, "1 0 1"},
        {21, true, true, false, "1 1 0"},        {23, false, false, false, "0 0 0"},
        {26, true, false, false, "1 0 0"},       {22, true, true, true, "3 200 200"},
        {100, false, false, false, "3 3 3"},     {100, true, true, true, "3 3 3"},
        {200, false, false, false, "3 200 200"},
    };
    LoopbackHttpServer server;
    Reporter reporter(clientFor(server));
    BaseReporter::setCurrentLanguage("de");
    for (const auto& c : cases) {
        SCOPED_TRACE("raw " + std::to_string(c.raw));
        // The block's own flags, the opposite here, never reach the report.
        ReportBlock block = filledBlock();
        block.bSilent = !c.silent;
        block.bCoverInstall = !c.cover;
        reporter.setData(block);
        reporter.report(c.success, *installResultFromRaw(c.raw), c.silent, c.cover, false);
        const QJsonObject o = checkCommon(*reporter.toString(), PRIVATE_TABLE_NAME, block);
        EXPECT_EQ(values(o, {"result", "silent", "installtype", "reason", "parentproce", "lastday",
                             "before_tid1", "before_tid2", "version", "language"}),
                  c.resultSilentInstallType + QString(" %1 1 1 1 1 6 de").arg(c.raw));
    }
    BaseReporter::setCurrentLanguage("en");
}

TEST(MacInstallReporter, SendsPointsAndClicksAndRepeatsTheLastPointForNone) {
    LoopbackHttpServer server;
    MacInstallReporter reporter(clientFor(server));
    const QStringList sentKeys = {"point",     "click",     "isdefview", "result", "reason",
                                  "reserved1", "reserved2", "ver",       "chip"};
    const auto sent = [&](const ReportBlock& block) {
        return checkCommon(*reporter.toString(), MAC_PRIVATE_TABLE_NAME, block);
    };
    // Before the flow fills the block: empty account id, zero tracking numbers,
    // and a click without a point yet sends point 0.
    reporter.report(ENUMInstallPoint::nonePoint, ENUMInstallClick::ofdAssociationOff, 0, 0, 0,
                    true);
    EXPECT_EQ(values(sent(ReportBlock()), {"point", "click"}), "0 4");
    reporter.setData({filledBlock()});
    reporter.report(ENUMInstallPoint::downloadStart, ENUMInstallClick::none, 1, 1, 7, true);
    const QJsonObject first = sent(filledBlock());
    const OS_TYPE arch = Installer::checkOSArch();
    const int chip = arch == OS_TYPE::x86 ? 1 : arch == OS_TYPE::arm ? 2 : 0;
    EXPECT_EQ(values(first, sentKeys), "3 0 1 1 7 6 0 1 " + QString::number(chip));
    // Only the arguments' properties change.
    reporter.report(ENUMInstallPoint::nonePoint, ENUMInstallClick::downloadRetry, 0, 0, 0, true);
    const QJsonObject second = sent(filledBlock());
    EXPECT_EQ(values(second, sentKeys), "3 31 0 0 0 6 0 1 " + QString::number(chip));
    // What went over the wire is what toString() gave, in the form body.
    ASSERT_TRUE(server.waitForRequests(3, 10s));
    QList<QJsonObject> posted;
    for (const auto& r : server.requests())
        posted << postedPayload(r.body);
    EXPECT_TRUE(posted.contains(first) && posted.contains(second));
}

TEST(Reporters, ReportsFromTwoThreadsNeverMix) {
    LoopbackHttpServer server;
    Reporter reporter(clientFor(server));
    reporter.setData(filledBlock());
    constexpr int perThread = 40;
    {
        SerialQueue other("OtherReports");
        for (int i = 0; i < perThread; ++i) {
            other.post([&] {
                reporter.report(true, ENUMInstallResult::downloadFailed, false, false, true);
            });
            reporter.report(false, ENUMInstallResult::interfaceShown, false, false, true);
        }
    }
    ASSERT_TRUE(server.waitForRequests(2 * perThread, 20s));
    QMap<QString, int> seen;
    for (const auto& r : server.requests())
        ++seen[values(postedPayload(r.body), {"reason", "result", "silent"})];
    EXPECT_EQ(seen, (QMap<QString, int>{{"23 1 0", perThread}, {"100 3 3", perThread}}));
}

TEST(Reporters, ShippedControlFileSendsOverHttpsAndSharedReportersLoadTheShippedFilesOnce) {
    const QvRekolControl control = QvRekolControl::fromPath(kDataDir + "/qctrl.dat");
    for (const char* table : {PRIVATE_TABLE_NAME, MAC_PRIVATE_TABLE_NAME})
        EXPECT_TRUE(control.getServerUrl(table).startsWith("https://")) << table;
    Reporter& shared = Reporter::getInstance();
    auto fromOtherThread = std::async(std::launch::async, [] { return &Reporter::getInstance(); });
    EXPECT_EQ(fromOtherThread.get(), &shared);
    EXPECT_EQ(&MacInstallReporter::getInstance(), &MacInstallReporter::getInstance());
    EXPECT_EQ(shared.client()->productId(), 502);
    EXPECT_EQ(MacInstallReporter::getInstance().client()->productId(), 502);
    EXPECT_FALSE(MacInstallReporter::getInstance().client()->uploadsCache());
}
