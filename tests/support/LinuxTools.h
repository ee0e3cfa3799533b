#pragma once
// Tests that drive the Linux stand-ins themselves (genisoimage images, 7zz,
// procps pgrep, /proc, tmpfs mounts) run only on Linux; elsewhere they are
// skipped with the reason. The macOS command lines are checked as text on
// every platform.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

#ifdef __linux__
#include <sys/mount.h>
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
