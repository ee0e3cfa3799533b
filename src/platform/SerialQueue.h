#pragma once
// A named thread with its own event loop that runs posted work one item at a
// time, in the order posted. QObjects created by posted work live on it.

#include "platform/WorkList.h"

#include <QString>
#include <QThread>
#include <functional>

namespace serialqueue {
// Lives on the queue's thread and runs the list's oldest item when asked. Asked
// by name, so the request Qt queues holds nothing of ours: the list (locked) is
// the only hand-over between the threads.
class Context : public QObject {
    Q_OBJECT
public:
    explicit Context(WorkList& work)
        : m_work(work) {}
    Q_INVOKABLE void runOne() { m_work.runOne(); }

private:
    WorkList& m_work;
};
} // namespace serialqueue

class SerialQueue {
public:
    explicit SerialQueue(const QString& name);
    // Finishes the work already posted, then stops the thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void post(std::function<void()> work);

    // Object that lives on the queue's thread (a parent or context for QObjects).
    QObject* context() const { return m_context; }
    QThread* thread() const { return const_cast<QThread*>(&m_thread); }
    bool isCurrent() const { return QThread::currentThread() == &m_thread; }

private:
    WorkList m_work;
    QThread m_thread;
    serialqueue::Context* m_context;
};
