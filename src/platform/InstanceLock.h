#pragma once
// One installer at a time per user: an exclusive advisory lock on a file,
// held until the object goes (or the process dies, when the system drops it).

#include <QString>

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock on path (created, with its folder, when missing) without
    // waiting. False when another process holds it; a lock file that cannot
    // be made at all does not stop the installer (logged), so true then.
    bool acquire(const QString& path);

private:
    int m_fd = -1;
};
