#include "support/LoopbackHttpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <future>

// Parses a complete request out of `buffer`; false while it is incomplete.
static bool parseRequest(const QByteArray& buffer, LoopbackHttpServer::Request& out) {
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    out = {requestLine.value(0), requestLine.value(1), {}, {}};
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            out.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const qsizetype length = out.headers.value("content-length", "0").toLongLong();
    out.body = buffer.mid(headerEnd + 4, length);
    return out.body.size() == length;
}

LoopbackHttpServer::LoopbackHttpServer() {
    std::promise<quint16> listening;
    m_queue.post([this, &listening] {
        auto* server = new QTcpServer(m_queue.context()); // goes with the queue
        QObject::connect(server, &QTcpServer::newConnection, server, [this, server] {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { onReadable(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        server->listen(QHostAddress::LocalHost, 0);
        listening.set_value(server->serverPort());
    });
    m_port = listening.get_future().get();
}

bool LoopbackHttpServer::waitForRequests(std::size_t count,
                                         std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

quint16 LoopbackHttpServer::deadPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed as the probe goes
}

void LoopbackHttpServer::onReadable(QTcpSocket* socket) {
    const QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    socket->setProperty("buffer", buffer);
    Request request;
    if (socket->property("done").toBool() || !parseRequest(buffer, request))
        return;
    socket->setProperty("done", true);
    Reply reply;
    {
        std::lock_guard lock(m_mutex);
        reply = m_reply;
        m_requests.push_back(request);
    }
    m_arrived.notify_all();
    if (reply.hang)
        return;
    const QByteArray length =
        reply.endless ? QByteArray()
                      : "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    socket->write("HTTP/1.1 " + QByteArray::number(reply.status) +
                  (reply.status < 400 ? " OK" : " Error") + "\r\nContent-Type: text/plain\r\n" +
                  length + "Connection: close\r\n\r\n" + reply.body);
    if (reply.endless)
        socket->write(QByteArray(1 << 20, ' ')); // more than any client takes
    else
        socket->disconnectFromHost();
}
