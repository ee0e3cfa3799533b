#pragma once
// What the installer view draws: the flow's observable fields, copied. The view
// renders any such state, so stills of every screen can be made without
// running a download or an install.

#include "base/Enums.h"

#include <QtGlobal>

class InstallFlow;

struct ScreenState {
    INSTALLER_STATUS installerStatus = INSTALLER_STATUS::Prepare_to_download;
    bool isShowDragBtn = true;
    bool isExpanded = false;
    bool isUsingNow = false;
    bool isSetDefault = true;
    bool isAssotiateOFD = true;
    qint64 totalDownloaded = 0;       // MiB
    qint64 totalExpectedDownload = 0; // MiB; 0 while unknown
    qint64 remainTime = 0;            // seconds; 0 while unknown
    double progress = 0.0;            // 0..0.8 download, then the install animation

    static ScreenState of(InstallFlow& flow);
    // The start screen as the flow will show it at creation: the custom-installation
    // toggle only when no installation is there to replace.
    static ScreenState atLaunch();

    // The lower part of the progress screen shows the install text from here on.
    static constexpr double kInstallPhase = 0.8;
    bool showsInstallText() const { return progress >= kInstallPhase; }
};
