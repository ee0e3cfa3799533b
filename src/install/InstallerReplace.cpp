// Installer: replacing the application, process control and launch.
#include "install/Installer.h"

#include "base/Config.h"
#include "base/Log.h"
#include "base/PhaseClock.h"
#include "base/WholeFile.h"
#include "install/InstallJournal.h"
#include "install/JournalFile.h"
#include "install/ProcessRunner.h"
#include "platform/ProcessScan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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

// The default applications folder, under the home, may not exist yet: it is
// made 0755 whatever the umask, like /Applications, one level only (a missing
// parent is a wrong setting). Returns why it could not be, empty when the
// folder is there.
QString makeFolderIfMissing(const QString& dir) {
    if (QFileInfo(dir).isDir())
        return {};
    const QByteArray path = QFile::encodeName(dir);
    if (::mkdir(path.constData(), 0755) == 0 && ::chmod(path.constData(), 0755) == 0) {
        logLine(lcInstall(), "Created the applications folder " + dir);
        return {};
    }
    const int error = errno;
    return QFileInfo(dir).isDir() ? QString() : QString::fromLocal8Bit(std::strerror(error));
}

// What the image's bundle will take once attached, from the platform's
// listing; 0 when unknown or when attaching takes no room.
qint64 listedBundleBytes(const SystemCommands& commands, const QString& image) {
    const QString line = commands.listBundle(image);
    if (line.isEmpty())
        return 0;
    const ProcessRunner::Result r = ProcessRunner::run(commands.shellCall(line));
    if (!r.succeeded())
        return 0;
    qint64 total = 0;
    for (const QByteArray& row : r.output.split('\n'))
        if (row.startsWith("Size = "))
            total += row.mid(7).trimmed().toLongLong() + 4096; // and its block
    return total;
}

// Nothing came out of it: 7-Zip cannot tell a damaged image from one without the bundle.
constexpr char kNoBundle[] = "the disk image cannot be opened or holds no Lumadoc.app";
} // namespace

bool Installer::installPackage() {
    const SystemCommands& commands = *m_commands;
    m_failureReason.clear();
    m_keptBackup.clear();
    if (const QString problem = notADiskImage(m_dmgPath); !problem.isEmpty())
        return fail("the download is not a disk image: " + problem);
    const QString staging = InstallJournal::stagingFolder();
    // Named in the journal before it exists; without a journal nothing is made.
    if (!applicationsFolderUsable() ||
        !journalled(InstallJournal::enterPhase("installing", InstallJournal::Made::Staging)) ||
        !makeStaging(staging))
        return false;

    m_mountPointPath = staging + "/Lumadoc";
    logLine(lcInstall(), "mountPath " + ProcessRunner::debugForm(m_mountPointPath));
    const QString mountPoint = *m_mountPointPath;

    const qint64 listed = listedBundleBytes(commands, m_dmgPath);
    const bool attached = roomFor(listed, QDir::homePath()) && attachWatched(listed, mountPoint);
    PhaseClock::mark("extract");
    // A failed attach may still have brought the bundle out (7-Zip's warnings);
    // one refused, stopped or cut short for its size has not.
    if (!attached && (!m_failureReason.isEmpty() || ProcessRunner::stopping() ||
                      !demountDMG(mountPoint, commands))) {
        if (m_failureReason.isEmpty() && !ProcessRunner::stopping())
            fail(kNoBundle);
        // Nothing was attached and nothing moved: the folder holds nothing of value.
        removeFolder(staging);
        return false;
    }

    const QString bundle = mountPoint + "/Lumadoc.app";
    const QString copy = staging + "/temp/Lumadoc.app";
    const QFileInfo found(bundle);
    bool ok = found.exists() || found.isSymLink() ? copyOutOfImage(bundle, copy) : fail(kNoBundle);
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

bool Installer::fail(const QString& reason) {
    m_failureReason = reason;
    logLine(lcInstall(), reason);
    return false;
}

bool Installer::journalled(const QString& problem) {
    return problem.isEmpty() || fail(problem);
}

bool Installer::applicationsFolderUsable() {
    // Said before anything is made, in the system's words.
    const QString apps = m_paths.applicationsDir();
    const Config& config = Config::get();
    if (config.applicationsDirIsDefault && apps == config.applicationsDir) {
        if (const QString problem = makeFolderIfMissing(apps); !problem.isEmpty())
            return fail("cannot create the applications folder " + apps + ": " + problem);
    }
    const QByteArray path = QFile::encodeName(apps);
    struct stat st = {};
    int error = 0;
    if (::stat(path.constData(), &st) != 0)
        error = errno;
    else if (!S_ISDIR(st.st_mode))
        error = ENOTDIR;
    else if (::access(path.constData(), W_OK | X_OK) != 0)
        error = errno;
    if (error != 0)
        return fail("cannot install into " + apps + ": " + systemErrorText(error));
    // A bundle is replaced whole, and a link by itself; any other file there is the user's,
    // and would go with the backup once the new bundle is in.
    const QString app = m_paths.app();
    struct stat old = {};
    if (::lstat(QFile::encodeName(app).constData(), &old) == 0 && !S_ISDIR(old.st_mode) &&
        !S_ISLNK(old.st_mode))
        return fail("cannot replace " + app + ": it is a file, not an application; move it away");
    return true;
}

bool Installer::makeStaging(const QString& staging) {
    for (const QString& folder : {staging, staging + "/temp"}) {
        // New and private; only a folder of this very run (a reinstall) is taken as it is.
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0) {
            logLine(lcInstall(), QStringLiteral("文件夹已创建：") + folder);
            continue;
        }
        const int error = errno;
        QString why = systemErrorText(error);
        if (error == EEXIST && JournalFile::ownership(folder, true, &why) == JournalFile::Owner::Us)
            continue;
        return fail("cannot create the staging folder " + folder + ": " + why);
    }
    return true;
}

bool Installer::roomFor(qint64 bytes, const QString& folder) {
    // Block rounding and the file system's own records: a little more than the bytes.
    const qint64 needed = bytes + bytes / 64 + 4 * 1024 * 1024;
    const qint64 available = freeBytes(folder);
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
    const qint64 freeBefore = freeBytes(home);
    QString problem;
    const auto checkSize = [&] {
        if (limit > 0 && treeBytes(mountPoint) > limit)
            problem = QStringLiteral("the disk image holds no usable Lumadoc.app (it unpacks to "
                                     "more than the %1 bytes it lists)")
                          .arg(listedBytes);
    };
    const auto keepGoing = [&] {
        const qint64 free = freeBytes(home);
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
        fresh = InstallJournal::besideNew(appsDir);
        backup = InstallJournal::besideBackup(appsDir);
        if (!roomFor(treeBytes(copy), appsDir) ||
            !journalled(InstallJournal::noteMade(InstallJournal::Made::Beside)))
            return false;
        const ProcessRunner::Result r = ProcessRunner::run(commands.copyTree(copy, fresh));
        if (!r.succeeded()) {
            const QString said = QString::fromLocal8Bit(r.output).trimmed();
            logLine(lcInstall(), "Copy to the applications folder failed: " + said);
            removeFolder(fresh);
            return fail("cannot copy Lumadoc into " + appsDir + ": " + toolCause(said, r.status));
        }
    }

    // Once begun, the swap is finished or undone, whatever stop is requested.
    const ProcessRunner::Shield shield;
    if (ProcessRunner::stopping() || !journalled(InstallJournal::setPhase("swapping")))
        return false;
    QString cause;
    // A fresh install has nothing to set aside: no move (a shell and mv) to fail.
    const bool moved = occupied(app) && mvFile(app, backup, commands, &cause);
    // A move onto an application still in place would put the new one inside it.
    const bool appCleared = moved || !occupied(app);
    if (!appCleared)
        fail("cannot replace " + app + ": " + cause);
    const bool ok = appCleared && (mvFile(fresh, app, commands, &cause) ||
                                   fail("cannot replace " + app + ": " + cause));
    if (ok) {
        logLine(lcInstall(), "Lumadoc installed in " + app);
        // The swap is done; a journal that cannot say so is settled the same way.
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

bool Installer::mvFile(const QString& src, const QString& dst, const SystemCommands& commands,
                       QString* cause) {
    const QString line = commands.move(src, dst);
    logLine(lcInstall(), line);
    const bool ok = runLine(commands, line, nullptr, cause);
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
