// Installer: replacing the application, process control and launch.
#include "install/Installer.h"

#include "base/Log.h"
#include "base/PhaseClock.h"
#include "install/InstallJournal.h"
#include "install/ProcessRunner.h"
#include "platform/ProcessScan.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QUuid>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
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

// One rename(2), never into an existing folder; false (quietly) when the two
// paths are on different file systems or anything else stops it.
bool renamed(const QString& src, const QString& dst) {
    if (occupied(dst))
        return false;
    return ::rename(QFile::encodeName(src).constData(), QFile::encodeName(dst).constData()) == 0;
}

// Room the extraction may take beyond what the image lists (block rounding,
// folders), and the free space it must leave.
constexpr qint64 kExtractSlack = 16 * 1024 * 1024;
constexpr qint64 kFreeMargin = 1024 * 1024;

bool sameFileSystem(const QString& a, const QString& b) {
    struct stat first = {};
    struct stat second = {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev;
}

// What the image's bundle will take once attached, from the platform's
// listing; 0 when unknown or when attaching takes no room.
qint64 listedBundleBytes(const SystemCommands& commands, const QString& image) {
    const QString line = commands.listBundle(image);
    if (line.isEmpty())
        return 0;
    const ProcessRunner::Result r = ProcessRunner::run({commands.shell(), {"-c", line}});
    if (!r.succeeded())
        return 0;
    qint64 total = 0;
    for (const QByteArray& row : r.output.split('\n'))
        if (row.startsWith("Size = "))
            total += row.mid(7).trimmed().toLongLong() + 4096; // and its block
    return total;
}
} // namespace

bool Installer::installPackage() {
    const SystemCommands& commands = *m_commands;
    m_failureReason.clear();
    m_keptBackup.clear();
    if (const QString problem = notADiskImage(m_dmgPath); !problem.isEmpty()) {
        m_failureReason = "the download is not a disk image: " + problem;
        logLine(lcInstall(), m_failureReason);
        return false;
    }
    const QString staging = generateRandomPath();
    m_mountPointPath = staging + "/Lumadoc";
    const QString mountPoint = *m_mountPointPath;
    const QString copy = staging + "/temp/Lumadoc.app";
    // Everything this step may make, named before any of it exists.
    InstallJournal::record({{InstallJournal::Entry::Staging, staging},
                            {InstallJournal::Entry::Mount, mountPoint},
                            {InstallJournal::Entry::NewBundle, copy}},
                           "installing");
    checkAndCreateFolder(staging + "/temp");
    checkAndCreateFolder(staging);
    logLine(lcInstall(), "mountPath " + ProcessRunner::debugForm(m_mountPointPath));

    const qint64 listed = listedBundleBytes(commands, m_dmgPath);
    const bool attached = roomFor(listed, QDir::homePath()) && attachWatched(listed, mountPoint);
    PhaseClock::mark("extract");
    // A failed attach may still have brought the bundle out (7-Zip's warnings);
    // one refused, stopped or cut short for its size has not.
    if (!attached && (!m_failureReason.isEmpty() || ProcessRunner::stopping() ||
                      !demountDMG(mountPoint, commands))) {
        // Nothing was attached and nothing moved: the folder holds nothing of value.
        removeFolder(staging);
        return false;
    }

    bool ok = copyOutOfImage(mountPoint + "/Lumadoc.app", copy);
    PhaseClock::mark("check");
    if (ok) {
        ok = swapIn(copy, staging);
        PhaseClock::mark("swap");
    }

    // Only clean-up from here on, which a stop request must not cut short.
    const ProcessRunner::Shield shield;
    if (!demountDMG(mountPoint, commands))
        ok = false;
    // When the previous application could not be put back, its only copy may
    // be in the staging folder: that stays, and the journal still names it.
    if (m_keptBackup.startsWith(staging + '/'))
        removeFolder(staging + "/temp");
    else
        removeFolder(staging);
    return ok;
}

bool Installer::roomFor(qint64 bytes, const QString& folder) {
    // Block rounding and the file system's own records: a little more than the bytes.
    const qint64 needed = bytes + bytes / 64 + 4 * 1024 * 1024;
    const qint64 available = QStorageInfo(folder).bytesAvailable();
    if (bytes <= 0 || available < 0 || available >= needed)
        return true;
    m_failureReason = "not enough disk space in " + folder;
    logLine(lcInstall(),
            m_failureReason + QString(" (%1 bytes needed, %2 free)").arg(needed).arg(available));
    return false;
}

bool Installer::attachWatched(qint64 listedBytes, const QString& mountPoint) {
    if (!m_commands->attachIsPrivateCopy())
        return mountDMG(m_dmgPath, mountPoint, *m_commands);
    // The listing may lie (gzip keeps the size modulo 4 GiB): what the
    // extraction really writes is watched. The free space is cheap to ask
    // often; the tree is measured only when the space taken passes the limit.
    const QString home = QDir::homePath();
    const qint64 limit = listedBytes > 0 ? listedBytes + listedBytes / 16 + kExtractSlack : -1;
    const qint64 freeBefore = QStorageInfo(home).bytesAvailable();
    QString problem;
    const auto checkSize = [&] {
        if (limit > 0 && treeBytes(mountPoint) > limit)
            problem = QStringLiteral("the disk image holds no usable Lumadoc.app (it unpacks to "
                                     "more than the %1 bytes it lists)")
                          .arg(listedBytes);
    };
    const auto keepGoing = [&] {
        const qint64 free = QStorageInfo(home).bytesAvailable();
        if (free >= 0 && free < kFreeMargin)
            problem = "not enough disk space in " + home;
        else if (freeBefore >= 0 && free >= 0 && freeBefore - free > limit)
            checkSize();
        return problem.isEmpty();
    };
    const bool attached = mountDMG(m_dmgPath, mountPoint, *m_commands, keepGoing);
    if (problem.isEmpty())
        checkSize();
    if (problem.isEmpty())
        return attached;
    m_failureReason = problem;
    logLine(lcInstall(), QStringLiteral("Extraction stopped: %1 (%2 bytes written)")
                             .arg(problem)
                             .arg(treeBytes(mountPoint)));
    return false;
}

bool Installer::copyOutOfImage(const QString& source, const QString& copy) {
    const SystemCommands& commands = *m_commands;
    // An extraction is ours to take apart: the bundle moves instead of being copied.
    bool copied = commands.attachIsPrivateCopy() && renamed(source, copy);
    if (!copied && roomFor(treeBytes(source), QDir::homePath())) {
        const ProcessRunner::Result r = ProcessRunner::run(commands.copyTree(source, copy));
        copied = r.succeeded();
        // A partial copy must never replace a working application.
        if (!copied)
            logLine(lcInstall(), "Copy out of the disk image failed: " +
                                     QString::fromLocal8Bit(r.output).trimmed());
    }
    if (!copied)
        return false;
    const QString problem = bundleProblem(copy);
    if (!problem.isEmpty()) {
        m_failureReason = "the disk image holds no usable Lumadoc.app (" + problem + ")";
        logLine(lcInstall(), m_failureReason);
        return false;
    }
    return true;
}

bool Installer::swapIn(const QString& copy, const QString& staging) {
    const SystemCommands& commands = *m_commands;
    const QString app = m_paths.app();
    const QString appsDir = m_paths.applicationsDir();
    // Both renames happen on the applications folder's file system, so that
    // neither is ever a copy that a crash could cut in half.
    QString fresh = copy;
    QString backup = staging + "/Lumadoc.app.bak";
    if (!sameFileSystem(staging, appsDir)) {
        const QString tag = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        fresh = appsDir + "/.Lumadoc.app.new-" + tag;
        backup = appsDir + "/.Lumadoc.app.bak-" + tag;
        if (!roomFor(treeBytes(copy), appsDir))
            return false;
        InstallJournal::record(
            {{InstallJournal::Entry::App, app}, {InstallJournal::Entry::NewBundle, fresh}});
        const ProcessRunner::Result r = ProcessRunner::run(commands.copyTree(copy, fresh));
        if (!r.succeeded()) {
            logLine(lcInstall(), "Copy to the applications folder failed: " +
                                     QString::fromLocal8Bit(r.output).trimmed());
            removeFolder(fresh);
            return false;
        }
    }

    // Once begun, the swap is finished or undone, whatever stop is requested.
    const ProcessRunner::Shield shield;
    if (ProcessRunner::stopping())
        return false;
    InstallJournal::record(
        {{InstallJournal::Entry::App, app}, {InstallJournal::Entry::Backup, backup}}, "swapping");
    // A fresh install has nothing to set aside: no move (a shell and mv) to fail.
    const bool moved = occupied(app) && mvFile(app, backup, commands);
    // A move onto an application still in place would put the new one inside it.
    const bool appCleared = moved || !occupied(app);
    if (!appCleared)
        logLine(lcInstall(), "The installed application could not be set aside: " + app);
    const bool ok = appCleared && mvFile(fresh, app, commands);
    if (ok) {
        InstallJournal::setPhase("swapped");
        if (moved && !backup.startsWith(staging + '/'))
            removeFolder(backup);
    } else {
        if (moved && !mvFile(backup, app, commands)) {
            m_keptBackup = backup;
            m_failureReason = "the previous Lumadoc could not be put back; it is kept at " + backup;
            logLine(lcInstall(),
                    "The previous application could not be restored; it is kept at " + backup);
        }
        if (fresh != copy)
            removeFolder(fresh);
    }
    return ok;
}

bool Installer::mvFile(const QString& src, const QString& dst, const SystemCommands& commands) {
    const QString line = commands.move(src, dst);
    logLine(lcInstall(), line);
    const bool ok = runLine(commands, line);
    if (!ok)
        logLine(lcInstall(), "mvFile An error occurred");
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
        logLine(lcInstall(), "cpFile " + src + " to " + dst + " error " +
                                 QString::fromLocal8Bit(ec.message().c_str()));
        return false;
    }
    return true;
}

bool Installer::checkIfUsingNow(const ProductPaths& paths, const SystemCommands& commands) {
    std::optional<QString> output;
    const bool listed = runLine(commands, commands.findRunning(paths.userPrograms()), &output);
    if (!listed)
        logLine(lcInstall(), "checkIfUsingNow An error occurred");
    if (listed && output.has_value())
        return true;
    // Started as "./docreader" or through a linked folder, a program's command
    // line does not hold its path; the kernel still knows what it runs.
    const QList<qint64> pids = processesRunning(paths.userPrograms());
    if (pids.isEmpty())
        return false;
    logLine(lcInstall(),
            QString("checkIfUsingNow: process %1 runs a Lumadoc program").arg(pids.first()));
    return true;
}

void Installer::shutDownServices(const ProductPaths& paths, const SystemCommands& commands) {
    if (!runLine(commands, commands.stopRunning(paths.services())))
        logLine(lcInstall(), "shutDownServices An error occurred");
    if (!runLine(commands, commands.stopRunning({paths.helper()})))
        logLine(lcInstall(), "shutDownServices An error occurred");
}

void Installer::resumeServices(const ProductPaths& paths, const SystemCommands& commands) {
    if (!runLine(commands, commands.startInBackground(paths.protectionService(), "/start")))
        logLine(lcInstall(), "resumeServices lmguard error occurred");
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
        logLine(lcInstall(), "open An error occurred");
    return ok;
}
