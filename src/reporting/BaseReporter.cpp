#include "reporting/BaseReporter.h"

#include "base/Config.h"
#include "rekol/QvRekolClient.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QLocale>

namespace {

std::mutex& languageMutex() {
    static std::mutex m;
    return m;
}
QString& languageValue() {
    static QString language = QStringLiteral("en");
    return language;
}

} // namespace

std::unique_ptr<QvRekolClient> BaseReporter::makeClient(const QString& qctrlPath,
                                                        const QString& qfmtPath) {
    if (!Config::get().telemetryOffBy.isEmpty())
        return nullptr;
    return std::make_unique<QvRekolClient>(qctrlPath, qfmtPath, false);
}

QString BaseReporter::tableName() const {
    std::lock_guard lock(m_mutex);
    return m_tableName;
}

void BaseReporter::setTableName(const QString& name) {
    std::lock_guard lock(m_mutex);
    m_tableName = name;
}

QJsonObject BaseReporter::eventData() const {
    std::lock_guard lock(m_mutex);
    return m_data;
}

void BaseReporter::setEventData(const QJsonObject& data) {
    std::lock_guard lock(m_mutex);
    m_data = data;
}

QJsonObject BaseReporter::properties() const {
    std::lock_guard lock(m_mutex);
    return m_properties;
}

void BaseReporter::setProperties(const QJsonObject& properties) {
    std::lock_guard lock(m_mutex);
    m_properties = properties;
}

bool BaseReporter::setReportTable(const QString& name) {
    std::lock_guard lock(m_mutex);
    m_tableName = name;
    m_data["#event_name"] = name;
    return true;
}

bool BaseReporter::fillPublicData(const JsonReportBlock& publicData) {
    std::lock_guard lock(m_mutex);
    m_data["#time"] =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    m_data["#type"] = QStringLiteral("track");
    m_data["#account_id"] = publicData.accountId;
    m_properties["tid1"] = qint64(publicData.tid1);
    m_properties["tid2"] = qint64(publicData.tid2);
    m_properties["tod1"] = qint64(publicData.tod1);
    m_properties["tod2"] = qint64(publicData.tod2);
    m_properties["iid"] = qint64(publicData.iid);
    m_properties["tryno"] = qint64(publicData.tryno);
    m_properties["filever"] = qint64(publicData.filever);
    m_properties["product_id"] = qint64(publicData.productId);
    m_properties["countrycode"] = publicData.countryCode;
    m_properties["language"] = publicData.language;
    return true;
}

std::optional<QString> BaseReporter::toString() const {
    std::lock_guard lock(m_mutex);
    QJsonObject payload = m_data;
    payload[propertiesKey] = m_properties;
    // A QJsonObject holds only texts and numbers here, so this cannot fail.
    return QString::fromUtf8(QJsonDocument(payload).toJson(QJsonDocument::Compact));
}

void BaseReporter::setCurrentLanguage(const QString& language) {
    std::lock_guard lock(languageMutex());
    languageValue() = language;
}

QString BaseReporter::currentLanguage() {
    std::lock_guard lock(languageMutex());
    return languageValue();
}

QString BaseReporter::countryCode() {
    const QLocale::Territory territory = QLocale::system().territory();
    if (territory == QLocale::AnyTerritory)
        return {};
    return QLocale::territoryToCode(territory);
}
