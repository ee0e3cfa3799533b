#pragma once
// Streams one byte range of a file to a socket, straight from disk: it reads
// a chunk only when the socket's send buffer has room (driven by
// bytesWritten), so memory stays flat whatever the file's size.

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <functional>

class QTcpSocket;

class FileSender : public QObject {
    Q_OBJECT
public:
    struct Plan {
        qint64 offset = 0;
        qint64 length = 0;       // bytes of the file to send from offset
        qint64 padding = 0;      // zero bytes sent after them, as part of the body
        qint64 throttle = 0;     // bytes per second, 0 for no limit
        bool chunked = false;    // frame the body in chunked transfer encoding
        qint64 dropAfter = -1;   // close after this many body bytes (-1: never)
        qint64 stallAfter = -1;  // go quiet after this many body bytes (-1: never)
        qint64 stallFor = -1;    // milliseconds of quiet before going on (-1: for good)
        bool closeAtEnd = false; // close without finishing the body's framing
        qint64 flipAt = -1;      // file offset of a byte sent inverted (-1: none)
    };

    // The sender is a child of the socket; it closes the socket when done.
    FileSender(QTcpSocket* socket, const QString& path, const Plan& plan);
    ~FileSender() override;

    // Called once with the body bytes sent, when the sender goes with its socket.
    std::function<void(qint64 sent)> onDone;

    // Opens the file and starts sending; false (and nothing sent) when the
    // file cannot be read.
    bool start();

    // Body bytes sent so far (without chunk framing).
    qint64 sent() const { return m_sent; }

private:
    void pump();
    void reachedLimit();
    void closeWhenFlushed();
    qint64 allowance() const;
    qint64 bodyLength() const { return m_plan.length + m_plan.padding; }

    QTcpSocket* m_socket;
    QFile m_file;
    Plan m_plan;
    qint64 m_sent = 0;
    bool m_done = false;
    QElapsedTimer m_clock;
    QTimer m_wait;
};
