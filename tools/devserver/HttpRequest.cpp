#include "HttpRequest.h"

#include <QList>
#include <QUrl>

std::optional<HttpRequest> HttpRequest::parseHead(const QByteArray& head) {
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.") ||
        requestLine[0].isEmpty() || !requestLine[1].startsWith('/'))
        return std::nullopt;

    HttpRequest request;
    request.method = requestLine[0];
    request.target = requestLine[1];
    const qsizetype query = request.target.indexOf('?');
    const QByteArray rawPath = query < 0 ? request.target : request.target.left(query);
    request.path = QUrl::fromPercentEncoding(rawPath);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return std::nullopt;
        request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    return request;
}
