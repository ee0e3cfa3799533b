#pragma once
// Tests that drive the Linux stand-ins themselves (genisoimage images, 7zz,
// procps pgrep, /proc, tmpfs mounts) run only on Linux; elsewhere they are
// skipped with the reason. The macOS command lines are checked as text on
// every platform.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>
#define SKIP_WITHOUT_LINUX_TOOLS() static_cast<void>(0)
#else
#define SKIP_WITHOUT_LINUX_TOOLS()                                                                 \
    GTEST_SKIP() << "needs the Linux tools (genisoimage, 7zz, procps, /proc)"
#endif

// The real HFS+ images of tests/data/dmg go through the platform's own
// commands: 7zz on Linux; hdiutil, ditto and mv on macOS.
#if defined(__linux__) || defined(__APPLE__)
#define SKIP_WITHOUT_DISK_IMAGE_TOOLS() static_cast<void>(0)
#else
#define SKIP_WITHOUT_DISK_IMAGE_TOOLS() GTEST_SKIP() << "needs 7zz or hdiutil"
#endif

// Mounts a tmpfs of `megabytes` at dir; false where this process may not
// (not root, a container that forbids it, not Linux).
inline bool mountTmpfs(const QString& dir, int megabytes) {
#ifdef __linux__
    const QByteArray options = "size=" + QByteArray::number(megabytes) + "m";
    return ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, options.constData()) ==
           0;
#else
    (void)dir;
    (void)megabytes;
    return false;
#endif
}

// Undoes mountTmpfs, lazily: whatever still uses it keeps it until done.
inline void unmountTmpfs(const QString& dir) {
#ifdef __linux__
    ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
#else
    (void)dir;
#endif
}

// Makes a mounted tmpfs read-only, for everyone (root included).
inline bool remountReadOnly(const QString& dir) {
#ifdef __linux__
    return ::mount("tmpfs", QFile::encodeName(dir).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                   nullptr) == 0;
#else
    (void)dir;
    return false;
#endif
}

// Sets or clears the immutable flag of path (chattr +i / -i): not even root may
// change, rename or remove it. False where the file system or the process may not.
inline bool setImmutable(const QString& path, bool on) {
#ifdef __linux__
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
#else
    (void)path;
    (void)on;
    return false;
#endif
}

// Writes a file into dir until its file system has no room left.
inline void fillUp(const QString& dir) {
    QFile filler(dir + "/filler");
    if (!filler.open(QIODevice::WriteOnly))
        return;
    const QByteArray block(64 * 1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    const QByteArray byte(1, 'f');
    while (filler.write(byte) == 1 && filler.flush()) {
    }
}

// A tmpfs of `megabytes` at dir for the object's lifetime; mounted is false
// where this process may not mount (not root, or a container that forbids it).
struct Tmpfs {
    QString dir;
    bool mounted = false;
    Tmpfs(const QString& at, int megabytes)
        : dir(at) {
        QDir().mkpath(dir);
        mounted = mountTmpfs(dir, megabytes);
    }
    ~Tmpfs() {
        if (mounted)
            unmountTmpfs(dir);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
};
