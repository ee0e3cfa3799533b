#include "base/Globals.h"

#include "base/Config.h"
#include "base/Log.h"

#include <QStandardPaths>

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

std::optional<QString> appDataLocation(const QString& appName) {
    // macOS: ~/Library/Application Support; Linux: $XDG_DATA_HOME or ~/.local/share.
    const QString root = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (root.isEmpty()) {
        logLine(lcSettings(), "Failed to access AppDataLocation.");
        return std::nullopt;
    }
    return root + '/' + appName;
}

const std::optional<QString>& g_commonFilePath() {
    // A function-local static is initialised exactly once, even under a race.
    static const std::optional<QString> path = []() -> std::optional<QString> {
        const std::optional<QString> location = appDataLocation("Lumadoc");
        if (!location)
            return std::nullopt;
        logLine(lcSettings(), "get appDataPath " + *location);
        return *location + "/reg/common.ini";
    }();
    return path;
}
