#include "platform/InstanceLock.h"

#include "base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::~InstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InstanceLock::acquire(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        logLine(lcApp(), "installer lock " + path +
                             " unavailable: " + QString::fromLocal8Bit(std::strerror(errno)));
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        if (held)
            return false;
        logLine(lcApp(), "installer lock " + path +
                             " unavailable: " + QString::fromLocal8Bit(std::strerror(errno)));
        return true;
    }
    m_fd = fd;
    return true;
}
