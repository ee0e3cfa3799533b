#include "rekol/QvRekolClient.h"
#include "base/Globals.h"
#include "rekol/QvRekolHeader.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"

#include <QDateTime>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString kTable = "vexa_lmdoc_mac_install";

QString cacheDir() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/rekol";
}

QStringList cacheEntries() {
    return QDir(cacheDir()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
}

QByteArray formBody(const QString& payload) {
    return QByteArray("appid=") + REKOL_3RD_DEFAULT_REPORTER_ID + "&data=" + payload.toUtf8() +
           "&client=1";
}

class QvRekolClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(cacheDir()).removeRecursively();
        QDir().mkpath(QFileInfo(cacheDir()).path());
    }
    std::unique_ptr<QvRekolClient> client(bool cache, const QString& product = "502") const {
        return std::make_unique<QvRekolClient>(
            QvRekolControl::fromText(
                QString("[common]\nproduct=%1\nserver0=%2\nserver1=%3\n"
                        "server2=%4\n[%5]\npriority=1\n")
                    .arg(product, server.url("/p0"), server.url("/p1"), server.url("/p2"), kTable)),
            QvRekolFormat::fromText(kTable + ":1 os:int\nvexa_tools_install:2 result:int\n"),
            cache);
    }
    // Lets `n` requests arrive and their outcomes run on the main thread.
    void settle(std::size_t n) {
        ASSERT_TRUE(server.waitForRequests(n, 10s));
        QTest::qWait(200);
    }
    QByteArray bodyAt(const QByteArray& path) const {
        for (const auto& r : server.requests())
            if (r.path == path)
                return r.body;
        return {};
    }

    LoopbackHttpServer server;
    LogCapture log;
};

} // namespace

TEST_F(QvRekolClientTest, ForcedReportPostsTheFormBodyByteForByteToTheTablesServer) {
    auto c = client(false);
    EXPECT_EQ(c->defaultUrl(), server.url("/p0"));
    const QString payload = QString::fromUtf8(R"({"q":"a&b=c","t":"Grüße %41+"})");
    EXPECT_TRUE(c->report(kTable, payload, true));
    EXPECT_TRUE(c->report("vexa_tools_install", "{}", true)); // no own priority: server2
    settle(2);
    EXPECT_EQ(bodyAt("/p1"), formBody(payload));
    EXPECT_EQ(bodyAt("/p2"), formBody("{}"));
    EXPECT_TRUE(log.lines().contains("report => post table['" + kTable + "' with " +
                                     formBody(payload) + "] success"));
}

TEST_F(QvRekolClientTest, RefusesWithAWarningAndSendsNothing) {
    const struct {
        QString product, table;
        int payloadBytes;
        QString warning; // empty: taken
    } cases[] = {
        {"", kTable, 2, "report => WARN: Invalid productId['0']"},
        {"502", "Vexa_lmdoc_mac_install", 2, "report => not found table['Vexa_lmdoc_mac_install']"},
        {"502", kTable, 65523,
         "report => WARN: payload of table['" + kTable + "'] too long['65523']"},
        {"4294967296", kTable, 2, "report => WARN: productId['4294967296'] does not fit a packet"},
        {"502", kTable, 65522, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warning.toStdString());
        auto reporter = client(true, c.product);
        log.clear();
        EXPECT_EQ(reporter->report(c.table, QString(c.payloadBytes, 'x'), false),
                  c.warning.isEmpty());
        EXPECT_EQ(log.rekolLines().contains("[QvRekol] " + c.warning), !c.warning.isEmpty());
        EXPECT_EQ(cacheEntries().size(), c.warning.isEmpty() ? 1 : 0);
    }
    QTest::qWait(100);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(QvRekolClientTest, DelayedReportsAreCachedAsPacketsOnlyWithTheCacheOn) {
    EXPECT_TRUE(client(false)->report(kTable, "{}", false));
    EXPECT_TRUE(cacheEntries().isEmpty());

    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const QString payload = QString::fromUtf8("{\"é\":1}");
    EXPECT_TRUE(client(true)->report(kTable, payload, false));
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    ASSERT_EQ(cacheEntries().size(), 1);
    const QStringList name = cacheEntries().front().split('-');
    ASSERT_EQ(name.size(), 4);
    EXPECT_EQ(name[0] + name[2] + name[3], "delay0" + kTable);
    EXPECT_TRUE(name[1].toLongLong() >= before && name[1].toLongLong() <= after);
    EXPECT_EQ(readFile(cacheDir() + '/' + cacheEntries().front()),
              QvRekolHeader::frame(payload, 502));
    QTest::qWait(100);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(QvRekolClientTest, RejectedForcedReportIsCachedAsForceAndUploadedByTheNextClient) {
    server.setReply({500, "result=0", false});
    auto off = client(false);
    off->report(kTable, "{\"n\":1}", true);
    settle(1);
    EXPECT_TRUE(cacheEntries().isEmpty());
    {
        auto on = client(true);
        on->report(kTable, "{\"n\":2}", true);
        settle(2);
        EXPECT_TRUE(log.lines().contains("report => post table['" + kTable + "' with " +
                                         formBody("{\"n\":2}") + "] failed!!!"));
    }
    ASSERT_EQ(cacheEntries().size(), 1);
    EXPECT_TRUE(cacheEntries().front().startsWith("force-"));
    EXPECT_TRUE(cacheEntries().front().endsWith("-0-" + kTable));

    // A client made with the cache on uploads the raw packet at once.
    server.setReply({200, "result=1", false});
    auto next = client(true);
    settle(3);
    EXPECT_EQ(server.requests().back().path, "/p1");
    EXPECT_EQ(server.requests().back().body, QvRekolHeader::frame("{\"n\":2}", 502));
    EXPECT_TRUE(QTest::qWaitFor([] { return cacheEntries().isEmpty(); }, 5000));
}
