#include "platform/SerialQueue.h"

#include <QMetaObject>

SerialQueue::SerialQueue(const QString& name)
    : m_context(new QObject) {
    m_thread.setObjectName(name);
    m_context->moveToThread(&m_thread);
    // The context dies on its own thread, after the work posted before quit().
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

SerialQueue::~SerialQueue() {
    // Queued after every item already posted, so those still run.
    QMetaObject::invokeMethod(
        m_context, [this] { m_thread.quit(); }, Qt::QueuedConnection);
    m_thread.wait();
}

void SerialQueue::post(std::function<void()> work) {
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::QueuedConnection);
}
