#include "platform/InstanceLock.h"

#include "base/WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::~InstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

InstanceLock::Outcome InstanceLock::acquire(const QString& path) {
    // Its folder's own failure ("Read-only file system") says more than the open's.
    m_error = makeFolders(QFileInfo(path).absolutePath());
    if (!m_error.isEmpty())
        return Outcome::Failed;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = systemErrorText(errno);
        return Outcome::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Outcome::Held;
        m_error = systemErrorText(error);
        return Outcome::Failed;
    }
    m_fd = fd;
    return Outcome::Taken;
}
