#include "install/BackgroundSha256.h"

BackgroundSha256::BackgroundSha256()
    : m_thread([this] { run(); }) {}

BackgroundSha256::~BackgroundSha256() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_waiting.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundSha256::add(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waitingBytes < kMaxWaiting; });
    m_waiting.push_back(bytes);
    m_waitingBytes += bytes.size();
    m_changed.notify_all();
}

QByteArray BackgroundSha256::result() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.empty() && !m_busy; });
    return m_hash.result(); // the worker is idle until the next add()
}

void BackgroundSha256::reset() {
    std::unique_lock lock(m_mutex);
    for (const QByteArray& piece : m_waiting)
        m_waitingBytes -= piece.size();
    m_waiting.clear();
    m_changed.wait(lock, [this] { return !m_busy; });
    m_hash.reset();
    m_changed.notify_all();
}

void BackgroundSha256::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_waiting.empty(); });
        if (m_stop)
            return;
        const QByteArray piece = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_busy = true;
        lock.unlock();
        m_hash.add(piece.constData(), piece.size());
        lock.lock();
        m_busy = false;
        m_waitingBytes -= piece.size();
        m_changed.notify_all();
    }
}
