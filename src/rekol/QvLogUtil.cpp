#include "rekol/QvLogUtil.h"

#include "base/Log.h"

#include <mutex>
#include <syslog.h>

namespace {

std::mutex& logMutex() {
    static std::mutex m;
    return m;
}

std::function<void(const QString&)>& logSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}

void write(int priority, const QString& message) {
    const QString line = "[QvRekol] " + withoutCredentials(message);
    QByteArray bytes = line.toUtf8();
    bytes.replace('\n', ' ');
    std::lock_guard lock(logMutex());
    syslog(LOG_USER | priority, "%s", bytes.constData());
    // The log file's copy, under the telemetry's category.
    QMessageLogger logger(nullptr, 0, nullptr, lcRekol().categoryName());
    if (priority == LOG_ERR)
        logger.critical(lcRekol(), "%s", bytes.constData());
    else
        logger.warning(lcRekol(), "%s", bytes.constData());
    if (logSink())
        logSink()(line);
}

} // namespace

void QvLogUtil::d(const QString&) {}

void QvLogUtil::w(const QString& message) {
    write(LOG_WARNING, message);
}

void QvLogUtil::e(const QString& message) {
    write(LOG_ERR, message);
}

void QvLogUtil::setSink(std::function<void(const QString&)> sink) {
    std::lock_guard lock(logMutex());
    logSink() = std::move(sink);
}
