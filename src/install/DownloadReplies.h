#pragma once
// What the transfer reads from replies and keeps between attempts: the
// validator a resumed part must match, the HTTP status, Content-Range, and
// the failures it reports. Internal to the download.

#include "install/Downloader.h"

#include <QByteArray>
#include <QUrl>
#include <optional>
#include <utility>

class QNetworkReply;

namespace DownloadReplies {

// The validator of the reply this process's part file came from; empty when
// the part is of another URL or has none. Any thread.
QByteArray resumeValidatorFor(const QUrl& url);
void recordResumeValidator(const QUrl& url, const QByteArray& validator);

// What identifies the file a reply came from: its strong ETag, else its
// Last-Modified (a weak ETag cannot vouch for a byte range).
QByteArray validatorOf(const QNetworkReply* reply);
int httpStatus(const QNetworkReply* reply);
// "bytes N-M/T" or "bytes N-M/*": N and T (-1 when unknown); no value otherwise.
std::optional<std::pair<qint64, qint64>> parseContentRange(const QByteArray& header);

Downloader::Failure verificationFailure(const QString& reason);
Downloader::Failure networkFailure(const QString& reason);
Downloader::Failure localFailure(const QString& reason);

} // namespace DownloadReplies
