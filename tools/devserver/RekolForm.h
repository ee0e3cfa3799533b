#pragma once
// The form body of a telemetry post:
//
//   appid=<32 hex>&data=<payload, verbatim>&client=<n>
//
// The payload is a JSON text inserted without percent-encoding, so it may hold
// "&" and "=" itself: the body is split at the first "&data=" and the last
// "&client=", never decoded as a general form.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

struct RekolForm {
    QString appid;
    QByteArray data; // the payload bytes exactly as posted
    QString client;

    // No value when the body does not have the three fields in that order.
    static std::optional<RekolForm> parse(const QByteArray& body);

    // The log entry: {"path", "table", "appid", "client", "data"}. "data" is
    // the payload parsed as JSON, or its text when it is not JSON; "table" is
    // the payload's "#event_name" (the reporters name their table there), or
    // null when it has none.
    QJsonObject toLogEntry(const QString& path) const;
};
