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

// What the main thread saw of one post: 0 resolved, else the reject code.
struct Outcome {
    int calls = 0;
    int code = -1;
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

// Waits for the outcome, then a little longer so a second callback would show.
void settle(const std::shared_ptr<Outcome>& out) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return out->calls > 0; }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(out->calls, 1);
    EXPECT_FALSE(out->offMainThread);
}

} // namespace

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
        auto out = track(poster, server.url());
        settle(out);
        EXPECT_EQ(out->code, code);
        EXPECT_EQ(poster.pendingCount(), 0);
    }
    // The body goes out unchanged, with the fixed header fields.
    const QByteArray body =
        QByteArray("appid=a&data={\"k\":\"a&b=c %20\xC3\xA9\"}&client=1\0\1", 44);
    settle(track(poster, server.url("/rekol/t"), body));
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
        auto out = track(poster, url);
        settle(out);
        EXPECT_EQ(out->code, 1);
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
        settle(track(poster, server.url())); // the second completes meanwhile
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
