#include "base/Log.h"

#include <cstdio>
#include <mutex>

namespace {

struct LogState {
    std::mutex mutex;
    std::function<void(const QString&)> sink;
    QByteArray statusLine; // shown on the terminal's last line, if any
};

LogState& state() {
    static LogState s;
    return s;
}

void write(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

constexpr char kEraseLine[] = "\r\033[K";

} // namespace

void logLine(const QString& message) {
    QByteArray line = message.toUtf8();
    line.replace('\n', ' ');
    line.append('\n');
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.statusLine.isEmpty())
        write(kEraseLine);
    write(line);
    if (!s.statusLine.isEmpty())
        write(s.statusLine);
    std::fflush(stdout);
    if (s.sink)
        s.sink(message);
}

void setLogSink(std::function<void(const QString&)> sink) {
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    s.sink = std::move(sink);
}

void setStatusLine(const QString& text) {
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    write(kEraseLine);
    s.statusLine = text.toUtf8();
    write(s.statusLine);
    std::fflush(stdout);
}
