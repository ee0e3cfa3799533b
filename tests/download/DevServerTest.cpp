// The devserver on a raw socket: paths a client library would clean up reach
// it as sent.

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

RawReply get(const DevServer& server, const QByteArray& path) {
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", server.port());
    RawReply reply;
    if (!socket.waitForConnected(5000))
        return reply;
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
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
