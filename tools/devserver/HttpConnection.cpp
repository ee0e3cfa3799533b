#include "HttpConnection.h"

#include "FileSender.h"
#include "HttpServer.h"
#include "RekolForm.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonObject>
#include <QLocale>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <cstdio>

namespace {

constexpr qsizetype kMaxHead = 64 * 1024;
constexpr qint64 kMaxBody = 16 * 1024 * 1024;
const QString kPackagePrefix = "/mac/dl/";

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// A single byte range, inclusive; "unsatisfiable" when it lies past the end.
struct ByteRange {
    qint64 first = 0;
    qint64 last = -1;
    bool unsatisfiable = false;
};

// No value when there is no Range header or one we ignore (several ranges, bad
// syntax): the whole file is sent then, as HTTP allows.
std::optional<ByteRange> parseRange(const QByteArray& header, qint64 size) {
    if (!header.startsWith("bytes=") || header.contains(','))
        return std::nullopt;
    const QByteArray bounds = header.mid(6).trimmed();
    const qsizetype dash = bounds.indexOf('-');
    if (dash < 0)
        return std::nullopt;
    const QByteArray from = bounds.left(dash).trimmed();
    const QByteArray to = bounds.mid(dash + 1).trimmed();
    bool okFrom = false;
    bool okTo = false;
    const qint64 a = from.toLongLong(&okFrom);
    const qint64 b = to.toLongLong(&okTo);
    if (from.isEmpty()) { // suffix: the last b bytes
        if (!okTo || b < 0)
            return std::nullopt;
        if (b == 0 || size == 0)
            return ByteRange{0, -1, true};
        return ByteRange{std::max<qint64>(0, size - b), size - 1, false};
    }
    if (!okFrom || a < 0 || (!to.isEmpty() && (!okTo || b < a)))
        return std::nullopt;
    if (a >= size)
        return ByteRange{0, -1, true};
    return ByteRange{a, to.isEmpty() ? size - 1 : std::min(b, size - 1), false};
}

// RFC 9110's IMF-fixdate, e.g. "Sun, 06 Nov 1994 08:49:37 GMT".
QByteArray httpDate(const QDateTime& time) {
    return QLocale::c().toString(time.toUTC(), "ddd, dd MMM yyyy hh:mm:ss 'GMT'").toLatin1();
}

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\\') && !name.contains(QChar(0));
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket, HttpServer& server)
    : QObject(socket)
    , m_socket(socket)
    , m_server(server) {
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

void HttpConnection::onReadyRead() {
    if (m_handled) {
        m_socket->readAll(); // one request per connection; the rest is ignored
        return;
    }
    m_buffer += m_socket->readAll();
    if (!m_request) {
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_buffer.size() > kMaxHead) {
                m_handled = true;
                reply(431, "request head too large\n");
            }
            return;
        }
        m_request = HttpRequest::parseHead(m_buffer.left(end));
        m_buffer.remove(0, end + 4);
        if (!m_request) {
            m_handled = true;
            return reply(400, "malformed request\n");
        }
        if (m_request->method == "POST") {
            bool ok = false;
            m_bodyLength = m_request->header("content-length").toLongLong(&ok);
            if (!ok || m_bodyLength < 0 || m_request->headers.contains("transfer-encoding")) {
                m_handled = true;
                return reply(411, "Content-Length required\n");
            }
            if (m_bodyLength > kMaxBody) {
                m_handled = true;
                return reply(413, "body too large\n");
            }
        }
    }
    if (m_buffer.size() < m_bodyLength)
        return;
    m_request->body = m_buffer.left(m_bodyLength);
    m_buffer.clear();
    m_handled = true;
    handle();
}

void HttpConnection::handle() {
    const QString& path = m_request->path;
    if (path.startsWith(kPackagePrefix))
        servePackage(path.mid(kPackagePrefix.size()));
    else if (path == "/rekol" || path.startsWith("/rekol/"))
        acceptRekolPost();
    else
        reply(404, "not found\n");
}

void HttpConnection::servePackage(QString name) {
    const ServerOptions& options = m_server.options();
    if (m_request->method != "GET" && m_request->method != "HEAD")
        return reply(405, "GET or HEAD only\n", {{"Allow", "GET, HEAD"}});
    if (name.startsWith("old/"))
        return reply(
            302, {},
            {{"Location", (kPackagePrefix + QUrl::toPercentEncoding(name.mid(4))).toUtf8()}});
    if (name.startsWith("r/"))
        name = name.mid(2);
    else if (options.redirect)
        return reply(
            302, {},
            {{"Location", (kPackagePrefix + "r/" + QUrl::toPercentEncoding(name)).toUtf8()}});

    if (ManifestSigner* signer = m_server.signer();
        signer && (name.endsWith(".json") || name.endsWith(".json.sig")))
        return serveManifest(*signer, name);

    const QFileInfo file(options.root + '/' + name);
    if (!isPlainFileName(name) || !file.isFile() || !file.isReadable())
        return reply(404, "no such package\n");

    const bool faulty = m_server.nextPackageRequest() < options.failFirst;
    // An error page is a short text, or with --stall-after the file's bytes, stalled.
    const bool errorPage = faulty && options.status != 0;
    if (errorPage && options.stallAfter < 0)
        return reply(options.status, "status " + QByteArray::number(options.status) + "\n");

    const qint64 size = file.size();
    int status = errorPage ? options.status : 200;
    FileSender::Plan plan;
    plan.length = size;
    // Validators for If-Range: the size and modification time make the entity.
    const QByteArray etag = '"' + QByteArray::number(size, 16) + '-' +
                            QByteArray::number(file.lastModified().toMSecsSinceEpoch(), 16) + '"';
    const QByteArray lastModified = httpDate(file.lastModified());
    Headers headers{{"Content-Type", "application/octet-stream"}, {"Accept-Ranges", "bytes"}};
    const QByteArray ifRange = m_request->header("if-range");
    const QString& rangeReply = options.rangeReply;
    // A weak tag is sent, and If-Range never matches one: only the date can resume.
    const bool weakTag = rangeReply == "weak-etag";
    const bool rangeAllowed =
        !options.ignoreRange && (ifRange.isEmpty() || ifRange == etag || ifRange == lastModified ||
                                 (!rangeReply.isEmpty() && !weakTag));
    auto range =
        rangeAllowed && !errorPage ? parseRange(m_request->header("range"), size) : std::nullopt;
    if (!range || rangeReply != "no-validator")
        headers += Headers{{"ETag", weakTag ? "W/" + etag : etag}, {"Last-Modified", lastModified}};
    if (range) {
        if (range->unsatisfiable)
            return reply(416, "range not satisfiable\n",
                         {{"Content-Range", "bytes */" + QByteArray::number(size)}});
        if (rangeReply == "wrong-start")
            range->first = std::max<qint64>(0, range->first - 4096);
        status = 206;
        plan.offset = range->first;
        plan.length = range->last - range->first + 1;
        headers.emplaceBack(
            "Content-Range",
            QStringLiteral("bytes %1-%2/%3").arg(range->first).arg(range->last).arg(size).toUtf8());
    }
    plan.throttle = options.throttle;
    plan.chunked = options.chunked;
    if (faulty) {
        plan.dropAfter = options.dropAfter;
        plan.stallAfter = options.stallAfter;
        plan.stallFor = options.stallFor;
        plan.closeAtEnd = options.lieLength > 0;
        plan.flipAt = options.tamperBody ? size / 2 : -1;
        plan.padding = options.extraBody;
    }
    if (plan.chunked)
        headers.emplaceBack("Transfer-Encoding", "chunked");
    else
        headers.emplaceBack("Content-Length", QByteArray::number(plan.length + plan.padding +
                                                                 (faulty ? options.lieLength : 0)));

    writeHead(status, headers);
    logRequest(status, faulty && (plan.dropAfter >= 0 || plan.stallAfter >= 0 || plan.closeAtEnd ||
                                  plan.padding > 0)
                           ? "(faulty)"
                           : QString());
    if (m_request->method == "HEAD")
        return m_socket->disconnectFromHost();
    auto* sender = new FileSender(m_socket, file.absoluteFilePath(), plan);
    sender->onDone = [&server = m_server, entry = logEntry(status)](qint64 sent) mutable {
        entry["sent"] = static_cast<double>(sent);
        server.requestLog().append(entry);
    };
    if (!sender->start())
        m_socket->abort();
}

void HttpConnection::serveManifest(ManifestSigner& signer, const QString& name) {
    const bool signature = name.endsWith(".sig");
    const QString package = name.left(name.size() - (signature ? 9 : 5));
    const QFileInfo file(m_server.options().root + '/' + package);
    if (!isPlainFileName(package) || !file.isFile() || !file.isReadable() ||
        (signature && m_server.options().noSignature))
        return reply(404, "no such manifest\n");
    const auto made = signer.manifestFor(file.absoluteFilePath(), package);
    if (!made)
        return reply(500, "cannot make the manifest\n");
    const QByteArray& body = signature ? made->signature : made->json;
    if (m_server.options().manifestThrottle > 0)
        return trickle(body, m_server.options().manifestThrottle);
    reply(200, body);
}

void HttpConnection::trickle(const QByteArray& body, qint64 bytesPerSecond) {
    writeHead(
        200, {{"Content-Type", "text/plain"}, {"Content-Length", QByteArray::number(body.size())}});
    logRequest(200, "(throttled)");
    // Ten small writes a second.
    const qint64 step = std::max<qint64>(1, bytesPerSecond / 10);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, timer, body, step, sent = qint64(0)]() mutable {
        m_socket->write(body.mid(sent, step));
        sent += step;
        if (sent < body.size())
            return;
        timer->stop();
        m_socket->disconnectFromHost();
    });
    timer->start(100);
}

void HttpConnection::acceptRekolPost() {
    const ServerOptions& options = m_server.options();
    if (m_request->method != "POST")
        return reply(405, "POST only\n", {{"Allow", "POST"}});

    const std::optional<RekolForm> form = RekolForm::parse(m_request->body);
    QJsonObject entry;
    if (form) {
        entry = form->toLogEntry(m_request->path);
    } else {
        entry = QJsonObject{{"path", m_request->path},
                            {"table", QJsonValue::Null},
                            {"appid", QJsonValue::Null},
                            {"client", QJsonValue::Null},
                            {"data", QJsonValue::Null},
                            {"error", "malformed form"},
                            {"raw", QString::fromUtf8(m_request->body)}};
    }
    QJsonObject headers;
    for (auto it = m_request->headers.cbegin(); it != m_request->headers.cend(); ++it)
        headers.insert(QString::fromLatin1(it.key()), QString::fromUtf8(it.value()));
    entry["headers"] = headers;
    m_server.telemetryLog().append(entry);

    if (!form)
        return reply(400, "result=0");
    if (options.rekolHang)
        return logRequest(0, "no answer (--rekol-hang)");
    reply(options.rekolStatus, options.rekolReply);
}

void HttpConnection::writeHead(int status, const Headers& headers) {
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\n";
    m_socket->write(head);
}

void HttpConnection::reply(int status, const QByteArray& body, Headers headers) {
    headers.emplaceBack("Content-Type", "text/plain");
    headers.emplaceBack("Content-Length", QByteArray::number(body.size()));
    writeHead(status, headers);
    if (!m_request || m_request->method != "HEAD")
        m_socket->write(body);
    logRequest(status);
    QJsonObject entry = logEntry(status);
    entry["sent"] = m_request && m_request->method == "HEAD" ? 0 : static_cast<double>(body.size());
    m_server.requestLog().append(entry);
    m_socket->disconnectFromHost();
}

QJsonObject HttpConnection::logEntry(int status) const {
    if (!m_request)
        return {{"status", status}};
    return {{"method", QString::fromLatin1(m_request->method)},
            {"target", QString::fromUtf8(m_request->target)},
            {"range", QString::fromLatin1(m_request->header("range"))},
            {"ifRange", QString::fromLatin1(m_request->header("if-range"))},
            {"status", status}};
}

void HttpConnection::logRequest(int status, const QString& note) {
    const QByteArray method = m_request ? m_request->method : QByteArray("-");
    const QByteArray target = m_request ? m_request->target : QByteArray("-");
    std::fprintf(stderr, "%s %s -> %d%s%s\n", method.constData(), target.constData(), status,
                 note.isEmpty() ? "" : " ", qPrintable(note));
    std::fflush(stderr);
}
