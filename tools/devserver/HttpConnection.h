#pragma once
// One client connection: reads one request, answers it, closes.
//
//   GET|HEAD /mac/dl/<name>      the file <name> of the served folder
//                                (ranges "bytes=N-", "bytes=N-M", "bytes=-N")
//   GET|HEAD /mac/dl/old/<name>  302 to /mac/dl/<name>
//   POST /rekol[/<anything>]     a telemetry post (see RekolForm)

#include "HttpRequest.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>

class HttpServer;
class QTcpSocket;

class HttpConnection : public QObject {
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // Becomes a child of the socket; the socket is deleted once disconnected.
    HttpConnection(QTcpSocket* socket, HttpServer& server);

private:
    void onReadyRead();
    void handle();
    void servePackage(QString name);
    void acceptRekolPost();

    void writeHead(int status, const Headers& headers);
    void reply(int status, const QByteArray& body, Headers headers = {});
    void logRequest(int status, const QString& note = {});

    QTcpSocket* m_socket;
    HttpServer& m_server;
    QByteArray m_buffer;
    std::optional<HttpRequest> m_request; // set once the head is complete
    qint64 m_bodyLength = 0;
    bool m_handled = false;
};
