#include "install/Installer.h"

#include "platform/Log.h"

#include <QStandardPaths>

std::optional<QString> Installer::getAppDataLocationPath(const QString& appName,
                                                         const QString& /*orgName*/) {
    // macOS: ~/Library/Application Support; Linux: $XDG_DATA_HOME or ~/.local/share.
    const QString root = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (root.isEmpty()) {
        logLine("Failed to access AppDataLocation.");
        return std::nullopt;
    }
    return root + '/' + appName;
}
