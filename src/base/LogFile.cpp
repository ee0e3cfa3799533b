#include "base/LogFile.h"

#include "base/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <mutex>

namespace {

struct State {
    std::mutex mutex;
    QFile file;
    qint64 size = 0;
    bool echo = false;
    QtMessageHandler previous = nullptr;
    bool installed = false;
};

State& state() {
    // Never destroyed: threads may still log while the process exits.
    static State* s = new State;
    return *s;
}

// Caller holds the lock. Rewrites the file as `contents`, then appends again.
bool rewrite(State& s, const QByteArray& contents) {
    const QString path = s.file.fileName();
    s.file.close();
    QSaveFile out(path);
    out.setDirectWriteFallback(true);
    const bool written =
        out.open(QIODevice::WriteOnly) && out.write(contents) == contents.size() && out.commit();
    s.file.setFileName(path);
    if (!s.file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    s.size = s.file.size();
    return written;
}

void appendLine(State& s, const QByteArray& line) {
    s.file.write(line);
    s.file.flush();
    s.size += line.size();
    if (s.size <= LogFile::kMaxBytes)
        return;
    // A run that alone outgrows the limit keeps its newest lines.
    s.file.close();
    QFile in(s.file.fileName());
    const QByteArray contents = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    in.close();
    rewrite(s, LogFile::trimmed(contents, LogFile::kMaxRuns, LogFile::kMaxBytes * 4 / 5));
}

void handler(QtMsgType, const QMessageLogContext&, const QString& message) {
    QByteArray line = message.toUtf8();
    line.replace('\n', ' ');
    line.append('\n');
    State& s = state();
    bool echo = false;
    {
        std::lock_guard lock(s.mutex);
        if (s.file.isOpen())
            appendLine(s, line);
        echo = s.echo || !s.file.isOpen();
    }
    if (echo)
        writeTerminalLine(stderr, line);
}

QString runLine(const QStringList& arguments) {
    QStringList quoted;
    for (const QString& argument : arguments)
        quoted << (argument.isEmpty() || argument.contains(' ') ? '\'' + argument + '\''
                                                                : argument);
    return QString::fromLatin1(LogFile::kRunMarker) +
           QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + " lumadoc-installer " +
           LUMADOC_VERSION + ": " + quoted.join(' ');
}

} // namespace

QString LogFile::defaultPath() {
#ifdef Q_OS_MACOS
    return QDir::homePath() + "/Library/Logs/Lumadoc/installer.log";
#else
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // The XDG rule: a relative value is ignored.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + "/.local/state";
    return base + "/lumadoc/installer.log";
#endif
}

bool LogFile::open(const QString& path, const QStringList& arguments, bool echo, QString& error) {
    close();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!QDir().mkpath(QFileInfo(absolute).absolutePath())) {
        error = "cannot create the folder of " + absolute;
        return false;
    }
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        QFile existing(absolute);
        QByteArray earlier;
        bool whole = true;
        if (existing.open(QIODevice::ReadOnly)) {
            if (existing.size() > 4 * kMaxBytes) {
                // Only the tail can survive; start it at a whole line.
                existing.seek(existing.size() - kMaxBytes);
                earlier = existing.readAll();
                earlier.remove(0, earlier.indexOf('\n') + 1);
                whole = false;
            } else {
                earlier = existing.readAll();
            }
        }
        existing.close();
        s.file.setFileName(absolute);
        // Earlier runs leave this run a fifth of the room.
        const QByteArray kept = trimmed(earlier, kMaxRuns - 1, kMaxBytes * 4 / 5);
        const bool ok = whole && kept.size() == earlier.size()
                            ? s.file.open(QIODevice::WriteOnly | QIODevice::Append)
                            : rewrite(s, kept);
        if (!ok || !s.file.isOpen()) {
            error = "cannot write " + absolute + ": " + s.file.errorString();
            s.file.close();
            return false;
        }
        s.size = s.file.size();
        s.echo = echo;
        appendLine(s, runLine(arguments).toUtf8() + '\n');
    }
    s.previous = qInstallMessageHandler(handler);
    s.installed = true;
    return true;
}

void LogFile::close() {
    State& s = state();
    if (s.installed)
        qInstallMessageHandler(s.previous);
    s.installed = false;
    s.previous = nullptr;
    std::lock_guard lock(s.mutex);
    s.file.close();
    s.echo = false;
}

QString LogFile::path() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.file.isOpen() ? s.file.fileName() : QString();
}

QByteArray LogFile::trimmed(const QByteArray& contents, int maxRuns, qint64 maxBytes) {
    // Start of each run: a marker at the start of a line.
    const QByteArray marker(kRunMarker);
    QList<qsizetype> starts;
    if (contents.startsWith(marker))
        starts << 0;
    for (qsizetype at = contents.indexOf('\n' + marker); at >= 0;
         at = contents.indexOf('\n' + marker, at + 1))
        starts << at + 1;
    qsizetype from = 0;
    if (maxRuns <= 0)
        from = contents.size();
    else if (starts.size() >= maxRuns) // lines before the first marker are older still
        from = starts[starts.size() - maxRuns];
    if (contents.size() - from > maxBytes) {
        // Whole lines only: start after the first line break in the window.
        const qsizetype cut = contents.size() - maxBytes;
        const qsizetype lineEnd = contents.indexOf('\n', cut - 1);
        from = lineEnd < 0 ? contents.size() : lineEnd + 1;
    }
    return contents.mid(from);
}
