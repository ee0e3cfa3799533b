#pragma once
// One installation attempt (dmgPath, mountPointPath) and, at class level, the
// installer's system toolbox: the command runner and probes, disk images and
// staging folders, replacement and process control, the settings file and the
// installation record. Defined in several sources by concern.
//
// Every operation blocks its caller until its commands and file work are done,
// logs its failures in one line each and never throws.

#include "base/ReportBlock.h"
#include "install/ProductPaths.h"
#include "platform/SystemCommands.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

enum class OS_TYPE { unknown, arm, x86 };

class Installer {
public:
    // One attempt to install the image at dmgPath over paths.app().
    explicit Installer(QString dmgPath, ProductPaths paths = ProductPaths(),
                       const SystemCommands& commands = SystemCommands::current());

    const QString& dmgPath() const { return m_dmgPath; }
    // The mount point inside the staging folder; set by installPackage.
    const std::optional<QString>& mountPointPath() const { return m_mountPointPath; }

    // Replaces the application with the image's Lumadoc.app. True only when the
    // new application is in place and the image was detached. The new bundle
    // is copied out of the image and checked before the installed one is set
    // aside; the swap is then two renames on the applications folder's file
    // system. On false the previous application is in place, untouched, or,
    // when even putting it back failed, kept where failureReason() says. No
    // other staging folder outlives the call. Everything it makes is named in
    // the install journal first, so a crash at any point can be settled.
    bool installPackage();
    // Why the last installPackage returned false, in a few words for the
    // user; empty when there is nothing more to say than "it failed".
    const QString& failureReason() const { return m_failureReason; }

    // ---- command runner and probes --------------------------------------
    // Runs the platform shell with arguments (in practice "-c" and a line),
    // standard output and error merged. True when it started and ended with
    // status 0; logs "task terminationStatus N" for every started command,
    // and what a failed one said.
    static bool executeCMD(const QStringList& arguments);
    // As above; on true, output receives what the command printed (no value
    // when it is not UTF-8). On false output is left as it was.
    static bool executeCMD(const QStringList& arguments, std::optional<QString>& output);
    // The processor kind, asked anew on every call; unknown when the probe fails.
    static OS_TYPE checkOSArch(const SystemCommands& commands = SystemCommands::current());
    // This machine's processor kind, probed once per process: a process never
    // changes processor, and the reports ask on the install queue too.
    static OS_TYPE knownOSArch();

    // ---- staging folders and disk images --------------------------------
    // "<home>/<new upper-case UUID>"; not created.
    static QString generateRandomPath();
    // Creates path with its parents unless something exists there. Only logs.
    static void checkAndCreateFolder(const QString& path);
    // Removes path with everything in it, if it exists. Only logs.
    static void removeFolder(const QString& path);
    // Bytes of the regular files below root (links not followed); 0 when none.
    static qint64 treeBytes(const QString& root);
    // Why the file at path is plainly no disk image ("0 bytes", "it starts
    // with `<!DOCTYPE html`"); empty when it may be one.
    static QString notADiskImage(const QString& path);
    // The same as removeFolder, quietly: empty when nothing is left at path,
    // else the system's reason ("Operation not permitted").
    static QString removeTree(const QString& path);
    // Makes the image readable at mountPoint; true on success. keepGoing is
    // asked a few times a second while it runs; false stops it (and fails).
    static bool mountDMG(const QString& dmgPath, const QString& mountPoint,
                         const SystemCommands& commands = SystemCommands::current(),
                         const std::function<bool()>& keepGoing = {});
    // Undoes mountDMG at mountPoint (the argument is the mount point); false
    // when nothing was attached there.
    static bool demountDMG(const QString& mountPoint,
                           const SystemCommands& commands = SystemCommands::current());

    // ---- replacement, processes and launch ------------------------------
    // Moves a file or folder with the shell's move; true on status 0. On
    // false, cause receives the system's reason as the move gave it.
    static bool mvFile(const QString& src, const QString& dst,
                       const SystemCommands& commands = SystemCommands::current(),
                       QString* cause = nullptr);
    // Copies a file or folder tree (links kept as links); dst must not exist.
    static bool cpFile(const QString& src, const QString& dst);
    // True while one of the product's six user-facing programs runs. Nothing
    // else ever counts, the installer's own shell included.
    static bool checkIfUsingNow(const ProductPaths& paths = ProductPaths(),
                                const SystemCommands& commands = SystemCommands::current());
    // Stops the three background services, then the helper (even when the
    // first step failed).
    static void shutDownServices(const ProductPaths& paths = ProductPaths(),
                                 const SystemCommands& commands = SystemCommands::current());
    // Starts the protection service with "/start" in the background.
    static void resumeServices(const ProductPaths& paths = ProductPaths(),
                               const SystemCommands& commands = SystemCommands::current());
    // Launches the installed application with "-from=5"; true when the launch
    // command succeeded.
    static bool startUse(const ProductPaths& paths = ProductPaths(),
                         const SystemCommands& commands = SystemCommands::current());

    // ---- product settings file ------------------------------------------
    // Per-user application data folder for appName (orgName takes no part).
    // Logs "Failed to access AppDataLocation." when the platform has none.
    static std::optional<QString> getAppDataLocationPath(const QString& appName,
                                                         const QString& orgName = {});
    // Makes sure "<app data>/Lumadoc/reg/common.ini" exists (empty when new).
    // Best effort: failures are only logged. Leaves no staging folder behind.
    static void ensureIniFileExisted();

    // ---- installation record --------------------------------------------
    // The identifier made for this process, once (empty until then).
    static QString strUUid;

    // Fills block's identifiers from the settings file at g_commonFilePath()
    // (or a new identifier) and its version, short code and channel numbers
    // from the installer's own name.
    static void getPackageInfo(ReportBlock& block);
    // The same with the name and the settings file given.
    static void getPackageInfo(ReportBlock& block, const QString& installerName,
                               const std::optional<QString>& settingsPath);
    // Version, short code and channel numbers from a name such as
    // "X_v3.2.1_ab12_101.202.303.404 (1)"; fields it does not reach keep
    // their values.
    static void applyPackageName(const QString& name, ReportBlock& block);
    // The installer's own name (AppBundle::installerName of this executable):
    // the enclosing .app's name without ".app", else the executable's file
    // name; empty when unknown.
    static QString installerName();

    // Writes the block's facts and the installation time into the settings
    // file at g_commonFilePath() (nothing without one). Returns the system's
    // reason when the file could not be read or written (the keys after the
    // failed one are not tried); empty otherwise.
    static QString recordPackageDetail(const ReportBlock& block, bool isOverwrite);
    static QString recordPackageDetail(const ReportBlock& block, bool isOverwrite,
                                       const std::optional<QString>& settingsPath);

    // The last number of the bundle's CFBundleShortVersionString (3.2.1 gives
    // 1), or -1 when there is none. Reads XML and binary property lists.
    static std::int64_t checkPackageVersion(const QString& appPath);
    // The bundle's CFBundleExecutable, empty when it cannot be read.
    static QString bundleExecutable(const QString& appPath);
    // Why the folder at appPath is not an application bundle that can be
    // installed (a real folder, a readable Info.plist whose CFBundleExecutable
    // names a regular executable file under Contents/MacOS); empty when it is.
    static QString bundleProblem(const QString& appPath);

private:
    // The runner behind executeCMD: runs call, logs its status (and a failed
    // one's output), judges it; cause receives a failure's reason. keepGoing is
    // asked a few times a second while it runs; false stops it (and fails).
    static bool runCall(const ProgramCall& call, std::optional<QString>* output = nullptr,
                        QString* cause = nullptr, const std::function<bool()>& keepGoing = {});
    // The reason a failed tool gave, from what it said (its last line's end),
    // else its exit status.
    static QString toolCause(const QString& said, int status);
    // runCall with the shell of commands, "-c" and line.
    static bool runLine(const SystemCommands& commands, const QString& line,
                        std::optional<QString>* output = nullptr, QString* cause = nullptr,
                        const std::function<bool()>& keepGoing = {});

    // The steps of installPackage; each false leaves the installed app untouched
    // and m_failureReason set when there is more to say.
    bool fail(const QString& reason);
    bool journalled(const QString& problem);
    bool applicationsFolderUsable();
    bool makeStaging(const QString& staging);
    bool roomFor(qint64 bytes, const QString& folder);
    // mountDMG, stopped as soon as it writes more than the image lists or
    // fills the home folder's disk.
    bool attachWatched(qint64 listedBytes, const QString& mountPoint);
    bool copyOutOfImage(const QString& source, const QString& copy);
    bool swapIn(const QString& copy, const QString& staging);

    QString m_dmgPath;
    std::optional<QString> m_mountPointPath;
    QString m_failureReason;
    QString m_keptBackup; // the previous app's only copy, when it could not be put back
    ProductPaths m_paths;
    const SystemCommands* m_commands;
};
