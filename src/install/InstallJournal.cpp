#include "install/InstallJournal.h"

#include "base/Globals.h"
#include "base/Log.h"
#include "base/SmallFile.h"
#include "install/Installer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <filesystem>

namespace InstallJournal {
namespace {

const char* key(Entry entry) {
    switch (entry) {
    case Entry::Part:
        return "part";
    case Entry::Package:
        return "package";
    case Entry::Staging:
        return "staging";
    case Entry::Mount:
        return "mount";
    case Entry::App:
        return "app";
    case Entry::NewBundle:
        return "new";
    case Entry::Backup:
        return "backup";
    }
    return "";
}

// Something (a folder, a file or a link, even a dangling one) is at path.
bool occupied(const QString& path) {
    std::error_code ec;
    return !path.isEmpty() && std::filesystem::exists(std::filesystem::symlink_status(
                                  QFile::encodeName(path).toStdString(), ec));
}

QJsonObject read(const QString& journal, bool& present) {
    QString error;
    present = QFileInfo::exists(journal) || QFileInfo(journal).isSymLink();
    if (!present)
        return {};
    const std::optional<QByteArray> bytes = readSmallFile(journal, error);
    QJsonParseError parse{};
    const QJsonDocument doc = bytes ? QJsonDocument::fromJson(*bytes, &parse) : QJsonDocument();
    if (!doc.isObject()) {
        logLine(lcInstall(), "install journal " + journal + " is unreadable (" +
                                 (bytes ? parse.errorString() : error) +
                                 "); nothing it names is touched");
        return {};
    }
    return doc.object();
}

void update(const QString& journal, const std::function<void(QJsonObject&)>& change) {
    if (journal.isEmpty())
        return;
    bool present = false;
    QJsonObject entries = read(journal, present);
    change(entries);
    QDir().mkpath(QFileInfo(journal).absolutePath());
    QSaveFile file(journal);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(entries).toJson(QJsonDocument::Compact)) < 0 || !file.commit())
        logLine(lcInstall(), "install journal " + journal + " not written: " + file.errorString());
}

// The journal's paths, each kept only when it has a shape the installer makes:
// a damaged or planted journal can never steer a removal elsewhere.
struct Named {
    QString part, package, staging, mount, app, fresh, backup;
};

QString parentOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

Named validated(const QJsonObject& entries) {
    static const QRegularExpression uuid(
        "^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    const auto value = [&](Entry entry, const std::function<bool(const QString&)>& valid) {
        const QString path = entries.value(key(entry)).toString();
        if (path.isEmpty())
            return QString();
        if (QDir::isAbsolutePath(path) && QDir::cleanPath(path) == path && valid(path))
            return path;
        logLine(lcInstall(), QString("install journal: ignoring %1 %2").arg(key(entry), path));
        return QString();
    };
    const auto named = [](const QString& name) {
        return [name](const QString& p) { return QFileInfo(p).fileName() == name; };
    };
    Named n;
    n.part = value(Entry::Part, named("package.dmg.part"));
    n.package = value(Entry::Package, named("package.dmg"));
    n.app = value(Entry::App, named("Lumadoc.app"));
    n.staging = value(Entry::Staging, [](const QString& p) {
        return parentOf(p) == QDir::homePath() && uuid.match(QFileInfo(p).fileName()).hasMatch();
    });
    const QString staging = n.staging;
    const QString appsDir = n.app.isEmpty() ? QString() : parentOf(n.app);
    const auto inStagingOrBeside = [&](const QString& inStaging, const QString& hiddenPrefix) {
        return [=](const QString& p) {
            return (!staging.isEmpty() && p == staging + inStaging) ||
                   (!appsDir.isEmpty() && parentOf(p) == appsDir &&
                    QFileInfo(p).fileName().startsWith(hiddenPrefix));
        };
    };
    n.mount = value(Entry::Mount, [&](const QString& p) {
        return !staging.isEmpty() && p == staging + "/Lumadoc";
    });
    n.fresh = value(Entry::NewBundle, inStagingOrBeside("/temp/Lumadoc.app", ".Lumadoc.app.new-"));
    n.backup = value(Entry::Backup, inStagingOrBeside("/Lumadoc.app.bak", ".Lumadoc.app.bak-"));
    return n;
}

void removeIfThere(const QString& path) {
    if (occupied(path))
        Installer::removeFolder(path);
}

} // namespace

QString defaultPath() {
    const std::optional<QString> dir = appDataLocation("Lumadoc");
    return dir ? *dir + "/install-journal.json" : QString();
}

void note(Entry entry, const QString& path, const QString& journal) {
    record({{entry, path}}, {}, journal);
}

void setPhase(const QString& phase, const QString& journal) {
    record({}, phase, journal);
}

void record(std::initializer_list<std::pair<Entry, QString>> entries, const QString& phase,
            const QString& journal) {
    update(journal, [&](QJsonObject& object) {
        for (const auto& [entry, path] : entries)
            object.insert(key(entry), path);
        if (!phase.isEmpty())
            object.insert("phase", phase);
    });
}

void settle(bool interrupted, const QString& journal) {
    bool present = false;
    const QJsonObject entries = journal.isEmpty() ? QJsonObject() : read(journal, present);
    if (!present)
        return;
    if (interrupted)
        logLine(lcInstall(), "An earlier install was interrupted (" +
                                 entries.value("phase").toString("unknown phase") +
                                 "); settling what it left");
    const Named n = validated(entries);

    bool backupKept = false;
    if (occupied(n.backup)) {
        if (!n.app.isEmpty() && !occupied(n.app)) {
            // Between the two renames: the new application never arrived.
            if (Installer::mvFile(n.backup, n.app)) {
                logLine(lcInstall(), "The previous application is back in place: " + n.app);
            } else {
                backupKept = true;
                logLine(lcInstall(),
                        "The previous application could not be restored; it is kept at " +
                            n.backup);
            }
        } else {
            // The swap completed (or never began): the application in place is whole.
            Installer::removeFolder(n.backup);
        }
    }
    removeIfThere(n.fresh);
    if (occupied(n.mount))
        Installer::demountDMG(n.mount);
    if (!backupKept || !n.backup.startsWith(n.staging + '/'))
        removeIfThere(n.staging);
    removeIfThere(n.part);
    removeIfThere(n.package);
    if (!backupKept && !QFile::remove(journal))
        logLine(lcInstall(), "install journal " + journal + " could not be removed");
}

} // namespace InstallJournal
