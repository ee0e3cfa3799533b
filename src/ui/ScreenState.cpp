#include "ui/ScreenState.h"

#include "flow/InstallFlow.h"

ScreenState ScreenState::of(InstallFlow& flow) {
    ScreenState s;
    s.installerStatus = flow.installerStatus();
    s.isShowDragBtn = flow.isShowDragBtn();
    s.isExpanded = flow.isExpanded();
    s.isUsingNow = flow.isUsingNow();
    s.isSetDefault = flow.isSetDefault();
    s.isAssotiateOFD = flow.userProfileModel().isAssotiateOFD();
    s.totalDownloaded = flow.totalDownloaded();
    s.totalExpectedDownload = flow.totalExpectedDownload();
    s.remainTime = flow.remainTime();
    s.progress = flow.progress();
    return s;
}
