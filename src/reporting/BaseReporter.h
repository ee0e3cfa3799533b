#pragma once
// Assembles a report as compact JSON: a few top-level event fields plus a
// "properties" object. Keys are overwritten by each report and never removed,
// so every report of one reporter carries the same key set.
//
// Every operation takes the reporter's lock, so a report assembled on one
// thread is never mixed with one from another (reports arrive from the UI
// thread and from the download queue).

#include "reporting/JsonReportBlock.h"

#include <QJsonObject>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

class QvRekolClient;

class BaseReporter {
public:
    static inline const QString propertiesKey = QStringLiteral("properties");

    virtual ~BaseReporter() = default;

    QString tableName() const;
    void setTableName(const QString& name);
    // Top-level event fields ("#event_name", "#time", "#type", "#account_id").
    QJsonObject eventData() const;
    void setEventData(const QJsonObject& data);
    // The members of "properties".
    QJsonObject properties() const;
    void setProperties(const QJsonObject& properties);

    // Sets the table and "#event_name". Always true.
    virtual bool setReportTable(const QString& name);
    // Sets "#time" (now, UTC), "#type" and "#account_id", and the ten public
    // properties. Always true.
    virtual bool fillPublicData(const JsonReportBlock& publicData);
    // The payload: the event fields plus "properties", compact; no value when
    // it cannot be serialised.
    virtual std::optional<QString> toString() const;

    // The language the reports name. Set once by the application when it has
    // chosen the interface language; "en" until then. Any thread.
    static void setCurrentLanguage(const QString& language);
    static QString currentLanguage();
    // Region code of the user's locale ("DE"), empty when it has none.
    static QString countryCode();

protected:
    BaseReporter() = default;

    // A telemetry client on the two data files (report cache off), or none
    // when the user turned telemetry off: then nothing is posted or kept.
    static std::unique_ptr<QvRekolClient> makeClient(const QString& qctrlPath,
                                                     const QString& qfmtPath);

    // Held for a whole report by the subclasses; recursive so that the public
    // operations above may be used inside one.
    mutable std::recursive_mutex m_mutex;
    QString m_tableName;
    QJsonObject m_data;
    QJsonObject m_properties;
};
