#include "FileSender.h"

#include <QTcpSocket>
#include <algorithm>

namespace {
constexpr qint64 kChunk = 256 * 1024;
constexpr qint64 kHighWater = 1024 * 1024; // unsent bytes queued in the socket at most
} // namespace

FileSender::FileSender(QTcpSocket* socket, const QString& path, const Plan& plan)
    : QObject(socket)
    , m_socket(socket)
    , m_file(path)
    , m_plan(plan) {
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &FileSender::pump);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &FileSender::pump);
}

FileSender::~FileSender() {
    if (onDone)
        onDone(m_sent);
}

bool FileSender::start() {
    if (!m_file.open(QIODevice::ReadOnly) || !m_file.seek(m_plan.offset))
        return false;
    m_clock.start();
    pump();
    return true;
}

// Bytes the throttle lets through now.
qint64 FileSender::allowance() const {
    if (m_plan.throttle <= 0)
        return kChunk;
    const double earned = static_cast<double>(m_plan.throttle) * m_clock.nsecsElapsed() / 1e9;
    return std::max<qint64>(0, static_cast<qint64>(earned) - m_sent);
}

void FileSender::pump() {
    if (m_done || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    qint64 limit = bodyLength();
    if (m_plan.dropAfter >= 0)
        limit = std::min(limit, m_plan.dropAfter);
    if (m_plan.stallAfter >= 0)
        limit = std::min(limit, m_plan.stallAfter);
    // Small steps when throttled, so the rate is smooth rather than bursty.
    const qint64 step =
        m_plan.throttle > 0 ? std::clamp<qint64>(m_plan.throttle / 10, 1, kChunk) : kChunk;
    while (m_socket->bytesToWrite() < kHighWater) {
        if (m_sent >= limit)
            return reachedLimit();
        const qint64 n = std::min(step, limit - m_sent);
        const qint64 allowed = allowance();
        if (allowed < n) {
            const double missing = static_cast<double>(n - allowed);
            m_wait.start(std::max(1, static_cast<int>(missing * 1000 / m_plan.throttle)));
            return;
        }
        const qint64 fromFile = std::clamp<qint64>(m_plan.length - m_sent, 0, n);
        QByteArray bytes = m_file.read(fromFile);
        const qint64 at = m_plan.offset + m_sent;
        if (m_plan.flipAt >= at && m_plan.flipAt < at + bytes.size())
            bytes[m_plan.flipAt - at] = static_cast<char>(~bytes[m_plan.flipAt - at]);
        if (bytes.size() != fromFile) {
            m_done = true;
            m_socket->abort(); // the file shrank or failed under us
            return;
        }
        bytes.append(n - fromFile, '\0');
        if (m_plan.chunked) {
            // A chunk cut by a drop still announces its full size, as a
            // connection broken mid-chunk would; one ends at a stall, so that
            // the body goes on whole after it.
            const qint64 end =
                m_plan.stallAfter >= 0 ? std::min(bodyLength(), m_plan.stallAfter) : bodyLength();
            const qint64 frame = std::min(step, end - m_sent);
            m_socket->write(QByteArray::number(frame, 16) + "\r\n" + bytes +
                            (frame == n ? "\r\n" : ""));
        } else {
            m_socket->write(bytes);
        }
        m_sent += n;
    }
}

void FileSender::reachedLimit() {
    m_done = true;
    if (m_plan.stallAfter >= 0 && m_sent == m_plan.stallAfter && m_sent < bodyLength()) {
        if (m_plan.stallFor >= 0) {
            QTimer::singleShot(static_cast<int>(m_plan.stallFor), this, [this] {
                m_plan.stallAfter = -1;
                m_done = false;
                pump();
            });
        }
        return; // quiet, connection left open
    }
    const bool complete = m_sent == bodyLength() && !m_plan.closeAtEnd;
    if (!complete)
        return closeWhenFlushed();
    if (m_plan.chunked)
        m_socket->write("0\r\n\r\n");
    m_socket->disconnectFromHost(); // after what is queued has gone out
}

void FileSender::closeWhenFlushed() {
    if (m_socket->bytesToWrite() > 0) {
        QTimer::singleShot(5, this, &FileSender::closeWhenFlushed);
        return;
    }
    // A pause before a broken body's close, so the client has read the last
    // bytes before it sees the end, as on a line that really broke; a close
    // that arrives with the data makes some clients quietly re-send.
    QTimer::singleShot(20, this, [this] { m_socket->disconnectFromHost(); });
}
