#pragma once
// Tests that drive the Linux stand-ins themselves (genisoimage images, 7zz,
// procps pgrep, /proc, tmpfs mounts) run only on Linux; elsewhere they are
// skipped with the reason. The macOS command lines are checked as text on
// every platform. Mounts and file flags fail where this process may not (not
// root, a container that forbids it, not Linux).

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>
#define SKIP_WITHOUT_LINUX_TOOLS() static_cast<void>(0)

// Makes a mounted tmpfs read-only, for everyone (root included).
inline bool remountReadOnly(const QString& dir) {
    return ::mount("tmpfs", QFile::encodeName(dir).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                   nullptr) == 0;
}

// Sets or clears the immutable flag of path (chattr +i / -i): not even root may
// change, rename or remove it.
inline bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}
#else
#define SKIP_WITHOUT_LINUX_TOOLS()                                                                 \
    GTEST_SKIP() << "needs the Linux tools (genisoimage, 7zz, procps, /proc)"
inline bool remountReadOnly(const QString&) {
    return false;
}
inline bool setImmutable(const QString&, bool) {
    return false;
}
#endif

// The real HFS+ images of tests/data/dmg go through the platform's own
// commands: 7zz on Linux; hdiutil, ditto and mv on macOS.
#if defined(__linux__) || defined(__APPLE__)
#define SKIP_WITHOUT_DISK_IMAGE_TOOLS() static_cast<void>(0)
#else
#define SKIP_WITHOUT_DISK_IMAGE_TOOLS() GTEST_SKIP() << "needs 7zz or hdiutil"
#endif

// Writes a file into dir until its file system has no room left.
inline void fillUp(const QString& dir) {
    QFile filler(dir + "/filler");
    if (!filler.open(QIODevice::WriteOnly))
        return;
    for (const QByteArray& block : {QByteArray(64 * 1024, 'f'), QByteArray(1, 'f')})
        while (filler.write(block) == block.size() && filler.flush()) {
        }
}

// A tmpfs of `megabytes` at dir for the object's lifetime, unmounted lazily:
// whatever still uses it keeps it until done. mounted is false where this
// process may not mount.
struct Tmpfs {
    QString dir;
    bool mounted = false;
    Tmpfs(const QString& at, int megabytes)
        : dir(at) {
        QDir().mkpath(dir);
#ifdef __linux__
        const QByteArray options = "size=" + QByteArray::number(megabytes) + "m";
        mounted = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0,
                          options.constData()) == 0;
#else
        (void)megabytes;
#endif
    }
    ~Tmpfs() {
#ifdef __linux__
        if (mounted)
            ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
#endif
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
};
