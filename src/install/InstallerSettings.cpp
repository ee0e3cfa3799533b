#include "install/Installer.h"

#include "base/Globals.h"
#include "base/Log.h"
#include "base/WholeFile.h"

#include <QDir>
#include <QFileInfo>

std::optional<QString> Installer::getAppDataLocationPath(const QString& appName,
                                                         const QString& /*orgName*/) {
    return appDataLocation(appName);
}

void Installer::ensureIniFileExisted() {
    const std::optional<QString> productDir = getAppDataLocationPath("Lumadoc");
    if (!productDir)
        return;
    const QString target = *productDir + "/reg/common.ini";
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        return;
    // Made in place, new: a file that appears meanwhile (the product's own) is
    // never overwritten, and no staging folder is needed.
    if (!QDir().mkpath(*productDir + "/reg")) {
        logLine(lcSettings(), "Error creating directory: " + *productDir + "/reg");
        return;
    }
    const QString error = createFileNew(target, {});
    if (!error.isEmpty() && !QFileInfo::exists(target))
        logLine(lcSettings(), "Error create file: " + error);
}
