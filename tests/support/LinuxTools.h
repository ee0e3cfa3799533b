#pragma once
// Tests that drive the Linux stand-ins themselves (genisoimage images, 7zz,
// procps pgrep, /proc) run only on Linux; elsewhere they are skipped with the
// reason. The macOS command lines are checked as text on every platform.

#include <gtest/gtest.h>

#ifdef __linux__
#define SKIP_WITHOUT_LINUX_TOOLS() static_cast<void>(0)
#else
#define SKIP_WITHOUT_LINUX_TOOLS()                                                                 \
    GTEST_SKIP() << "needs the Linux tools (genisoimage, 7zz, procps, /proc)"
#endif
