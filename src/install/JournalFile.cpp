#include "install/JournalFile.h"

#include "base/Log.h"
#include "base/SmallFile.h"
#include "base/WholeFile.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace JournalFile {
namespace {

bool wellFormed(const QJsonValue& run) {
    static const QStringList kinds = {"temp", "staging", "beside"};
    const QJsonObject entry = run.toObject();
    if (!run.isObject() || !isRunId(entry.value("run").toString()) ||
        !entry.value("made").isArray())
        return false;
    for (const QJsonValue& made : entry.value("made").toArray())
        if (!kinds.contains(made.toString()))
            return false;
    return true;
}

} // namespace

std::mutex& mutex() {
    static std::mutex m;
    return m;
}

bool isRunId(const QString& text) {
    static const QRegularExpression uuid(
        "^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    return uuid.match(text).hasMatch();
}

std::optional<QJsonArray> read(const QString& journal, QString* why) {
    struct stat st {};
    if (::lstat(QFile::encodeName(journal).constData(), &st) != 0 && errno == ENOENT)
        return QJsonArray();
    QString error;
    // readSmallFile would follow a link; the journal is never one.
    const std::optional<QByteArray> bytes =
        S_ISLNK(st.st_mode) ? std::nullopt : readSmallFile(journal, error);
    if (S_ISLNK(st.st_mode))
        error = QStringLiteral("it is a link");
    QJsonParseError parse{};
    const QJsonDocument doc = bytes ? QJsonDocument::fromJson(*bytes, &parse) : QJsonDocument();
    if (bytes && !doc.isObject())
        error = parse.error != QJsonParseError::NoError ? parse.errorString()
                                                        : QStringLiteral("not a JSON object");
    const QJsonValue runs = doc.object().value("runs");
    if (error.isEmpty() && !runs.isArray())
        error = QStringLiteral("no list of runs");
    for (const QJsonValue& run : runs.toArray())
        if (error.isEmpty() && !wellFormed(run))
            error = QStringLiteral("a run of an unknown shape");
    if (!error.isEmpty()) {
        if (why)
            *why = error;
        return std::nullopt;
    }
    return runs.toArray();
}

QString write(const QString& journal, const QJsonArray& runs) {
    return replaceFileWhole(
        journal, QJsonDocument(QJsonObject{{"runs", runs}}).toJson(QJsonDocument::Compact), 0600);
}

void keepAside(const QString& journal) {
    // Only a damaged file is ours to move; a folder or anything else in its
    // place stays, and the journal then cannot be written.
    struct stat st {};
    if (::lstat(QFile::encodeName(journal).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        logLine(lcInstall(), "install journal " + journal + " is not a file; it is left alone");
        return;
    }
    const QString aside =
        journal + ".unreadable-" +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddThhmmsszzz"));
    if (std::rename(QFile::encodeName(journal).constData(), QFile::encodeName(aside).constData()) ==
        0)
        logLine(lcInstall(), "install journal kept aside as " + aside);
    else
        logLine(lcInstall(), "install journal " + journal +
                                 " could not be kept aside: " + systemErrorText(errno));
}

Owner ownership(const QString& path, bool folder, QString* why) {
    struct stat st {};
    const auto other = [why](const QString& reason) {
        if (why)
            *why = reason;
        return Owner::Other;
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? Owner::Nobody : other(systemErrorText(errno));
    if (S_ISLNK(st.st_mode))
        return other(QStringLiteral("a link"));
    if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        return other(folder ? QStringLiteral("not a folder") : QStringLiteral("not a file"));
    if (st.st_uid != ::geteuid())
        return other(QStringLiteral("owned by another user"));
    return Owner::Us;
}

} // namespace JournalFile
