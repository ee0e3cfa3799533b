#include "TelemetryLog.h"

#include <QJsonDocument>

TelemetryLog::TelemetryLog(const QString& path) {
    if (path.isEmpty())
        return;
    m_file.setFileName(path);
    m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void TelemetryLog::append(const QJsonObject& entry) {
    if (!m_file.isOpen())
        return;
    m_file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
    m_file.flush();
}
