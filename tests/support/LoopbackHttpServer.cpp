#include "support/LoopbackHttpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <future>

namespace {

// Parses a complete request out of `buffer`; false while it is incomplete.
bool parseRequest(const QByteArray& buffer, LoopbackHttpServer::Request& out) {
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    out.method = requestLine.value(0);
    out.path = requestLine.value(1);
    out.headers.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            out.headers.insert(lines[i].left(colon).trimmed().toLower(),
                               lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = out.headers.value("content-length", "0").toLongLong();
    if (buffer.size() - (headerEnd + 4) < length)
        return false;
    out.body = buffer.mid(headerEnd + 4, length);
    return true;
}

QByteArray reasonPhrase(int status) {
    return status < 400 ? "OK" : "Error";
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer() {
    std::promise<quint16> listening;
    m_queue.post([this, &listening] {
        m_server = new QTcpServer(m_queue.context());
        QObject::connect(m_server, &QTcpServer::newConnection, m_server,
                         [this] { onConnection(); });
        m_server->listen(QHostAddress::LocalHost, 0);
        listening.set_value(m_server->serverPort());
    });
    m_port = listening.get_future().get();
}

LoopbackHttpServer::~LoopbackHttpServer() {
    std::promise<void> closed;
    m_queue.post([this, &closed] {
        delete m_server; // its sockets are its children
        closed.set_value();
    });
    closed.get_future().wait();
}

QString LoopbackHttpServer::url(const QString& path) const {
    return QString("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void LoopbackHttpServer::setReply(const Reply& reply) {
    std::lock_guard lock(m_mutex);
    m_reply = reply;
}

void LoopbackHttpServer::setReplyForNext(int count, const Reply& reply) {
    std::lock_guard lock(m_mutex);
    m_nextReply = reply;
    m_nextCount = count;
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool LoopbackHttpServer::waitForRequests(std::size_t count,
                                         std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

quint16 LoopbackHttpServer::deadPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void LoopbackHttpServer::onConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(m_server);
        QObject::connect(socket, &QTcpSocket::readyRead, socket,
                         [this, socket] { onReadable(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackHttpServer::onReadable(QTcpSocket* socket) {
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    socket->setProperty("buffer", buffer);
    Request request;
    if (socket->property("done").toBool() || !parseRequest(buffer, request))
        return;
    socket->setProperty("done", true);

    Reply reply;
    {
        std::lock_guard lock(m_mutex);
        if (m_nextCount > 0) {
            --m_nextCount;
            reply = m_nextReply;
        } else {
            reply = m_reply;
        }
        m_requests.push_back(request);
    }
    m_arrived.notify_all();
    if (reply.hang)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                      reasonPhrase(reply.status) + "\r\nContent-Type: text/plain\r\n" +
                      "Content-Length: " + QByteArray::number(reply.body.size()) +
                      "\r\nConnection: close\r\n\r\n";
    socket->write(head + reply.body);
    socket->disconnectFromHost();
}
