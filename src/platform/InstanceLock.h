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

    enum class Outcome {
        Taken,
        Held,   // another process holds it
        Failed, // it cannot be taken at all (error() says why)
    };

    // Takes the lock on path (created, with its folder, when missing) without
    // waiting. The file is never reached through a link: a link at path,
    // even a dangling one, is a failure.
    Outcome acquire(const QString& path);
    // Why the last acquire failed, in the system's words.
    const QString& error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};
