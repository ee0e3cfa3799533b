#include "base/LogFile.h"

#include "base/Log.h"
#include "base/WholeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct State {
    std::mutex mutex;
    int fd = -1;
    QString path;
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

// The log opened to append, never through a link and only when it is a
// regular file; -1 with errno set otherwise.
int openForAppend(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

// Why path may not be our log: not a regular file, or a file that does not
// start as a log does (a document named by mistake). Empty when it may.
QString notALog(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? QString() : systemErrorText(errno);
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("it is a link");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("not a regular file");
    QFile file(path);
    if (st.st_size > 0 && (!file.open(QIODevice::ReadOnly) ||
                           file.read(qstrlen(LogFile::kRunMarker)) != LogFile::kRunMarker))
        return QStringLiteral("not an installer log (it does not start with \"%1\")")
            .arg(QLatin1String(LogFile::kRunMarker));
    return {};
}

// Caller holds the lock. The log becomes `contents`: a new file renamed over
// it, never the old one cut in place; then appending goes on in the new one.
bool rewrite(State& s, const QByteArray& contents) {
    const bool written = replaceFileWhole(s.path, contents, 0600).isEmpty();
    if (!written)
        return false;
    const int fd = openForAppend(s.path);
    if (fd < 0)
        return false;
    ::close(s.fd);
    s.fd = fd;
    s.size = contents.size();
    return true;
}

void appendLine(State& s, const QByteArray& line) {
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t n = ::write(s.fd, line.constData() + done, size_t(line.size() - done));
        if (n <= 0 && errno != EINTR)
            return; // a full disk loses the line, never the earlier ones
        done += std::max<ssize_t>(n, 0);
    }
    s.size += line.size();
    if (s.size <= LogFile::kMaxBytes)
        return;
    // A run that alone outgrows the limit keeps its newest lines.
    QFile in(s.path);
    const QByteArray contents = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    rewrite(s, LogFile::trimmed(contents, LogFile::kMaxRuns, LogFile::kMaxBytes * 4 / 5));
}

void handler(QtMsgType, const QMessageLogContext&, const QString& message) {
    QByteArray line = withoutCredentials(message).toUtf8();
    line.replace('\n', ' ');
    line.append('\n');
    State& s = state();
    bool echo = false;
    {
        std::lock_guard lock(s.mutex);
        if (s.fd >= 0)
            appendLine(s, line);
        echo = s.echo || s.fd < 0;
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
    // A relative value is dropped at the start (the XDG rule).
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.local/state";
    return base + "/lumadoc/installer.log";
#endif
}

bool LogFile::open(const QString& path, const QStringList& arguments, bool echo, QString& error) {
    close();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (const QString why = makeFolders(QFileInfo(absolute).absolutePath()); !why.isEmpty()) {
        error = "cannot create the folder of " + absolute + ": " + why;
        return false;
    }
    if (const QString why = notALog(absolute); !why.isEmpty()) {
        error = absolute + " is left alone: " + why;
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
        s.path = absolute;
        s.fd = openForAppend(absolute);
        if (s.fd < 0) {
            error = "cannot write " + absolute + ": " + systemErrorText(errno);
            return false;
        }
        // Earlier runs leave this run a fifth of the room.
        const QByteArray kept = trimmed(earlier, kMaxRuns - 1, kMaxBytes * 4 / 5);
        s.size = earlier.size();
        if ((!whole || kept.size() != earlier.size()) && !rewrite(s, kept)) {
            error = "cannot write " + absolute;
            ::close(s.fd);
            s.fd = -1;
            return false;
        }
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
    if (s.fd >= 0)
        ::close(s.fd);
    s.fd = -1;
    s.echo = false;
}

QString LogFile::path() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.fd >= 0 ? s.path : QString();
}

namespace {
// Where the whole lines that fit in maxBytes at the end of contents begin.
qsizetype lastLinesFrom(const QByteArray& contents, qint64 maxBytes) {
    if (contents.size() <= maxBytes)
        return 0;
    const qsizetype cut = contents.size() - maxBytes;
    const qsizetype lineEnd = contents.indexOf('\n', cut - 1);
    return lineEnd < 0 ? contents.size() : lineEnd + 1;
}
} // namespace

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
    if (contents.size() - from > maxBytes)
        from = lastLinesFrom(contents, maxBytes);
    // Cut inside a run: its first line stays, so the file still starts as a log.
    if (from > 0 && from < contents.size() && !contents.mid(from).startsWith(marker)) {
        qsizetype runStart = -1;
        for (const qsizetype start : starts)
            if (start < from)
                runStart = start;
        if (runStart >= 0) {
            const QByteArray header =
                contents.mid(runStart, contents.indexOf('\n', runStart) + 1 - runStart);
            if (header.size() > maxBytes)
                return {};
            const qsizetype tail = lastLinesFrom(contents, maxBytes - header.size());
            return contents.mid(tail).startsWith(marker) ? contents.mid(tail)
                                                         : header + contents.mid(tail);
        }
    }
    return contents.mid(from);
}
