#include "platform/UserActivity.h"

#include <QtGlobal>

UserActivity::~UserActivity() {
    end();
}

// macOS has its own definitions in UserActivity_mac.mm.
#ifndef Q_OS_MACOS
UserActivity::UserActivity(const char*) {}

void UserActivity::end() {}
#endif
