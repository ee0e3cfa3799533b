#include "base/SmallFile.h"

#include "base/WholeFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemError() {
    return systemErrorText(errno);
}
} // namespace

std::optional<QByteArray> readSmallFile(const QString& path, QString& error, qint64 limit) {
    // Non-blocking, so opening a FIFO returns at once; the type is then judged
    // on the open descriptor, so nothing can be swapped in between.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = systemError();
        return std::nullopt;
    }
    std::optional<QByteArray> bytes;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = systemError();
    } else if (!S_ISREG(st.st_mode)) {
        error = QStringLiteral("not a regular file");
    } else if (st.st_size > limit) {
        error = QStringLiteral("larger than %1 bytes").arg(limit);
    } else {
        QByteArray data(static_cast<qsizetype>(st.st_size), Qt::Uninitialized);
        qsizetype done = 0;
        ssize_t n = 1;
        while (done < data.size() && n != 0) {
            n = ::read(fd, data.data() + done, size_t(data.size() - done));
            if (n < 0 && errno != EINTR)
                break;
            done += std::max<ssize_t>(n, 0);
        }
        if (done == data.size())
            bytes = std::move(data);
        else
            error = n < 0 ? systemError() : QStringLiteral("the file shrank while it was read");
    }
    ::close(fd);
    return bytes;
}
