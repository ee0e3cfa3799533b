// InstallJournal: settling what runs left, from the journal and the known folders.
#include "base/Log.h"
#include "install/InstallJournal.h"
#include "install/Installer.h"
#include "install/JournalFile.h"
#include "install/ProductPaths.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <cstdio>
#include <sys/stat.h>

namespace InstallJournal {
namespace {

using JournalFile::Owner;

// Something (a folder, a file or a link, even a dangling one) is at path.
bool occupied(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Ours to touch: this user's own real folder; anything else is named once and left.
bool ours(const QString& path) {
    QString why;
    const Owner owner = JournalFile::ownership(path, true, &why);
    if (owner == Owner::Other)
        logLine(lcInstall(), "install journal: leaving " + path + " alone (" + why + ")");
    return owner == Owner::Us;
}

// A problem the user must know of: in the log and on standard error.
void tellUser(const QString& line) {
    logLine(lcInstall(), line);
    writeTerminalLine(stderr, ("lumadoc-installer: " + line + '\n').toUtf8());
}

bool removed(const QString& path) {
    const QString error = Installer::removeTree(path);
    if (!error.isEmpty())
        tellUser("could not remove " + path + ": " + error);
    return error.isEmpty();
}

// The previous application back in place of the missing one; false when it stays where it is.
bool putBack(const QString& backup, const QString& app) {
    if (Installer::mvFile(backup, app)) {
        logLine(lcInstall(), "The previous application is back in place: " + app);
        return true;
    }
    tellUser("the previous Lumadoc could not be put back; it is kept at " + backup);
    return false;
}

// Settles one run; true when nothing of it is left.
bool settleRun(const QJsonObject& run, bool interrupted) {
    const QString id = run.value("run").toString();
    QSet<QString> made;
    for (const QJsonValue& value : run.value("made").toArray())
        made << value.toString();
    if (interrupted)
        logLine(lcInstall(), "An earlier install was interrupted (" +
                                 run.value("phase").toString("unknown phase") +
                                 "); settling what it left");
    const ProductPaths paths;
    const QString app = paths.app();
    const QString staging = QDir::homePath() + '/' + id;
    const bool stagingOurs = made.contains("staging") && ours(staging);
    QStringList backups, copies;
    if (stagingOurs) {
        backups << staging + "/Lumadoc.app.bak";
        copies << staging + "/temp/Lumadoc.app";
    }
    if (made.contains("beside")) {
        backups << paths.applicationsDir() + "/.Lumadoc.app.bak-" + id;
        copies << paths.applicationsDir() + "/.Lumadoc.app.new-" + id;
    }

    bool whole = true;
    for (const QString& backup : backups) {
        if (!ours(backup))
            continue;
        // Between the two renames the new application never arrived; otherwise
        // the one in place is whole and the backup has served.
        whole = (occupied(app) ? removed(backup) : putBack(backup, app)) && whole;
    }
    for (const QString& copy : copies)
        if (ours(copy))
            whole = removed(copy) && whole;
    if (stagingOurs) {
        if (ours(staging + "/Lumadoc"))
            Installer::demountDMG(staging + "/Lumadoc");
        if (whole)
            whole = removed(staging);
    }
    const QString temp = QDir::tempPath() + "/lumadoc-" + id;
    if (made.contains("temp") && ours(temp))
        whole = removed(temp) && whole;
    return whole;
}

// With no journal to say which run it was: the only backup of the installer's
// making goes back in place of a missing application; several are left alone.
void restoreLoneBackup() {
    const ProductPaths paths;
    const QString app = paths.app();
    if (occupied(app))
        return;
    QStringList found;
    const QDir home(QDir::homePath());
    for (const QString& name : home.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        if (JournalFile::isRunId(name) && ours(home.filePath(name)) &&
            ours(home.filePath(name) + "/Lumadoc.app.bak"))
            found << home.filePath(name) + "/Lumadoc.app.bak";
    const QDir apps(paths.applicationsDir());
    for (const QString& name :
         apps.entryList({".Lumadoc.app.bak-*"}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        if (JournalFile::isRunId(name.mid(name.indexOf('-') + 1)) && ours(apps.filePath(name)))
            found << apps.filePath(name);
    if (found.size() == 1)
        putBack(found.first(), app);
    else if (found.size() > 1)
        logLine(lcInstall(),
                QString("%1 backups of Lumadoc found, none put back: ").arg(found.size()) +
                    found.join(", "));
}

} // namespace

void settle(bool interrupted, const QString& journal) {
    if (journal.isEmpty())
        return;
    const std::lock_guard lock(JournalFile::mutex());
    QString why;
    const std::optional<QJsonArray> runs = JournalFile::read(journal, &why);
    if (!runs) {
        logLine(lcInstall(), "install journal " + journal + " is unreadable (" + why +
                                 "); nothing it names is touched");
        JournalFile::keepAside(journal);
        restoreLoneBackup();
        return;
    }
    if (!occupied(journal))
        return;
    QJsonArray left;
    for (const QJsonValue& run : *runs)
        if (!settleRun(run.toObject(), interrupted))
            left.append(run);
    if (!left.isEmpty()) {
        const QString error = JournalFile::write(journal, left);
        if (!error.isEmpty())
            logLine(lcInstall(), "install journal " + journal + " not written: " + error);
    } else if (std::remove(QFile::encodeName(journal).constData()) != 0) {
        logLine(lcInstall(), "install journal " + journal + " could not be removed");
    }
}

} // namespace InstallJournal
