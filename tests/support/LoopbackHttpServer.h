#pragma once
// A minimal HTTP/1.1 server on 127.0.0.1 with its own thread, so it keeps answering
// while the test's main thread blocks. It records every request.

#include "platform/SerialQueue.h"

#include <QMap>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

class QTcpSocket;

class LoopbackHttpServer {
public:
    struct Request {
        QByteArray method, path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };
    struct Reply {
        int status = 200;
        QByteArray body = "result=1";
        bool hang = false;    // read the request, never answer
        bool endless = false; // after the body, 1 MiB of spaces; no length, never closed
    };

    LoopbackHttpServer();

    QString url(const QString& path = "/rekol") const {
        return QString("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    // Applies to requests whose body arrives from now on.
    void setReply(const Reply& reply) {
        std::lock_guard lock(m_mutex);
        m_reply = reply;
    }
    std::vector<Request> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    // True when at least `count` requests have arrived within the timeout.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    // A port on 127.0.0.1 where nothing listens (bound, then released).
    static quint16 deadPort();

private:
    void onReadable(QTcpSocket* socket);

    quint16 m_port = 0;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    Reply m_reply;
    std::vector<Request> m_requests;
    SerialQueue m_queue{"LoopbackHttpServer"}; // last: stops first, while the rest still lives
};
