#pragma once
// The installer's system toolbox: class-level operations only. Defined in
// several sources by concern.

#include <QString>
#include <optional>

class Installer {
public:
    Installer() = delete;

    // Per-user application data folder for appName (orgName takes no part).
    // Logs "Failed to access AppDataLocation." when the platform has none.
    static std::optional<QString> getAppDataLocationPath(const QString& appName,
                                                         const QString& orgName = {});
};
