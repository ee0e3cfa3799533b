#include "platform/WaitGroup.h"

void WaitGroup::enter() {
    std::lock_guard lock(m_mutex);
    ++m_count;
}

void WaitGroup::leave() {
    std::lock_guard lock(m_mutex);
    if (m_count > 0 && --m_count == 0)
        m_zero.notify_all();
}

bool WaitGroup::wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    m_zero.wait_for(lock, timeout, [this] { return m_count == 0 || m_released; });
    return m_count == 0;
}

void WaitGroup::release() {
    std::lock_guard lock(m_mutex);
    m_released = true;
    m_zero.notify_all();
}

int WaitGroup::count() const {
    std::lock_guard lock(m_mutex);
    return m_count;
}
