#include "rekol/QvHttpPoster.h"
#include "support/LogCapture.h"
#include "support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;

namespace {

// What the main thread saw of one post.
struct Outcome {
    int resolved = 0;
    int rejected = 0;
    QvHttpPoster::Error error;
    bool offMainThread = false;

    int calls() const { return resolved + rejected; }
};

std::shared_ptr<Outcome> postAndTrack(QvHttpPoster& poster, const QString& url,
                                      const QByteArray& body = "appid=x&data={}&client=1") {
    auto outcome = std::make_shared<Outcome>();
    poster.post(
        url, body,
        [outcome] {
            outcome->offMainThread |= QThread::currentThread() != qApp->thread();
            ++outcome->resolved;
        },
        [outcome](const QvHttpPoster::Error& e) {
            outcome->offMainThread |= QThread::currentThread() != qApp->thread();
            outcome->error = e;
            ++outcome->rejected;
        });
    return outcome;
}

bool settle(const std::shared_ptr<Outcome>& outcome) {
    const bool arrived = QTest::qWaitFor([&] { return outcome->calls() > 0; }, 10000);
    QTest::qWait(50); // a second callback would show up now
    return arrived;
}

} // namespace

TEST(QvHttpPoster, JudgesReplyByTextAloneWhateverTheStatus) {
    struct Case {
        int status;
        QByteArray body;
        int expectedCode; // 0: resolved
    };
    const Case cases[] = {
        {200, "result=1", 0},
        {200, "code=0&result=1&msg=ok", 0},
        {200, "result=12", 0},
        {500, "result=1", 0},
        {404, "<html>result=1</html>", 0},
        {200, "result=0", 2},
        {200, "", 2},
        {200, "RESULT=1", 2},
        {200, "result=1 \xC3\xA9", 2}, // not ASCII: judged as the empty text
        {503, "busy", 2},
    };
    LoopbackHttpServer server;
    QvHttpPoster poster;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.toStdString() + " / " + std::to_string(c.status));
        server.setReply({c.status, c.body, false});
        auto outcome = postAndTrack(poster, server.url());
        ASSERT_TRUE(settle(outcome));
        EXPECT_EQ(outcome->calls(), 1);
        EXPECT_FALSE(outcome->offMainThread);
        if (c.expectedCode == 0) {
            EXPECT_EQ(outcome->resolved, 1);
        } else {
            EXPECT_EQ(outcome->error.domain, "post failed");
            EXPECT_EQ(outcome->error.code, c.expectedCode);
        }
        EXPECT_EQ(poster.pendingCount(), 0);
    }
}

TEST(QvHttpPoster, SendsBodyUnchangedWithTheFixedHeaderFields) {
    LoopbackHttpServer server;
    QvHttpPoster poster;
    const QByteArray body =
        QByteArray("appid=a&data={\"k\":\"a&b=c %20\xC3\xA9\"}&client=1") + QByteArray("\0\x01", 2);
    auto outcome = postAndTrack(poster, server.url("/rekol/t"), body);
    ASSERT_TRUE(settle(outcome));
    ASSERT_EQ(server.requests().size(), 1u);
    const LoopbackHttpServer::Request r = server.requests().front();
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/rekol/t");
    EXPECT_EQ(r.body, body);
    EXPECT_EQ(r.headers.value("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r.headers.value("user-agent"), "Mozilla/5.0");
    EXPECT_EQ(r.headers.value("x-cf-platform"), "pc");
    EXPECT_EQ(r.headers.value("x-cf-device-id"), "1");
}

TEST(QvHttpPoster, NoUsableReplyRejectsWithCode1AfterLeavingTheGroup) {
    const QString unusable[] = {
        QString("http://127.0.0.1:%1/rekol").arg(LoopbackHttpServer::deadPort()),
        "",
        "not a url",
        "file:///tmp/x",
    };
    QvHttpPoster poster;
    for (const QString& url : unusable) {
        SCOPED_TRACE(url.toStdString());
        auto outcome = postAndTrack(poster, url);
        ASSERT_TRUE(settle(outcome));
        EXPECT_EQ(outcome->rejected, 1);
        EXPECT_EQ(outcome->resolved, 0);
        EXPECT_EQ(outcome->error.code, 1);
        EXPECT_EQ(poster.pendingCount(), 0);
    }
}

TEST(QvHttpPoster, DebugUrlReplacesEveryTarget) {
    LoopbackHttpServer server;
    QvHttpPoster poster;
    LogCapture log;
    poster.setDebugURL(server.url("/debug"));
    const QString dead = QString("http://127.0.0.1:%1/x").arg(LoopbackHttpServer::deadPort());
    auto outcome = postAndTrack(poster, dead);
    ASSERT_TRUE(settle(outcome));
    EXPECT_EQ(outcome->resolved, 1);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests().front().path, "/debug");
    EXPECT_TRUE(log.lines().contains("postData => url['" + server.url("/debug") +
                                     "'] response['result=1']"));
}

TEST(QvHttpPoster, RequestsOverlapAndLogTheGroupBookkeeping) {
    LoopbackHttpServer server;
    QvHttpPoster poster;
    LogCapture log;
    server.setReplyForNext(1, {200, "", true}); // the first request hangs
    auto first = postAndTrack(poster, server.url());
    ASSERT_TRUE(server.waitForRequests(1, 5s));
    auto second = postAndTrack(poster, server.url());
    ASSERT_TRUE(settle(second));
    EXPECT_EQ(second->resolved, 1);
    EXPECT_EQ(first->calls(), 0);
    EXPECT_EQ(poster.pendingCount(), 1);
    EXPECT_EQ(log.lines().count("mWaitGroup.enter()"), 2);
    EXPECT_EQ(log.lines().count("mWaitGroup.leave()"), 1);
}

TEST(QvHttpPoster, EnsureClearReturnsWhenIdleAndGivesUpOnAHangingRequest) {
    LoopbackHttpServer server;
    {
        QvHttpPoster poster;
        LogCapture log;
        poster.ensureClearWaitingPackage(60s); // idle: no wait at all
        EXPECT_EQ(log.lines(),
                  QStringList({"clear", "All tasks completed within timeout", "finished clear"}));
    }
    {
        QvHttpPoster poster;
        server.setReply({200, "result=1", false});
        auto done = postAndTrack(poster, server.url());
        LogCapture log;
        poster.ensureClearWaitingPackage(30s); // completes while the main thread blocks
        EXPECT_TRUE(log.lines().contains("All tasks completed within timeout"));
        EXPECT_TRUE(settle(done));
    }
    std::shared_ptr<Outcome> hung;
    {
        server.setReply({200, "", true});
        QvHttpPoster poster;
        hung = postAndTrack(poster, server.url());
        ASSERT_TRUE(server.waitForRequests(2, 5s));
        LogCapture log;
        poster.ensureClearWaitingPackage(200ms);
        EXPECT_EQ(log.lines(),
                  QStringList({"clear", "still tasks uncompleted after timeout, cancel all tasks",
                               "finished clear"}));
    } // destroying the poster aborts the open request without a callback
    QTest::qWait(100);
    EXPECT_EQ(hung->calls(), 0);
}
