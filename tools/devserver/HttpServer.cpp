#include "HttpServer.h"

#include "HttpConnection.h"

#include <QTcpSocket>

HttpServer::HttpServer(const ServerOptions& options)
    : m_options(options)
    , m_telemetryLog(options.telemetryLog)
    , m_requestLog(options.requestLog) {
    if (!m_options.signKey.isEmpty())
        m_signer = std::make_unique<ManifestSigner>(m_options);
}

bool HttpServer::start() {
    return listen(QHostAddress::LocalHost, m_options.port);
}

void HttpServer::incomingConnection(qintptr socketDescriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    new HttpConnection(socket, *this); // owned by the socket, which deletes itself when closed
}
