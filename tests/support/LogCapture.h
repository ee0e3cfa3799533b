#pragma once
// Records the lines written through logLine() (standard output) and through
// QvLogUtil (the telemetry's system log) while alive. One at a time per process.

#include "base/Log.h"
#include "rekol/QvLogUtil.h"

#include <QStringList>
#include <mutex>

class LogCapture {
public:
    LogCapture() {
        setLogSink([this](const QString& line) { append(m_stdout, line); });
        QvLogUtil::setSink([this](const QString& line) { append(m_rekol, line); });
    }
    ~LogCapture() {
        setLogSink({});
        QvLogUtil::setSink({});
    }

    // Lines of standard output, in order.
    QStringList lines() const { return read(m_stdout); }
    // Telemetry warnings and errors, "[QvRekol] " prefix included.
    QStringList rekolLines() const { return read(m_rekol); }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_stdout.clear();
        m_rekol.clear();
    }

private:
    void append(QStringList& list, const QString& line) {
        std::lock_guard lock(m_mutex);
        list << line;
    }
    QStringList read(const QStringList& list) const {
        std::lock_guard lock(m_mutex);
        return list;
    }

    mutable std::mutex m_mutex;
    QStringList m_stdout, m_rekol;
};
