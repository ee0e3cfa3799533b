#include "ui/ScreenState.h"

#include "flow/InstallFlow.h"
#include "install/ProductPaths.h"

#include <QFileInfo>

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

ScreenState ScreenState::atLaunch() {
    ScreenState s;
    s.isShowDragBtn = !QFileInfo::exists(ProductPaths().app());
    return s;
}
