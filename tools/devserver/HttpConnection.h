#pragma once
// One client connection: reads one request, answers it, closes.
//
//   GET|HEAD /mac/dl/<name>      the file <name> of the served folder
//                                (ranges "bytes=N-", "bytes=N-M", "bytes=-N")
//   GET|HEAD /mac/dl/old/<name>  302 to /mac/dl/<name>
//   GET|HEAD /mac/dl/<name>.json, <name>.json.sig
//                                the signed manifest of <name> (with --sign-key)
//   POST /rekol[/<anything>]     a telemetry post (see RekolForm)

#include "HttpRequest.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>

class HttpServer;
class ManifestSigner;
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
    void serveManifest(ManifestSigner& signer, const QString& name);
    void acceptRekolPost();

    void writeHead(int status, const Headers& headers);
    void reply(int status, const QByteArray& body, Headers headers = {});
    // reply(200, body), sent at bytesPerSecond.
    void trickle(const QByteArray& body, qint64 bytesPerSecond);
    void logRequest(int status, const QString& note = {});
    // The request-log entry of this request, without the bytes sent.
    QJsonObject logEntry(int status) const;

    QTcpSocket* m_socket;
    HttpServer& m_server;
    QByteArray m_buffer;
    std::optional<HttpRequest> m_request; // set once the head is complete
    qint64 m_bodyLength = 0;
    bool m_handled = false;
};
