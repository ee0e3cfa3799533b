#include "flow/Globals.h"

#include "flow/Config.h"
#include "install/Installer.h"
#include "platform/Log.h"

QString downloadUrl;
std::atomic<INSTALLER_STATUS> g_installerStatus{INSTALLER_STATUS::Prepare_to_download};

QString userProtocolUrl() {
    return Config::get().webBaseUrl + "/terms/member-service-agreement";
}
QString privacyInductionUrl() {
    return Config::get().webBaseUrl + "/privacy";
}
QString feedbackUrl() {
    return Config::get().webBaseUrl + "/contact-us";
}

ReportBlock& reporterBlock() {
    static ReportBlock block;
    return block;
}

const std::optional<QString>& g_commonFilePath() {
    // A function-local static is initialised exactly once, even under a race.
    static const std::optional<QString> path = []() -> std::optional<QString> {
        const std::optional<QString> location = Installer::getAppDataLocationPath("Lumadoc");
        if (!location)
            return std::nullopt;
        logLine("get appDataPath " + *location);
        return *location + "/reg/common.ini";
    }();
    return path;
}
