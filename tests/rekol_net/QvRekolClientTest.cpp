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
#include <QSet>
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
    return QDir(cacheDir()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

// The codes a post's callbacks gave: 0 resolved, else the reject code.
std::shared_ptr<QList<int>> track(QvHttpPoster& poster, const QString& url) {
    auto codes = std::make_shared<QList<int>>();
    const auto seen = [codes](int code) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        *codes << code;
    };
    poster.post(
        url, "appid=x&data={}&client=1", [seen] { seen(0); },
        [seen](const QvHttpPoster::Error& e) { seen(e.code); });
    return codes;
}

// Posts; returns the one code, after time for a second callback to show.
int settlePost(QvHttpPoster& poster, const QString& url) {
    const auto codes = track(poster, url);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !codes->isEmpty(); }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(codes->size(), 1);
    return codes->value(0, -1);
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
                QString("[common]\nproduct=%1\nserver1=%2\nserver2=%3\n[%4]\npriority=1\n")
                    .arg(product, server.url("/p1"), server.url("/p2"), kTable)),
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

} // namespace

TEST_F(QvRekolClientTest, ForcedReportsArePostedDelayedAndRejectedOnesCachedForTheNextClient) {
    auto off = client(false);
    const QString payload = QString::fromUtf8(R"({"q":"a&b=c","t":"Grüße %41+"})");
    EXPECT_TRUE(off->report(kTable, payload, true));
    EXPECT_TRUE(off->report("vexa_tools_install", "{}", true)); // no own priority: server2
    EXPECT_TRUE(off->report(kTable, "{}", false));              // the cache off: dropped
    settle(2);
    EXPECT_EQ(posted(), QStringList({"/p1 " + formBody(payload), "/p2 " + formBody("{}")}));
    EXPECT_TRUE(log.lines().contains("report => post table['" + kTable + "' with " +
                                     formBody(payload) + "] success"));
    server.setReply({500, "result=0"});
    off->report(kTable, "{}", true);
    settle(3);
    EXPECT_TRUE(cacheEntries().isEmpty());
    {
        auto on = client(true);
        EXPECT_TRUE(on->report(kTable, payload, false));
        on->report(kTable, "{\"n\":2}", true);
        settle(4);
        EXPECT_TRUE(log.lines().contains("report => post table['" + kTable + "' with " +
                                         formBody("{\"n\":2}") + "] failed!!!"));
    }
    const QStringList entries = cacheEntries();
    ASSERT_EQ(entries.size(), 2);
    const QByteArray packets[] = {*QvRekolHeader::frame(payload, 502),
                                  *QvRekolHeader::frame("{\"n\":2}", 502)};
    for (int i = 0; i < 2; ++i) {
        const QStringList name = entries[i].split('-');
        ASSERT_EQ(name.size(), 4);
        EXPECT_EQ(name[0] + name[2] + name[3], (i ? "force0" : "delay0") + kTable);
        EXPECT_LE(std::abs(name[1].toLongLong() - QDateTime::currentSecsSinceEpoch()), 5);
        EXPECT_EQ(readFile(cacheDir() + '/' + entries[i]), packets[i]);
    }
    // A client made with the cache on uploads the raw packets at once.
    server.setReply({});
    auto next = client(true);
    settle(6);
    const auto r = server.requests();
    EXPECT_EQ(QSet<QByteArray>({r[4].path + ' ' + r[4].body, r[5].path + ' ' + r[5].body}),
              QSet<QByteArray>({"/p1 " + packets[0], "/p1 " + packets[1]}));
}

TEST_F(QvRekolClientTest, RefusesWithAWarningAndSendsNothing) {
    // Product, table, payload size, warning (none: taken).
    const std::tuple<QString, QString, int, QString> cases[] = {
        {"", kTable, 2, "report => WARN: Invalid productId['0']"},
        {"502", "Vexa_lmdoc_mac_install", 2, "report => not found table['Vexa_lmdoc_mac_install']"},
        {"502", kTable, 65523,
         "report => WARN: payload of table['" + kTable + "'] too long['65523']"},
        {"4294967296", kTable, 2, "report => WARN: productId['4294967296'] does not fit a packet"},
        {"502", kTable, 65522, ""},
    };
    for (const auto& [product, table, payloadBytes, warning] : cases) {
        SCOPED_TRACE(warning.toStdString());
        auto reporter = client(true, product);
        log.clear();
        EXPECT_EQ(reporter->report(table, QString(payloadBytes, 'x'), false), warning.isEmpty());
        EXPECT_EQ(log.rekolLines().contains("[QvRekol] " + warning), !warning.isEmpty());
        EXPECT_EQ(cacheEntries().size(), warning.isEmpty() ? 1 : 0);
    }
    QTest::qWait(100);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(QvRekolClientTest, CachePostsWellNamedEntriesRenamingOnEachRejectionRemovesMalformedOnes) {
    const QvRekolControl control =
        QvRekolControl::fromText("[common]\nproduct=1\nserver2=" + server.url("/p2") +
                                 "\nserver3=" + server.url("/p3") + "\n[u]\npriority=3\n");
    qint64 now = 0;
    QvDataCache cache{[&now] { return now; }};
    QvHttpPoster poster;
    // One pass at `at` seconds, with `total` requests in all after it.
    const auto pass = [&](qint64 at, std::size_t total) {
        now = at;
        cache.postCacheFiles(control, poster);
        settle(total);
    };
    QTemporaryDir outside;
    writeFile(outside.filePath("keep"));
    for (const char* name : {"notes.txt", "delay-1-0-a-b", "force--1700000000-0-t", "delay-x-0-t"})
        writeFile(cacheDir() + '/' + name);
    QDir(cacheDir()).mkpath("sub/deeper");
    QFile::link(outside.path(), cacheDir() + "/link");
    writeFile(cacheDir() + "/delay-1700000000-5-t", "packet-t");
    writeFile(cacheDir() + "/force-1700000000-6-u", "packet-u");
    server.setReply({200, "result=0"});
    pass(1000, 2);
    QStringList expected = {"[QvRekol] QvDataFile => cache files count['4']"};
    for (const char* removed : {"notes.txt", "delay-1-0-a-b", "sub", "link"})
        expected << "[QvRekol] QvDataFile => removeItem['" + cacheDir() + '/' + removed + "']";
    for (const QString& line : expected)
        EXPECT_TRUE(log.rekolLines().contains(line)) << line.toStdString();
    EXPECT_TRUE(QFile::exists(outside.filePath("keep"))); // the link went, not its target
    // u had its seventh post. The other two have four pieces once empty ones are
    // dropped: kept, but their names cannot be rebuilt, so they are not posted.
    const QStringList unposted = {"delay-x-0-t", "force--1700000000-0-t"};
    EXPECT_EQ(cacheEntries(), QStringList{"delay-1700000000-6-t"} + unposted);
    EXPECT_EQ(posted(), QStringList({"/p2 packet-t", "/p3 packet-u"})); // t: no section, so 2
    for (qint64 tooSoon : {1005, 1009, 991})
        pass(tooSoon, 2);
    pass(1010, 3);
    EXPECT_EQ(cacheEntries(), unposted);
    writeFile(cacheDir() + "/force-1700000000-6-t");
    writeFile(cacheDir() + "/delay-1700000000-0-t");
    server.setReply({200, "result=1"});
    pass(1020, 5);
    EXPECT_EQ(cacheEntries(), unposted);
}

TEST(QvHttpPoster, JudgesTheReplyTextAloneGivesCode1WithoutAReplyAndWaitsNoLongerThanTheBound) {
    // clang-format off
    const std::tuple<int, QByteArray, int> cases[] = {
        {200, "result=1", 0}, {200, "code=0&result=1&msg=ok", 0}, {200, "result=12", 0},
        {500, "result=1", 0}, {200, "result=0", 2}, {200, "", 2}, {200, "RESULT=1", 2},
        {200, "result=1 \xC3\xA9", 2}, /* not ASCII: the empty text */ {503, "busy", 2}};
    // clang-format on
    LoopbackHttpServer server;
    LogCapture log;
    std::shared_ptr<QList<int>> hung;
    {
        QvHttpPoster poster;
        for (const auto& [status, body, code] : cases) {
            SCOPED_TRACE(body.toStdString() + " / " + std::to_string(status));
            server.setReply({status, body});
            EXPECT_EQ(settlePost(poster, server.url()), code);
            EXPECT_EQ(poster.pendingCount(), 0);
        }
        // A reply that never ends, its length never announced, is cut off at the cap.
        server.setReply({.endless = true});
        EXPECT_EQ(settlePost(poster, server.url()), 1);
        const LoopbackHttpServer::Request r = server.requests().back();
        EXPECT_EQ(r.method + ' ' + r.path, "POST /rekol");
        QStringList headers;
        for (const char* name : {"content-type", "user-agent", "x-cf-platform", "x-cf-device-id"})
            headers << r.headers.value(name);
        EXPECT_EQ(headers,
                  QStringList({"application/x-www-form-urlencoded", "Mozilla/5.0", "pc", "1"}));
        const QString dead = QString("http://127.0.0.1:%1/r").arg(LoopbackHttpServer::deadPort());
        for (const QString& url : {dead, QString("file:///tmp/x")}) {
            SCOPED_TRACE(url.toStdString());
            EXPECT_EQ(settlePost(poster, url), 1);
            EXPECT_EQ(poster.pendingCount(), 0);
        }
        log.clear();
        poster.ensureClearWaitingPackage(60s); // idle: returns at once
        EXPECT_EQ(log.lines(),
                  QStringList({"clear", "All tasks completed within timeout", "finished clear"}));
        // A hanging request holds neither a later post nor termination past the bound.
        server.setReply({.hang = true});
        const std::size_t earlier = server.requests().size();
        hung = track(poster, server.url());
        ASSERT_TRUE(server.waitForRequests(earlier + 1, 5s));
        server.setReply({});
        EXPECT_EQ(settlePost(poster, server.url()), 0);
        EXPECT_EQ(poster.pendingCount(), 1);
        log.clear();
        poster.ensureClearWaitingPackage(200ms);
        EXPECT_EQ(log.lines(),
                  QStringList({"clear", "still tasks uncompleted after timeout, cancel all tasks",
                               "finished clear"}));
    } // destroying the poster aborts the open request without a callback
    QTest::qWait(100);
    EXPECT_TRUE(hung->isEmpty());
}
