// The telemetry poster, client and report cache against a loopback server.
#include "rekol/QvRekolClient.h"
#include "base/Globals.h"
#include "rekol/QvDataCache.h"
#include "rekol/QvRekolHeader.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString kTable = "vexa_lmdoc_mac_install";

QString cacheDir() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/rekol";
}

QStringList cacheEntries() {
    return QDir(cacheDir())
        .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                   QDir::Name);
}

void writeEntry(const QString& name, const QByteArray& bytes = "packet") {
    ASSERT_FALSE(writeFile(cacheDir() + '/' + name, bytes).isEmpty());
}

// What the main thread saw of one post: 0 resolved, else the reject code.
struct Outcome {
    int calls = 0, code = -1;
    bool offMainThread = false;
};

std::shared_ptr<Outcome> track(QvHttpPoster& poster, const QString& url,
                               const QByteArray& body = "appid=x&data={}&client=1") {
    auto out = std::make_shared<Outcome>();
    const auto seen = [out](int code) {
        out->offMainThread |= QThread::currentThread() != qApp->thread();
        out->code = code;
        ++out->calls;
    };
    poster.post(
        url, body, [seen] { seen(0); },
        [seen](const QvHttpPoster::Error& e) {
            EXPECT_EQ(e.domain, "post failed");
            seen(e.code);
        });
    return out;
}

// Waits for the outcome, then a little longer so a second callback would show;
// returns its code.
int settlePost(const std::shared_ptr<Outcome>& out) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return out->calls > 0; }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(out->calls, 1);
    EXPECT_FALSE(out->offMainThread);
    return out->code;
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
    // Lets `n` requests in all arrive and their outcomes run on the main thread.
    void settle(std::size_t n) {
        EXPECT_TRUE(server.waitForRequests(n, 10s));
        QTest::qWait(200);
        EXPECT_EQ(server.requests().size(), n);
    }
    // "<path> <body>" of each request, sorted.
    QStringList posted() const {
        QStringList out;
        for (const auto& r : server.requests())
            out << QString::fromUtf8(r.path + ' ' + r.body);
        out.sort();
        return out;
    }
    LoopbackHttpServer server;
    LogCapture log;
};

class QvDataCacheTest : public QvRekolClientTest {
protected:
    // One pass at `at` seconds, with `total` requests in all after it.
    void pass(qint64 at, std::size_t total) {
        now = at;
        cache.postCacheFiles(control, poster);
        settle(total);
    }
    QvRekolControl control =
        QvRekolControl::fromText("[common]\nproduct=1\nserver2=" + server.url("/p2") +
                                 "\nserver3=" + server.url("/p3") + "\n[u]\npriority=3\n");
    qint64 now = 0;
    QvDataCache cache{[this] { return now; }};
    QvHttpPoster poster;
};

} // namespace

TEST_F(QvRekolClientTest, ForcedReportPostsTheFormBodyByteForByteToTheTablesServer) {
    auto c = client(false);
    EXPECT_EQ(c->defaultUrl(), server.url("/p0"));
    const QString payload = QString::fromUtf8(R"({"q":"a&b=c","t":"Grüße %41+"})");
    EXPECT_TRUE(c->report(kTable, payload, true));
    EXPECT_TRUE(c->report("vexa_tools_install", "{}", true)); // no own priority: server2
    settle(2);
    EXPECT_EQ(posted(), QStringList({"/p1 " + formBody(payload), "/p2 " + formBody("{}")}));
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

TEST_F(QvDataCacheTest, RemovesOnlyMalformedEntriesOfItsOwnDirectory) {
    QTemporaryDir outside;
    writeFile(outside.filePath("keep"));
    for (const char* name : {"notes.txt", "delay-1-0-a-b", "force--1700000000-0-t", "delay-x-0-t"})
        writeEntry(name);
    QDir(cacheDir()).mkpath("sub/deeper");
    QFile::link(outside.path(), cacheDir() + "/link");
    pass(1000, 0);
    QStringList expected = {"[QvRekol] QvDataFile => cache files count['2']"};
    for (const char* removed : {"notes.txt", "delay-1-0-a-b", "sub", "link"})
        expected << "[QvRekol] QvDataFile => removeItem['" + cacheDir() + '/' + removed + "']";
    for (const QString& line : expected)
        EXPECT_TRUE(log.rekolLines().contains(line)) << line.toStdString();
    // Four pieces once empty ones are dropped: kept, but their names cannot be
    // rebuilt, so they are not posted.
    EXPECT_EQ(cacheEntries(), QStringList({"delay-x-0-t", "force--1700000000-0-t"}));
    EXPECT_TRUE(QFile::exists(outside.filePath("keep"))); // the link went, not its target
}

TEST_F(QvDataCacheTest, RenamesOnEachRejectionDeletesAfterTheSeventhAndThrottlesPasses) {
    writeEntry("delay-1700000000-5-t", "packet-t");
    writeEntry("force-1700000000-6-u", "packet-u");
    server.setReply({200, "result=0", false});
    pass(1000, 2);
    EXPECT_EQ(cacheEntries(), QStringList({"delay-1700000000-6-t"})); // u had its seventh post
    // t has no section: priority 2.
    EXPECT_EQ(posted(), QStringList({"/p2 packet-t", "/p3 packet-u"}));
    for (qint64 tooSoon : {1005, 1009, 991})
        pass(tooSoon, 2);
    pass(1010, 3);
    EXPECT_TRUE(cacheEntries().isEmpty());
    writeEntry("force-1700000000-6-t");
    writeEntry("delay-1700000000-0-t");
    server.setReply({200, "result=1", false});
    pass(1020, 5);
    EXPECT_TRUE(cacheEntries().isEmpty());
}

TEST(QvHttpPoster, JudgesTheReplyTextAloneAndGivesCode1WithoutAReply) {
    // clang-format off
    const std::tuple<int, QByteArray, int> cases[] = {
        {200, "result=1", 0}, {200, "code=0&result=1&msg=ok", 0}, {200, "result=12", 0},
        {500, "result=1", 0}, {200, "result=0", 2}, {200, "", 2}, {200, "RESULT=1", 2},
        {200, "result=1 \xC3\xA9", 2}, /* not ASCII: the empty text */ {503, "busy", 2}};
    // clang-format on
    LoopbackHttpServer server;
    QvHttpPoster poster;
    for (const auto& [status, body, code] : cases) {
        SCOPED_TRACE(body.toStdString() + " / " + std::to_string(status));
        server.setReply({status, body, false});
        EXPECT_EQ(settlePost(track(poster, server.url())), code);
        EXPECT_EQ(poster.pendingCount(), 0);
    }
    // A reply that never ends, its length never announced, is cut off at the cap.
    server.setReply({200, "result=1", false, true});
    EXPECT_EQ(settlePost(track(poster, server.url())), 1);
    // The body goes out unchanged, with the fixed header fields.
    const QByteArray body =
        QByteArray("appid=a&data={\"k\":\"a&b=c %20\xC3\xA9\"}&client=1\0\1", 44);
    settlePost(track(poster, server.url("/rekol/t"), body));
    const LoopbackHttpServer::Request r = server.requests().back();
    EXPECT_EQ(r.method + ' ' + r.path, "POST /rekol/t");
    EXPECT_EQ(r.body, body);
    QStringList headers;
    for (const char* name : {"content-type", "user-agent", "x-cf-platform", "x-cf-device-id"})
        headers << r.headers.value(name);
    EXPECT_EQ(headers,
              QStringList({"application/x-www-form-urlencoded", "Mozilla/5.0", "pc", "1"}));
    const QString dead = QString("http://127.0.0.1:%1/r").arg(LoopbackHttpServer::deadPort());
    for (const QString& url : {dead, QString("file:///tmp/x")}) {
        SCOPED_TRACE(url.toStdString());
        EXPECT_EQ(settlePost(track(poster, url)), 1);
        EXPECT_EQ(poster.pendingCount(), 0);
    }
}

TEST(QvHttpPoster, AHangingRequestHoldsNeitherLaterPostsNorTerminationPastTheBound) {
    LoopbackHttpServer server;
    LogCapture log;
    std::shared_ptr<Outcome> hung;
    {
        QvHttpPoster poster;
        poster.ensureClearWaitingPackage(60s); // idle: returns at once
        EXPECT_EQ(log.lines(),
                  QStringList({"clear", "All tasks completed within timeout", "finished clear"}));
        server.setReplyForNext(1, {200, "", true});
        hung = track(poster, server.url());
        ASSERT_TRUE(server.waitForRequests(1, 5s));
        settlePost(track(poster, server.url())); // the second completes meanwhile
        EXPECT_EQ(poster.pendingCount(), 1);
        log.clear();
        poster.ensureClearWaitingPackage(200ms);
        EXPECT_EQ(log.lines(),
                  QStringList({"clear", "still tasks uncompleted after timeout, cancel all tasks",
                               "finished clear"}));
    } // destroying the poster aborts the open request without a callback
    QTest::qWait(100);
    EXPECT_EQ(hung->calls, 0);
}
