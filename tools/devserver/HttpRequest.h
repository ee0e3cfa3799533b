#pragma once
// One HTTP/1.x request as the devserver reads it.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

struct HttpRequest {
    QByteArray method;                     // as sent, e.g. "GET"
    QByteArray target;                     // as sent, e.g. "/mac/dl/a%20b.dmg?x=1"
    QString path;                          // target without the query, percent-decoded
    QHash<QByteArray, QByteArray> headers; // names in lower case, values trimmed
    QByteArray body;

    QByteArray header(const QByteArray& lowerCaseName) const {
        return headers.value(lowerCaseName);
    }

    // Parses the request line and header lines (the head without its blank
    // line). No value for anything that is not a well-formed HTTP/1.x head.
    static std::optional<HttpRequest> parseHead(const QByteArray& head);
};
