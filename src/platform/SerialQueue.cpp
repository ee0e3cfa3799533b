#include "platform/SerialQueue.h"

#include <QMetaObject>

SerialQueue::SerialQueue(const QString& name)
    : m_context(new serialqueue::Context(m_work)) {
    m_thread.setObjectName(name);
    m_context->moveToThread(&m_thread);
    // The context dies on its own thread, after the work posted before quit().
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

SerialQueue::~SerialQueue() {
    // Queued after every item already posted, so those still run.
    post([this] { m_thread.quit(); });
    m_thread.wait();
}

void SerialQueue::post(std::function<void()> work) {
    // Read before the push: the list's lock orders it before the queue's thread
    // runs the item, which may delete this queue.
    QObject* const context = m_context;
    m_work.push(std::move(work));
    // One event per item: each runs the oldest, so items keep their order and
    // interleave with the thread's other events (network replies) as posted.
    QMetaObject::invokeMethod(context, "runOne", Qt::QueuedConnection);
}
