#pragma once
// Collects the telemetry log lines written while it lives.

#include "rekol/QvLogUtil.h"

#include <QStringList>
#include <mutex>

class LogCapture {
public:
    LogCapture() {
        QvLogUtil::setSink([this](const QString& line) {
            std::lock_guard lock(mMutex);
            mLines.append(line);
        });
    }
    ~LogCapture() { QvLogUtil::setSink({}); }

    QStringList lines() const {
        std::lock_guard lock(mMutex);
        return mLines;
    }
    qsizetype count(const QString& line) const { return lines().count(line); }

private:
    mutable std::mutex mMutex;
    QStringList mLines;
};
