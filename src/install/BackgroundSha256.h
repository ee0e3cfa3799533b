#pragma once
// SHA-256 of a stream, computed on a thread of its own so that hashing a
// package does not slow the transfer that feeds it. At most a few MiB wait to
// be hashed; add() blocks beyond that.

#include "install/PackageCrypto.h"

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class BackgroundSha256 {
public:
    BackgroundSha256();
    // Drops what still waits and stops the thread.
    ~BackgroundSha256();

    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

    // Queues bytes to hash; the array is shared, not copied.
    void add(const QByteArray& bytes);
    // Waits until everything added is hashed; returns the 32-byte digest and
    // starts a new stream.
    QByteArray result();
    // Drops what waits and starts a new stream.
    void reset();

private:
    void run();

    static constexpr qint64 kMaxWaiting = 8 * 1024 * 1024;

    Sha256 m_hash; // the worker's only
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_waiting;
    qint64 m_waitingBytes = 0;
    bool m_busy = false; // the worker is hashing a piece taken from m_waiting
    bool m_stop = false;
    std::thread m_thread; // last: starts once the rest exists
};
