#include "install/Installer.h"

#include "install/InstallJournal.h"

#include "base/Globals.h"
#include "base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

std::optional<QString> Installer::getAppDataLocationPath(const QString& appName,
                                                         const QString& /*orgName*/) {
    return appDataLocation(appName);
}

void Installer::ensureIniFileExisted() {
    const std::optional<QString> productDir = getAppDataLocationPath("Lumadoc");
    if (!productDir)
        return;
    const QString target = *productDir + "/reg/common.ini";
    if (QFileInfo::exists(target))
        return;

    // Built in a staging folder, then copied over whatever part is missing.
    const QString staging = generateRandomPath();
    InstallJournal::note(InstallJournal::Entry::Staging, staging);
    const QString stagedProduct = staging + "/Lumadoc";
    std::error_code ec;
    std::filesystem::create_directories(QFile::encodeName(stagedProduct + "/reg").toStdString(),
                                        ec);
    if (ec) {
        logLine(lcSettings(),
                "Error creating directory: " + QString::fromLocal8Bit(ec.message().c_str()));
        removeFolder(staging);
        return;
    }
    QSaveFile file(stagedProduct + "/reg/common.ini");
    if (!file.open(QIODevice::WriteOnly) || !file.commit())
        logLine(lcSettings(), "Error create file: " + file.errorString());

    // The data folder itself may be missing on a fresh Linux account.
    QDir().mkpath(QFileInfo(*productDir).absolutePath());
    if (!cpFile(stagedProduct, *productDir) &&
        !cpFile(stagedProduct + "/reg", *productDir + "/reg"))
        cpFile(stagedProduct + "/reg/common.ini", target);

    removeFolder(staging);
}
