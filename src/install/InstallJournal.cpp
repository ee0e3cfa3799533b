#include "install/InstallJournal.h"

#include "base/Globals.h"
#include "base/Log.h"
#include "base/WholeFile.h"
#include "install/JournalFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace InstallJournal {
namespace {

std::mutex g_refusalMutex;
QString g_refusal;

QString refusal() {
    std::lock_guard lock(g_refusalMutex);
    return g_refusal;
}

const char* name(Made made) {
    switch (made) {
    case Made::Temp:
        return "temp";
    case Made::Staging:
        return "staging";
    case Made::Beside:
        return "beside";
    }
    return "";
}

// Changes this run's entry and replaces the journal whole.
QString update(const QString& journal, const std::function<void(QJsonObject&)>& change) {
    if (const QString refused = refusal(); !refused.isEmpty())
        return refused;
    if (journal.isEmpty())
        return QStringLiteral("cannot write the install journal: there is no settings folder");
    const std::lock_guard lock(JournalFile::mutex());
    std::optional<QJsonArray> runs = JournalFile::read(journal);
    if (!runs) {
        JournalFile::keepAside(journal);
        runs = QJsonArray();
    }
    qsizetype at = 0;
    while (at < runs->size() && (*runs)[at].toObject().value("run").toString() != runId())
        ++at;
    if (at == runs->size())
        runs->append(QJsonObject{{"run", runId()}, {"phase", ""}, {"made", QJsonArray()}});
    QJsonObject entry = (*runs)[at].toObject();
    change(entry);
    (*runs)[at] = entry;
    const QString folder = QFileInfo(journal).absolutePath();
    QString error = makeFolders(folder);
    if (error.isEmpty())
        error = JournalFile::write(journal, *runs);
    return error.isEmpty() ? QString()
                           : "cannot write the install journal in " + folder + ": " + error;
}

void addMade(QJsonObject& entry, Made made) {
    QJsonArray list = entry.value("made").toArray();
    if (!list.contains(QString::fromLatin1(name(made))))
        list.append(QString::fromLatin1(name(made)));
    entry.insert("made", list);
}

} // namespace

QString defaultPath() {
    const std::optional<QString> dir = appDataLocation("Lumadoc");
    return dir ? *dir + "/install-journal.json" : QString();
}

QString runId() {
    static const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return id;
}

QString tempFolder() {
    return QDir::tempPath() + "/lumadoc-" + runId();
}

QString stagingFolder() {
    return QDir::homePath() + '/' + runId();
}

QString besideNew(const QString& applicationsDir) {
    return applicationsDir + "/.Lumadoc.app.new-" + runId();
}

QString besideBackup(const QString& applicationsDir) {
    return applicationsDir + "/.Lumadoc.app.bak-" + runId();
}

QString makeTempFolder() {
    const QString path = tempFolder();
    const QByteArray encoded = QFile::encodeName(path);
    if (::mkdir(encoded.constData(), 0700) == 0)
        return {};
    if (errno != EEXIST)
        return systemErrorText(errno);
    // Made by an earlier attempt of this run: still this user's own real folder?
    if (JournalFile::ownership(path, true) != JournalFile::Owner::Us)
        return QStringLiteral("not this user's own folder");
    return ::chmod(encoded.constData(), 0700) == 0 ? QString() : systemErrorText(errno);
}

void refuse(const QString& reason) {
    std::lock_guard lock(g_refusalMutex);
    g_refusal = reason;
}

QString setPhase(const QString& phase, const QString& journal) {
    return update(journal, [&](QJsonObject& entry) { entry.insert("phase", phase); });
}

QString noteMade(Made made, const QString& journal) {
    return update(journal, [&](QJsonObject& entry) { addMade(entry, made); });
}

QString enterPhase(const QString& phase, Made made, const QString& journal) {
    return update(journal, [&](QJsonObject& entry) {
        entry.insert("phase", phase);
        addMade(entry, made);
    });
}

} // namespace InstallJournal
