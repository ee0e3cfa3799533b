#pragma once
// Append-only JSON-lines file of the telemetry posts received. Each entry is
// written and flushed before the post is answered, so a client that has its
// answer finds the line in the file.

#include <QFile>
#include <QJsonObject>
#include <QString>

class TelemetryLog {
public:
    // An empty path makes a log that records nothing.
    explicit TelemetryLog(const QString& path);

    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

    // One compact JSON object and a line break.
    void append(const QJsonObject& entry);

private:
    QFile m_file;
};
