#include "base/WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// Writes every byte and flushes them to the disk; 0, or the errno that stopped it.
int writeAllAndSync(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Finishes a file written at fd under temp: synced, closed, then linked in
// by `publish`; on any failure the file is removed. 0 or the errno.
template <typename Publish>
int finish(int fd, const QByteArray& temp, const QByteArray& bytes, Publish publish) {
    int error = writeAllAndSync(fd, bytes);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && !publish())
        error = errno;
    if (error != 0)
        ::unlink(temp.constData());
    return error;
}

// The folder's own entry reaches the disk too, so the rename survives a power cut.
void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString systemErrorText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

QString makeFolders(const QString& folder) {
    std::error_code ec;
    std::filesystem::create_directories(encoded(folder).toStdString(), ec);
    return ec ? systemErrorText(ec.value()) : QString();
}

qint64 freeBytes(const QString& folder) {
    struct statvfs fs {};
    if (::statvfs(encoded(folder).constData(), &fs) != 0)
        return -1;
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

QString replaceFileWhole(const QString& path, const QByteArray& bytes, mode_t mode) {
    const QByteArray target = encoded(path);
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode))
            return QStringLiteral("it is a link");
        if (S_ISDIR(st.st_mode))
            return systemErrorText(EISDIR);
        if (!S_ISREG(st.st_mode))
            return QStringLiteral("not a regular file");
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return systemErrorText(errno);
    }
    const QByteArray folder = encoded(QFileInfo(path).absolutePath());
    QByteArray temp = folder + "/." + encoded(QFileInfo(path).fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return systemErrorText(errno);
    if (::fchmod(fd, mode) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temp.constData());
        return systemErrorText(error);
    }
    const int error = finish(fd, temp, bytes,
                             [&] { return ::rename(temp.constData(), target.constData()) == 0; });
    if (error != 0)
        return systemErrorText(error);
    syncFolder(folder);
    return {};
}

QString createFileNew(const QString& path, const QByteArray& bytes, mode_t mode) {
    const QByteArray target = encoded(path);
    const int fd =
        ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return systemErrorText(errno);
    const int error = finish(fd, target, bytes, [] { return true; });
    return error == 0 ? QString() : systemErrorText(error);
}
