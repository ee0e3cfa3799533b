#pragma once
// Counts work in flight; wait() blocks until it drops to zero or time runs out.

#include <chrono>
#include <condition_variable>
#include <mutex>

class WaitGroup {
public:
    void enter();
    void leave(); // never below zero
    // True when the count reached zero within the timeout.
    bool wait(std::chrono::milliseconds timeout);
    // Every wait, now and later, ends at once as if timed out.
    void release();
    int count() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_zero;
    int m_count = 0;
    bool m_released = false;
};
