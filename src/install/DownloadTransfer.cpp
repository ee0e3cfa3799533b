#include "install/DownloadTransfer.h"

#include "base/Log.h"
#include "install/Downloader.h"
#include "platform/RunOnMain.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStorageInfo>
#include <mutex>

namespace {
// Qt buffers a reply without limit by default; 1 MiB keeps a fast download's
// memory flat without costing speed.
constexpr qint64 kReadBufferSize = 1024 * 1024;
constexpr qsizetype kChunkSize = 256 * 1024;
// Room left beside the package for the install's own small files.
constexpr qint64 kSpaceMargin = 8 * 1024 * 1024;

// What the next attempt needs to continue this process's part file: the
// validator of the reply it came from. Only attempts for the same URL use it.
struct ResumeRecord {
    QUrl url;
    QByteArray validator; // ETag, else Last-Modified
};
std::mutex g_resumeMutex;
ResumeRecord g_resume;

QByteArray resumeValidatorFor(const QUrl& url) {
    std::lock_guard lock(g_resumeMutex);
    return g_resume.url == url ? g_resume.validator : QByteArray();
}

void recordResumeValidator(const QUrl& url, const QByteArray& validator) {
    std::lock_guard lock(g_resumeMutex);
    g_resume = {url, validator};
}

int httpStatus(const QNetworkReply* reply) {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// "bytes N-M/T" or "bytes N-M/*": N and T (-1 when unknown); no value otherwise.
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

} // namespace

DownloadTransfer::DownloadTransfer(std::shared_ptr<DownloadShared> shared, const QUrl& url,
                                   const DownloadSettings& settings,
                                   DownloadShared::Clock::time_point start)
    : m_shared(std::move(shared))
    , m_url(url)
    , m_settings(settings)
    , m_start(start)
    , m_file(Downloader::partPath())
    , m_speedTimer(this) {}

DownloadTransfer::~DownloadTransfer() {
    for (QNetworkReply* reply : {m_manifestReply, m_signatureReply, m_reply}) {
        if (reply && !m_finished) {
            reply->disconnect(this);
            reply->abort();
        }
    }
    // A transfer cancelled half-way leaves nothing behind.
    if (!m_finished && m_fileOpened)
        discardPartFile();
}

void DownloadTransfer::start() {
    m_manager = new QNetworkAccessManager(this);
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    connect(&m_speedTimer, &QTimer::timeout, this, &DownloadTransfer::checkSpeed);

    if (m_settings.publicKey.isEmpty()) {
        logLine(lcDownload(), "package signature not checked: no key configured");
        return startPackage();
    }
    const auto key = PackageCrypto::decodePublicKey(m_settings.publicKey);
    if (!key) {
        logLine(lcDownload(),
                "the configured package key is not the base64 of a 32-byte Ed25519 key");
        return fail(verificationFailure("no usable package key"), false);
    }
    m_publicKey = *key;
    const QString base = m_url.toString(QUrl::FullyEncoded);
    m_manifestReply = get(QUrl(base + ".json"), PackageManifest::kMaxFileSize);
    m_signatureReply = get(QUrl(base + ".json.sig"), PackageManifest::kMaxFileSize);
    for (QNetworkReply* reply : {m_manifestReply, m_signatureReply})
        connect(reply, &QNetworkReply::finished, this, &DownloadTransfer::onManifestReplyFinished);
}

QNetworkReply* DownloadTransfer::get(const QUrl& url, qint64 sizeCap) {
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(m_settings.transferTimeout.count()));
    // The bytes as stored, never re-encoded on the way: they are hashed and signed.
    request.setRawHeader("Accept-Encoding", "identity");
    if (m_rangeFrom > 0 && sizeCap < 0) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(m_rangeFrom) + '-');
        request.setRawHeader("If-Range", resumeValidatorFor(m_url));
    }
    QNetworkReply* reply = m_manager->get(request);
    if (sizeCap >= 0) {
        // A manifest file is small; anything larger is cut off at once.
        connect(reply, &QNetworkReply::downloadProgress, this,
                [reply, sizeCap](qint64 received, qint64 total) {
                    if (received > sizeCap || total > sizeCap) {
                        reply->setProperty("oversized", true);
                        reply->abort();
                    }
                });
    }
    return reply;
}

void DownloadTransfer::onManifestReplyFinished() {
    if (m_finished || !m_manifestReply->isFinished() || !m_signatureReply->isFinished())
        return;
    checkManifest();
}

void DownloadTransfer::checkManifest() {
    QByteArray bodies[2];
    QNetworkReply* replies[2] = {m_manifestReply, m_signatureReply};
    for (int i = 0; i < 2; ++i) {
        QNetworkReply* reply = replies[i];
        reply->deleteLater();
        const int status = httpStatus(reply);
        if (reply->property("oversized").toBool())
            return fail(verificationFailure(i == 0 ? "bad manifest" : "bad signature"), true);
        if (status == 404 || status == 410)
            return fail(verificationFailure("unsigned"), true);
        if (status >= 400)
            return fail(
                networkFailure(
                    QStringLiteral("%1: HTTP status %2").arg(reply->url().toString()).arg(status)),
                false);
        if (reply->error() != QNetworkReply::NoError)
            return fail(networkFailure(reply->url().toString() + ": " + reply->errorString()),
                        false);
        bodies[i] = reply->readAll();
    }
    m_manifestReply = m_signatureReply = nullptr;

    QString reason;
    m_manifest = PackageManifest::verify(bodies[0], bodies[1], m_publicKey, m_url.fileName(),
                                         QDateTime::currentDateTimeUtc(),
                                         m_settings.installedVersion, &reason);
    if (!m_manifest)
        return fail(verificationFailure(reason), true);
    m_hash = std::make_unique<BackgroundSha256>();
    logLine(lcDownload(), QStringLiteral("package manifest verified: %1 version %2, %3 bytes")
                              .arg(m_manifest->file, m_manifest->version)
                              .arg(m_manifest->size));
    startPackage();
}

void DownloadTransfer::startPackage() {
    // Continue what an earlier attempt left, when the server can tell us
    // whether the file is still the same one.
    const QFileInfo part(m_file.fileName());
    const qint64 kept = part.isFile() ? part.size() : 0;
    const bool fits = !m_manifest || kept < m_manifest->size;
    if (kept > 0 && fits && !resumeValidatorFor(m_url).isEmpty()) {
        m_rangeFrom = kept;
        logLine(lcDownload(), QStringLiteral("Resuming download at byte %1").arg(kept));
    }
    m_reply = get(m_url);
    m_reply->setReadBufferSize(kReadBufferSize);
    connect(m_reply, &QNetworkReply::readyRead, this, &DownloadTransfer::onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this] {
        if (!m_finished)
            postProgress();
    });
    connect(m_reply, &QNetworkReply::finished, this, &DownloadTransfer::onFinished);

    const auto window = m_settings.lowSpeedWindow;
    m_speedTimer.start(
        std::max<std::chrono::milliseconds>(window / 60, std::chrono::milliseconds(50)));
    m_samples.emplace_back(DownloadShared::Clock::now(), 0);
}

bool DownloadTransfer::beginBody() {
    if (m_bodyStarted)
        return !m_dropBody && !m_abort;
    m_bodyStarted = true;
    const int status = httpStatus(m_reply);
    if (status >= 400 || m_reply->error() != QNetworkReply::NoError) {
        m_dropBody = true;
        if (status == 416) // the kept part cannot be continued; the next attempt starts afresh
            discardPartFile();
        return false;
    }
    const QByteArray validator = m_reply->rawHeader("ETag").isEmpty()
                                     ? m_reply->rawHeader("Last-Modified")
                                     : m_reply->rawHeader("ETag");
    recordResumeValidator(m_url, validator);

    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (status == 206) {
        const auto range = parseContentRange(m_reply->rawHeader("Content-Range"));
        if (m_rangeFrom <= 0 || !range || range->first != m_rangeFrom) {
            abortWith(networkFailure("the server answered with an unexpected range"), true);
            return false;
        }
        m_offset = m_rangeFrom;
        m_expectedTotal = range->second >= 0
                              ? range->second
                              : (length.isValid() ? m_offset + length.toLongLong() : qint64(-1));
    } else {
        if (m_rangeFrom > 0) {
            if (status != 200) {
                abortWith(
                    networkFailure(QStringLiteral("HTTP status %1 to a range request").arg(status)),
                    true);
                return false;
            }
            logLine(lcDownload(), "the server sent the whole file again; starting from zero");
        }
        m_expectedTotal = length.isValid() ? length.toLongLong() : -1;
    }

    if (m_manifest && m_expectedTotal >= 0 && m_expectedTotal != m_manifest->size) {
        abortWith(verificationFailure("wrong size"), true);
        return false;
    }
    if (m_expectedTotal >= 0) {
        const QString folder = QDir::tempPath();
        const qint64 available = QStorageInfo(folder).bytesAvailable();
        if (available >= 0 && available < m_expectedTotal - m_offset + kSpaceMargin) {
            abortWith({Failure::Kind::DiskSpace, "not enough disk space in " + folder}, false);
            return false;
        }
    }

    const QIODevice::OpenMode mode =
        m_offset > 0 ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!m_file.open(mode)) {
        abortWith(networkFailure("cannot open " + m_file.fileName() + ": " + m_file.errorString()),
                  false);
        return false;
    }
    m_fileOpened = true;
    m_written = m_reported = m_offset;
    if (m_manifest && !rehashKeptPart(m_offset)) {
        abortWith(networkFailure("cannot read " + m_file.fileName()), true);
        return false;
    }
    return true;
}

// The hash covers the whole file: the kept part is read back first.
bool DownloadTransfer::rehashKeptPart(qint64 length) {
    m_hash->reset();
    if (length == 0)
        return true;
    QFile kept(m_file.fileName());
    if (!kept.open(QIODevice::ReadOnly))
        return false;
    qint64 left = length;
    while (left > 0) {
        const QByteArray piece = kept.read(std::min<qint64>(left, kChunkSize));
        if (piece.isEmpty())
            return false;
        m_hash->add(piece);
        left -= piece.size();
    }
    return true;
}

void DownloadTransfer::onReadyRead() {
    if (m_finished || m_abort)
        return;
    if (!beginBody()) {
        if (m_reply && !m_abort)
            m_reply->skip(m_reply->bytesAvailable()); // an error page
        return;
    }
    while (m_writeError.isEmpty() && m_reply->bytesAvailable() > 0) {
        // A fresh array per piece: the hash thread shares it while it is written.
        const QByteArray piece = m_reply->read(kChunkSize);
        const qint64 n = piece.size();
        if (n <= 0)
            break;
        if (m_manifest && m_written + n > m_manifest->size)
            return abortWith(verificationFailure("wrong size"), true);
        if (m_hash)
            m_hash->add(piece);
        if (m_file.write(piece) != n) {
            m_writeError = m_file.errorString();
            m_reply->abort(); // finishes the reply; onFinished reports the failure
            return;
        }
        m_written += n;
        m_received += n;
    }
}

// Fails the transfer when it received less than the limit over the last window.
void DownloadTransfer::checkSpeed() {
    if (m_finished || m_abort)
        return;
    const auto now = DownloadShared::Clock::now();
    const auto window = m_settings.lowSpeedWindow;
    m_samples.emplace_back(now, m_received);
    while (m_samples.size() > 1 && now - m_samples[1].first >= window)
        m_samples.pop_front();
    const auto& [since, receivedThen] = m_samples.front();
    if (now - since < window)
        return;
    const double seconds = std::chrono::duration<double>(window).count();
    if (double(m_received - receivedThen) < double(m_settings.lowSpeedBytesPerSecond) * seconds)
        abortWith(networkFailure(QStringLiteral("under %1 bytes/s for %2 s (low-speed limit)")
                                     .arg(m_settings.lowSpeedBytesPerSecond)
                                     .arg(seconds)),
                  false);
}

// The figures are those of the file on disk and of the announced length:
// Qt's own total turns into the received count once an unknown length ends.
void DownloadTransfer::postProgress() {
    if (m_written == m_reported)
        return;
    const qint64 didWrite = m_written - m_reported;
    m_reported = m_written;
    runOnMain([shared = m_shared, didWrite, written = m_written, expected = m_expectedTotal,
               start = m_start] { shared->progressStep(didWrite, written, expected, start); });
}

QString DownloadTransfer::transferFailure() const {
    if (!m_writeError.isEmpty())
        return "cannot write " + m_file.fileName() + ": " + m_writeError;
    const int status = httpStatus(m_reply);
    if (status >= 400)
        return QStringLiteral("HTTP status %1").arg(status);
    if (m_reply->error() == QNetworkReply::OperationCanceledError)
        return QStringLiteral("nothing received for %1 s (idle time-out)")
            .arg(std::chrono::duration<double>(m_settings.transferTimeout).count());
    if (m_reply->error() != QNetworkReply::NoError)
        return m_reply->errorString();
    // Qt does not always notice a connection closed early; the length tells.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != m_received)
        return QStringLiteral("received %1 of %2 bytes").arg(m_received).arg(length.toLongLong());
    return {};
}

void DownloadTransfer::onFinished() {
    if (m_finished)
        return;
    if (!m_abort && m_reply->error() == QNetworkReply::NoError) {
        onReadyRead(); // whatever is still buffered; also opens the file of an empty body
    }
    m_finished = true;
    m_speedTimer.stop();
    postProgress();
    m_reply->deleteLater();

    std::optional<std::pair<Failure, bool>> failure = m_abort;
    if (!failure) {
        QString reason = transferFailure();
        if (reason.isEmpty() && !m_file.flush())
            reason = "cannot write " + m_file.fileName() + ": " + m_file.errorString();
        if (!reason.isEmpty())
            failure = {networkFailure(reason), !m_writeError.isEmpty()};
    }
    m_reply = nullptr;
    m_file.close();
    if (!failure && m_manifest) {
        if (m_written != m_manifest->size)
            failure = {verificationFailure("wrong size"), true};
        else if (m_hash->result() != m_manifest->sha256)
            failure = {verificationFailure("wrong hash"), true};
        else
            logLine(lcDownload(), "package verified: size and SHA-256 match the manifest");
    }
    if (failure)
        return fail(failure->first, failure->second);

    const QString destination = Downloader::packagePath();
    if (!moveIntoPlace(destination))
        return fail(networkFailure("the package could not be put in place"), true);
    if (!m_shared->cancelled && m_shared->onDownloadSuccess)
        m_shared->onDownloadSuccess(destination);
    m_activity.end();
    logLine(lcDownload(), "Download task completed successfully");
}

bool DownloadTransfer::moveIntoPlace(const QString& destination) {
    logLine(lcDownload(), "download locatino " + m_file.fileName());
    // An earlier run's package makes way; a stale file must never pass as the new one.
    QFile existing(destination);
    const QFileInfo info(destination);
    if (info.exists() || info.isSymLink()) {
        if (!existing.remove())
            logLine(lcDownload(), "Error removing existing file: " + existing.errorString());
    }
    if (!m_file.rename(destination)) {
        logLine(lcDownload(), "Error moving file: " + m_file.errorString());
        return false;
    }
    m_file.setFileName(QString()); // no longer ours to discard
    logLine(lcDownload(),
            "File moved successfully to: " + QUrl::fromLocalFile(destination).toString());
    return true;
}

void DownloadTransfer::abortWith(Failure failure, bool discardPart) {
    if (m_abort || m_finished)
        return;
    m_abort = {std::move(failure), discardPart};
    if (m_reply)
        m_reply->abort(); // finishes the reply; onFinished reports the failure
}

void DownloadTransfer::fail(const Failure& failure, bool discardPart) {
    m_finished = true;
    m_speedTimer.stop();
    logLine(lcDownload(),
            "Download failed: " + (failure.kind == Failure::Kind::Verification
                                       ? "the package failed verification: " + failure.reason
                                       : failure.reason));
    if (discardPart)
        discardPartFile();
    m_shared->setFailure(failure);
    if (!m_shared->cancelled && m_shared->onDownloadFailed)
        m_shared->onDownloadFailed();
    m_activity.end();
}

void DownloadTransfer::discardPartFile() {
    if (m_file.fileName().isEmpty())
        return;
    m_file.close();
    if (QFileInfo(m_file.fileName()).isFile())
        m_file.remove();
    // The name is shared with the next attempt's transfer: never remove its file.
    m_file.setFileName(QString());
}
