#pragma once
// Work handed from one thread to another: a locked first-in, first-out list.
// The lock (rather than Qt's event queue alone) makes the hand-over visible to
// ThreadSanitizer, whose view of Qt's own locking is blind.

#include <deque>
#include <functional>
#include <mutex>

class WorkList {
public:
    WorkList() = default;
    // Taking the lock orders the end after the other thread's last use: that
    // thread's own end is a join ThreadSanitizer cannot see either.
    ~WorkList() { std::lock_guard lock(m_mutex); }
    WorkList(const WorkList&) = delete;
    WorkList& operator=(const WorkList&) = delete;

    void push(std::function<void()> work) {
        std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(work));
    }

    // Runs the oldest item, outside the lock; false when there was none.
    bool runOne() {
        std::function<void()> work;
        {
            std::lock_guard lock(m_mutex);
            if (m_items.empty())
                return false;
            work = std::move(m_items.front());
            m_items.pop_front();
        }
        if (work)
            work();
        return true;
    }

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_items;
};
