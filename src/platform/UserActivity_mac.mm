#include "platform/UserActivity.h"

#import <Foundation/Foundation.h>

UserActivity::UserActivity(const char* reason) {
    @autoreleasepool {
        // CFBridgingRetain: the token is ours to end, with or without ARC.
        m_token = CFBridgingRetain([NSProcessInfo.processInfo
            beginActivityWithOptions:NSActivityUserInitiatedAllowingIdleSystemSleep
                              reason:@(reason)]);
    }
}

void UserActivity::end() {
    if (!m_token)
        return;
    @autoreleasepool {
        [NSProcessInfo.processInfo endActivity:CFBridgingRelease(m_token)];
    }
    m_token = nullptr;
}
