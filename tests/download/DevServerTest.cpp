// The devserver speaks HTTP on a raw socket here, so what is checked is what
// goes over the wire, not what a client library makes of it.

#include "support/DevServer.h"
#include "support/Files.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct RawReply {
    int status = 0;
    QByteArray head; // status line and headers
    QByteArray body; // as sent, framing included
};

RawReply rawRequest(const DevServer& server, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", server.port());
    RawReply reply;
    if (!socket.waitForConnected(5000))
        return reply;
    socket.write(request);
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        all += socket.readAll();
    all += socket.readAll();
    const qsizetype end = all.indexOf("\r\n\r\n");
    reply.head = all.left(end);
    reply.body = end < 0 ? QByteArray() : all.mid(end + 4);
    reply.status = reply.head.mid(9, 3).toInt();
    return reply;
}

RawReply get(const DevServer& server, const QByteArray& path) {
    return rawRequest(server, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

QByteArray post(const DevServer& server, const QByteArray& path, const QByteArray& body) {
    return rawRequest(server, "POST " + path +
                                  " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                  "Content-Type: application/x-www-form-urlencoded\r\n"
                                  "Content-Length: " +
                                  QByteArray::number(body.size()) + "\r\n\r\n" + body)
        .body;
}

} // namespace

TEST(DevServer, ServesNothingOutsideItsFolder) {
    DevServer server;
    ASSERT_TRUE(server.isRunning());
    QTemporaryDir outside;
    ASSERT_FALSE(writeFile(outside.filePath("secret.dmg"), "secret").isEmpty());
    const QByteArray up = "../../../../../.." + outside.path().toUtf8() + "/secret.dmg";
    const QByteArray encoded = QByteArray(up).replace("/", "%2F");
    for (const QByteArray& path : {"/mac/dl/" + up, "/mac/dl/" + encoded, QByteArray("/mac/dl/"),
                                   QByteArray("/mac/dl/..")}) {
        SCOPED_TRACE(path.toStdString());
        const RawReply reply = get(server, path);
        EXPECT_EQ(reply.status, 404);
        EXPECT_FALSE(reply.body.contains("secret"));
    }
    EXPECT_EQ(get(server, "garbage").status, 400);
}

TEST(DevServer, LogsTelemetryPostsVerbatim) {
    DevServer server({"--rekol-reply", "result=1&extra=2"});
    ASSERT_TRUE(server.isRunning());
    // The payload goes into the form unencoded, so its own & and = must survive.
    const QByteArray payload =
        R"({"#event_name":"vexa_lmdoc_mac_install","note":"a&b=c&client=7","properties":{"x":1}})";
    EXPECT_EQ(post(server, "/rekol/install",
                   "appid=4e7a0c2b9d3f41e68a5b7c9d0e1f2a3b&data=" + payload + "&client=1"),
              "result=1&extra=2");
    EXPECT_EQ(post(server, "/rekol/other", "appid=ab&data=not json at all&client=1"),
              "result=1&extra=2");
    EXPECT_EQ(post(server, "/rekol/bad", "hello"), "result=0");

    ASSERT_TRUE(server.waitForTelemetry(3));
    const QList<QJsonObject> log = server.telemetry();
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[0]["path"].toString(), "/rekol/install");
    EXPECT_EQ(log[0]["table"].toString(), "vexa_lmdoc_mac_install");
    EXPECT_EQ(log[0]["appid"].toString(), "4e7a0c2b9d3f41e68a5b7c9d0e1f2a3b");
    EXPECT_EQ(log[0]["client"].toString(), "1");
    EXPECT_EQ(log[0]["data"].toObject()["note"].toString(), "a&b=c&client=7");
    EXPECT_EQ(log[0]["headers"].toObject()["content-type"].toString(),
              "application/x-www-form-urlencoded");

    EXPECT_TRUE(log[1]["table"].isNull());
    EXPECT_EQ(log[1]["data"].toString(), "not json at all");

    EXPECT_EQ(log[2]["error"].toString(), "malformed form");
    EXPECT_EQ(log[2]["raw"].toString(), "hello");
}
