#include "base/Log.h"

#include <QRegularExpression>
#include <mutex>

Q_LOGGING_CATEGORY(lcApp, "lumadoc.app")
Q_LOGGING_CATEGORY(lcFlow, "lumadoc.flow")
Q_LOGGING_CATEGORY(lcDownload, "lumadoc.download")
Q_LOGGING_CATEGORY(lcInstall, "lumadoc.install")
Q_LOGGING_CATEGORY(lcSettings, "lumadoc.settings")
Q_LOGGING_CATEGORY(lcRekol, "lumadoc.rekol")
Q_LOGGING_CATEGORY(lcUi, "lumadoc.ui")

namespace {

struct TerminalState {
    std::mutex mutex;
    QByteArray statusLine; // shown on standard output's last line, if any
};

// Never destroyed, like the log file's state: threads may log while the process exits.
TerminalState& terminal() {
    static TerminalState* s = new TerminalState;
    return *s;
}

struct SinkState {
    std::mutex mutex;
    std::function<void(const QString&)> sink;
};

SinkState& sinkState() {
    static SinkState* s = new SinkState;
    return *s;
}

void write(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

constexpr char kEraseLine[] = "\r\033[K";

} // namespace

QString withoutCredentials(const QString& text) {
    // scheme "://" userinfo "@", up to the last "@" before the path: a password may hold one.
    static const QRegularExpression userInfo(
        QStringLiteral("([A-Za-z][A-Za-z0-9+.-]*://)[^/?#\\s]+@"));
    if (!text.contains('@'))
        return text;
    QString masked = text;
    return masked.replace(userInfo, QStringLiteral("\\1***@"));
}

void logLine(const QLoggingCategory& category, const QString& message) {
    QString text = withoutCredentials(message);
    text.replace('\n', ' ');
    if (category.isInfoEnabled())
        QMessageLogger(nullptr, 0, nullptr, category.categoryName())
            .info("%s", text.toUtf8().constData());
    SinkState& s = sinkState();
    std::lock_guard lock(s.mutex);
    if (s.sink)
        s.sink(withoutCredentials(message));
}

void logLine(const QString& message) {
    logLine(lcApp(), message);
}

void setLogSink(std::function<void(const QString&)> sink) {
    SinkState& s = sinkState();
    std::lock_guard lock(s.mutex);
    s.sink = std::move(sink);
}

void writeTerminalLine(std::FILE* stream, const QByteArray& line) {
    TerminalState& t = terminal();
    std::lock_guard lock(t.mutex);
    if (!t.statusLine.isEmpty()) {
        write(stdout, kEraseLine);
        std::fflush(stdout);
    }
    write(stream, line);
    std::fflush(stream);
    if (!t.statusLine.isEmpty()) {
        write(stdout, t.statusLine);
        std::fflush(stdout);
    }
}

void printLine(const QString& text) {
    QByteArray line = text.toUtf8();
    line.replace('\n', ' ');
    writeTerminalLine(stdout, line + '\n');
}

void setStatusLine(const QString& text) {
    TerminalState& t = terminal();
    std::lock_guard lock(t.mutex);
    write(stdout, kEraseLine);
    t.statusLine = text.toUtf8();
    write(stdout, t.statusLine);
    std::fflush(stdout);
}
