#include "RekolForm.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

std::optional<RekolForm> RekolForm::parse(const QByteArray& body) {
    static const QByteArray kAppid = "appid=";
    static const QByteArray kData = "&data=";
    static const QByteArray kClient = "&client=";
    if (!body.startsWith(kAppid))
        return std::nullopt;
    const qsizetype dataAt = body.indexOf(kData, kAppid.size());
    if (dataAt < 0)
        return std::nullopt;
    const qsizetype clientAt = body.lastIndexOf(kClient);
    if (clientAt < dataAt + kData.size())
        return std::nullopt;

    RekolForm form;
    form.appid = QString::fromUtf8(body.mid(kAppid.size(), dataAt - kAppid.size()));
    const qsizetype payloadAt = dataAt + kData.size();
    form.data = body.mid(payloadAt, clientAt - payloadAt);
    form.client = QString::fromUtf8(body.mid(clientAt + kClient.size()));
    return form;
}

QJsonObject RekolForm::toLogEntry(const QString& path) const {
    QJsonObject entry{{"path", path}, {"appid", appid}, {"client", client}};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    QJsonValue table = QJsonValue::Null;
    if (error.error == QJsonParseError::NoError) {
        if (document.isObject()) {
            entry["data"] = document.object();
            const QJsonValue name = document.object().value("#event_name");
            if (name.isString())
                table = name;
        } else {
            entry["data"] = document.array();
        }
    } else {
        entry["data"] = QString::fromUtf8(data);
    }
    entry["table"] = table;
    return entry;
}
