#include "platform/Log.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex& logMutex() {
    static std::mutex m;
    return m;
}
std::function<void(const QString&)>& logSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}
} // namespace

void logLine(const QString& message) {
    QByteArray line = message.toUtf8();
    line.replace('\n', ' ');
    line.append('\n');
    std::lock_guard lock(logMutex());
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
    if (logSink())
        logSink()(message);
}

void setLogSink(std::function<void(const QString&)> sink) {
    std::lock_guard lock(logMutex());
    logSink() = std::move(sink);
}
