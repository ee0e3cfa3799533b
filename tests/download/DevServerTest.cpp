// The devserver on a raw socket: paths a client library would clean up reach
// it as sent, and nothing outside its folder is served.
#include "support/DevServer.h"
#include "support/Files.h"

#include <QTcpSocket>
#include <gtest/gtest.h>

// The whole answer to a GET of `path`, head and body as sent.
static QByteArray get(const DevServer& server, const QByteArray& path) {
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", server.port());
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        all += socket.readAll();
    return all + socket.readAll();
}

TEST(DevServer, ServesNothingOutsideItsFolder) {
    DevServer server;
    ASSERT_TRUE(server.isRunning());
    QTemporaryDir outside;
    ASSERT_FALSE(writeFile(outside.filePath("secret.dmg"), "secret").isEmpty());
    const QByteArray up = "../../../../../.." + outside.path().toUtf8() + "/secret.dmg";
    for (const QByteArray& path : {"/mac/dl/" + up, "/mac/dl/" + QByteArray(up).replace("/", "%2F"),
                                   QByteArray("/mac/dl/"), QByteArray("/mac/dl/..")}) {
        const QByteArray reply = get(server, path);
        EXPECT_TRUE(reply.startsWith("HTTP/1.1 404 ")) << reply.left(12).toStdString();
        EXPECT_FALSE(reply.contains("secret")) << path.toStdString();
    }
    EXPECT_TRUE(get(server, "garbage").startsWith("HTTP/1.1 400 "));
}
