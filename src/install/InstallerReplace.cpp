// Installer: replacing the application, process control and launch.
#include "base/Log.h"
#include "install/Installer.h"
#include "install/ProcessRunner.h"

#include <QFile>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
fs::path fsPath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

// Something (a folder, a file or a link, even a dangling one) is at path.
bool occupied(const QString& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(fsPath(path), ec));
}
} // namespace

bool Installer::installPackage() {
    const SystemCommands& commands = *m_commands;
    const QString app = m_paths.app();
    const QString staging = generateRandomPath();
    checkAndCreateFolder(staging + "/temp");
    checkAndCreateFolder(staging);

    m_mountPointPath = staging + "/Lumadoc";
    logLine("mountPath " + ProcessRunner::debugForm(m_mountPointPath));
    const QString mountPoint = *m_mountPointPath;

    if (!mountDMG(m_dmgPath, mountPoint, commands) && !demountDMG(mountPoint, commands)) {
        // Nothing was attached and nothing moved: the folder holds nothing of value.
        removeFolder(staging);
        return false;
    }

    const QString backup = staging + "/Lumadoc.app.bak";
    const bool moved = mvFile(app, backup, commands);
    // A move onto an application still in place would put the new one inside it.
    const bool appCleared = moved || !occupied(app);
    if (!appCleared)
        logLine("The installed application could not be set aside: " + app);

    bool ok = false;
    if (appCleared) {
        const QString copy = staging + "/temp/Lumadoc.app";
        const ProcessRunner::Result copied =
            ProcessRunner::run(commands.copyTree(mountPoint + "/Lumadoc.app", copy));
        // A partial copy must never replace a working application.
        if (copied.succeeded())
            ok = mvFile(copy, app, commands);
        else
            logLine("Copy out of the disk image failed: " +
                    QString::fromLocal8Bit(copied.output).trimmed());
    }

    bool restoreFailed = false;
    if (!ok && moved && !mvFile(backup, app, commands))
        restoreFailed = true;

    if (!demountDMG(mountPoint, commands))
        ok = false;

    if (restoreFailed) {
        // The staging folder holds the only copy of the previous application.
        removeFolder(staging + "/temp");
        logLine("The previous application could not be restored; it is kept at " + backup);
    } else {
        removeFolder(staging);
    }
    return ok;
}

bool Installer::mvFile(const QString& src, const QString& dst, const SystemCommands& commands) {
    const QString line = commands.move(src, dst);
    logLine(line);
    const bool ok = runLine(commands, line);
    if (!ok)
        logLine("mvFile An error occurred");
    return ok;
}

bool Installer::cpFile(const QString& src, const QString& dst) {
    std::error_code ec;
    if (occupied(dst))
        ec = std::make_error_code(std::errc::file_exists);
    else
        fs::copy(fsPath(src), fsPath(dst),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        logLine("cpFile " + src + " to " + dst + " error " +
                QString::fromLocal8Bit(ec.message().c_str()));
        return false;
    }
    return true;
}

bool Installer::checkIfUsingNow(const ProductPaths& paths, const SystemCommands& commands) {
    std::optional<QString> output;
    if (!runLine(commands, commands.findRunning(paths.userPrograms()), &output)) {
        logLine("checkIfUsingNow An error occurred");
        return false;
    }
    return output.has_value();
}

void Installer::shutDownServices(const ProductPaths& paths, const SystemCommands& commands) {
    if (!runLine(commands, commands.stopRunning(paths.services())))
        logLine("shutDownServices An error occurred");
    if (!runLine(commands, commands.stopRunning({paths.helper()})))
        logLine("shutDownServices An error occurred");
}

void Installer::resumeServices(const ProductPaths& paths, const SystemCommands& commands) {
    if (!runLine(commands, commands.startInBackground(paths.protectionService(), "/start")))
        logLine("resumeServices lmguard error occurred");
}

bool Installer::startUse(const ProductPaths& paths, const SystemCommands& commands) {
    const ProgramCall call = commands.launch(paths.app(), bundleExecutable(paths.app()));
    bool ok = false;
    if (!call.isValid())
        ok = false;
    else if (call.detached)
        ok = ProcessRunner::startDetached(call);
    else
        ok = runCall(call);
    if (!ok)
        logLine("open An error occurred");
    return ok;
}
