#include "rekol/QvRekolClient.h"
#include "flow/Globals.h"
#include "rekol/Crc32.h"
#include "rekol/QvRekolHeader.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
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

QvRekolControl control(const LoopbackHttpServer& server, const QString& product = "502") {
    return QvRekolControl::fromText(
        "[common]\nproduct=" + product + "\nserver0=" + server.url("/p0") + "\nserver1=" +
        server.url("/p1") + "\nserver2=" + server.url("/p2") + "\n[" + kTable + "]\npriority=1\n");
}

QvRekolFormat format() {
    return QvRekolFormat::fromText(kTable + ":1 os:int\nvexa_tools_install:2 result:int\n");
}

class QvRekolClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(cacheDir()).removeRecursively();
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    }
    // Runs the main loop until the server saw `n` requests and the outcome logged.
    void settle(std::size_t n) {
        ASSERT_TRUE(server.waitForRequests(n, 10s));
        QTest::qWait(200);
    }

    LoopbackHttpServer server;
    LogCapture log;
};

} // namespace

TEST_F(QvRekolClientTest, ForcedReportPostsTheFormBodyByteForByteToTheTablesServer) {
    QvRekolClient client(control(server), format(), false);
    EXPECT_EQ(client.productId(), 502);
    EXPECT_EQ(client.defaultUrl(), server.url("/p0"));
    const QString payload = QString::fromUtf8(R"({"q":"a&b=c","t":"Grüße %41+"})");
    EXPECT_TRUE(client.report(kTable, payload, true));
    EXPECT_TRUE(client.report("vexa_tools_install", "{}", true)); // no own priority: server2
    settle(2);

    std::vector<LoopbackHttpServer::Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    std::sort(requests.begin(), requests.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    EXPECT_EQ(requests[0].path, "/p1");
    EXPECT_EQ(requests[0].body, QByteArray("appid=") + REKOL_3RD_DEFAULT_REPORTER_ID +
                                    "&data=" + payload.toUtf8() + "&client=1");
    EXPECT_EQ(requests[1].path, "/p2");
    EXPECT_EQ(requests[1].body,
              QByteArray("appid=") + REKOL_3RD_DEFAULT_REPORTER_ID + "&data={}&client=1");
    EXPECT_TRUE(log.lines().contains("report " + kTable + " start"));
    EXPECT_TRUE(log.lines().contains("report => post table['" + kTable + "' with " +
                                     QString::fromUtf8(requests[0].body) + "] success"));
    EXPECT_TRUE(log.rekolLines().contains("[QvRekol] QvRekolClient => productId['502']"));
    EXPECT_TRUE(cacheEntries().isEmpty());
}

TEST_F(QvRekolClientTest, RefusesWithAWarningAndSendsNothing) {
    struct Case {
        QString product;
        QString table;
        int payloadBytes;
        QString warning; // empty: accepted
    };
    const Case cases[] = {
        {"", kTable, 2, "[QvRekol] report => WARN: Invalid productId['0']"},
        {"0", kTable, 2, "[QvRekol] report => WARN: Invalid productId['0']"},
        {"502", "Vexa_lmdoc_mac_install", 2,
         "[QvRekol] report => not found table['Vexa_lmdoc_mac_install']"},
        {"502", kTable, 65523,
         "[QvRekol] report => WARN: payload of table['" + kTable + "'] too long['65523']"},
        {"4294967296", kTable, 2,
         "[QvRekol] report => WARN: productId['4294967296'] does not fit a packet"},
        {"502", kTable, 65522, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.warning.toStdString());
        QvRekolClient client(control(server, c.product), format(), true);
        log.clear();
        const bool taken = client.report(c.table, QString(c.payloadBytes, 'x'), false);
        EXPECT_EQ(taken, c.warning.isEmpty());
        if (!c.warning.isEmpty()) {
            EXPECT_TRUE(log.rekolLines().contains(c.warning))
                << log.rekolLines().join('\n').toStdString();
        }
        EXPECT_EQ(cacheEntries().size(), c.warning.isEmpty() ? 1 : 0);
    }
    QTest::qWait(100);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(QvRekolClientTest, DelayedReportIsCachedAsAPacketOnlyWithTheCacheOn) {
    {
        QvRekolClient off(control(server), format(), false);
        EXPECT_TRUE(off.report(kTable, "{}", false));
        EXPECT_TRUE(cacheEntries().isEmpty());
    }
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    QvRekolClient on(control(server), format(), true);
    const QString payload = QString::fromUtf8("{\"é\":1}");
    EXPECT_TRUE(on.report(kTable, payload, false));
    const qint64 after = QDateTime::currentSecsSinceEpoch();

    const QStringList entries = cacheEntries();
    ASSERT_EQ(entries.size(), 1);
    const QStringList parts = entries.front().split('-');
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts[0], "delay");
    EXPECT_GE(parts[1].toLongLong(), before);
    EXPECT_LE(parts[1].toLongLong(), after);
    EXPECT_EQ(parts[2], "0");
    EXPECT_EQ(parts[3], kTable);

    QFile file(cacheDir() + '/' + entries.front());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray packet = file.readAll();
    const QByteArray body = payload.toUtf8();
    ASSERT_EQ(packet.size(), 13 + body.size());
    const auto byte = [&](int i) { return static_cast<quint8>(packet[i]); };
    EXPECT_EQ(byte(0) | byte(1) << 8, 13 + body.size());
    EXPECT_EQ(byte(2), 2);                                                  // version
    EXPECT_EQ(byte(3) | byte(4) << 8 | byte(5) << 16 | byte(6) << 24, 502); // product
    EXPECT_EQ(byte(7) | byte(8) << 8, 2);                                   // count
    const quint32 crc = byte(9) | byte(10) << 8 | byte(11) << 16 | quint32(byte(12)) << 24;
    EXPECT_EQ(crc, crc32(0, body.constData(), body.size()));
    EXPECT_EQ(packet.mid(13), body);
    QTest::qWait(100);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(QvRekolClientTest, RejectedForcedReportIsCachedAsForceAndUploadedByTheNextClient) {
    server.setReply({500, "result=0", false});
    {
        QvRekolClient off(control(server), format(), false);
        EXPECT_TRUE(off.report(kTable, "{\"n\":1}", true));
        settle(1);
        EXPECT_TRUE(cacheEntries().isEmpty());
    }
    {
        QvRekolClient on(control(server), format(), true);
        EXPECT_TRUE(on.report(kTable, "{\"n\":2}", true));
        settle(2);
        EXPECT_TRUE(log.lines().contains("report => post table['" + kTable + "' with " +
                                         QvRekolClient::formBody("{\"n\":2}") + "] failed!!!"));
    }
    const QStringList entries = cacheEntries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries.front().startsWith("force-"));
    EXPECT_TRUE(entries.front().endsWith("-0-" + kTable));

    // A new client with the cache on uploads the raw packet at creation and,
    // once accepted, removes it.
    server.setReply({200, "result=1", false});
    QvRekolClient next(control(server), format(), true);
    settle(3);
    const LoopbackHttpServer::Request upload = server.requests().back();
    EXPECT_EQ(upload.path, "/p1");
    EXPECT_EQ(upload.body, *QvRekolHeader::frame("{\"n\":2}", 502));
    EXPECT_TRUE(QTest::qWaitFor([] { return cacheEntries().isEmpty(); }, 5000));
}
