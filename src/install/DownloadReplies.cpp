#include "install/DownloadReplies.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <mutex>

namespace {
// What the next attempt needs to continue this process's part file: the
// validator of the reply it came from. Only attempts for the same URL use it.
struct ResumeRecord {
    QUrl url;
    QByteArray validator; // ETag, else Last-Modified
};
std::mutex g_resumeMutex;
ResumeRecord g_resume;
} // namespace

namespace DownloadReplies {

QByteArray resumeValidatorFor(const QUrl& url) {
    std::lock_guard lock(g_resumeMutex);
    return g_resume.url == url ? g_resume.validator : QByteArray();
}

void recordResumeValidator(const QUrl& url, const QByteArray& validator) {
    std::lock_guard lock(g_resumeMutex);
    g_resume = {url, validator};
}

QByteArray validatorOf(const QNetworkReply* reply) {
    const QByteArray etag = reply->rawHeader("ETag");
    return etag.isEmpty() || etag.startsWith("W/") ? reply->rawHeader("Last-Modified") : etag;
}

int httpStatus(const QNetworkReply* reply) {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

std::optional<std::pair<qint64, qint64>> parseContentRange(const QByteArray& header) {
    if (!header.startsWith("bytes "))
        return std::nullopt;
    const QByteArray range = header.mid(6).trimmed();
    const qsizetype dash = range.indexOf('-');
    const qsizetype slash = range.indexOf('/');
    if (dash <= 0 || slash < dash)
        return std::nullopt;
    bool ok = false;
    const qint64 first = range.left(dash).toLongLong(&ok);
    if (!ok || first < 0)
        return std::nullopt;
    const QByteArray total = range.mid(slash + 1);
    if (total == "*")
        return std::pair{first, qint64(-1)};
    const qint64 size = total.toLongLong(&ok);
    if (!ok || size <= first)
        return std::nullopt;
    return std::pair{first, size};
}

Downloader::Failure verificationFailure(const QString& reason) {
    return {Downloader::Failure::Kind::Verification, reason};
}

Downloader::Failure networkFailure(const QString& reason) {
    return {Downloader::Failure::Kind::Transfer, reason};
}

Downloader::Failure localFailure(const QString& reason) {
    return {Downloader::Failure::Kind::LocalFile, reason};
}

} // namespace DownloadReplies
