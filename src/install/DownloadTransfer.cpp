#include "install/DownloadTransfer.h"

#include "base/Log.h"
#include "base/PhaseClock.h"
#include "base/WholeFile.h"
#include "install/DownloadReplies.h"
#include "install/Downloader.h"
#include "platform/RunOnMain.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
// Qt buffers a reply without limit by default; 1 MiB keeps a fast download's
// memory flat without costing speed.
constexpr qint64 kReadBufferSize = 1024 * 1024;
constexpr qsizetype kChunkSize = 256 * 1024;
// Room left beside the package for the install's own small files, and for
// everything else on the disk.
constexpr qint64 kSpaceMargin = 8 * 1024 * 1024;
// How often a body of no announced length looks at the free space.
constexpr qint64 kSpaceCheckStep = 4 * 1024 * 1024;
} // namespace

using namespace DownloadReplies;

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

void DownloadTransfer::startPackage() {
    // Continue what an earlier attempt left, when the server can tell us
    // whether the file is still the same one.
    const QFileInfo part(m_file.fileName());
    const qint64 kept = part.isFile() ? part.size() : 0;
    const bool fits = !m_manifest || kept < m_manifest->size;
    m_resumeValidator = m_fromZero ? QByteArray() : resumeValidatorFor(m_url);
    if (kept > 0 && fits && !m_resumeValidator.isEmpty()) {
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
    const QByteArray validator = validatorOf(m_reply);
    recordResumeValidator(m_url, validator);

    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (status == 206) {
        const auto range = parseContentRange(m_reply->rawHeader("Content-Range"));
        if (m_rangeFrom <= 0 || !range) {
            abortWith(networkFailure("the server answered with an unexpected range"), true);
            return false;
        }
        // Never splice two files: the rest must come from the file the part did.
        if (range->first != m_rangeFrom || validator != m_resumeValidator) {
            startAgainFromZero(range->first != m_rangeFrom
                                   ? QStringLiteral("the server's range starts at byte %1, not %2")
                                         .arg(range->first)
                                         .arg(m_rangeFrom)
                                   : QStringLiteral("the file on the server changed"));
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
    if (!roomFor(m_expectedTotal >= 0 ? m_expectedTotal - m_offset : 0, false))
        return false;

    // Unbuffered: every byte goes straight to the descriptor (writeToPart).
    const QIODevice::OpenMode mode =
        QIODevice::Unbuffered |
        (m_offset > 0 ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate);
    if (!m_file.open(mode)) {
        abortWith(localFailure(m_shared->cannotOpen(m_file)), false);
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
    QNetworkReply* const reply = m_reply;
    if (!beginBody()) {
        // The status is the failure: an error page is not read to its end, which
        // a hostile server need never send.
        if (m_reply != reply || m_abort)
            return;
        if (httpStatus(m_reply) >= 400)
            m_reply->abort();
        else
            m_reply->skip(m_reply->bytesAvailable());
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
        // A body of no announced length may never end: it stops short of filling the disk.
        if (m_expectedTotal < 0 &&
            (m_written + n) / kSpaceCheckStep != m_written / kSpaceCheckStep && !roomFor(n, true))
            return;
        if (m_hash)
            m_hash->add(piece);
        if (!writeToPart(piece)) {
            m_reply->abort(); // finishes the reply; onFinished reports the failure
            return;
        }
        m_written += n;
        m_received += n;
        m_arrived += n;
    }
}

bool DownloadTransfer::roomFor(qint64 bytes, bool discardPart) {
    const qint64 available = freeBytes(QDir::tempPath());
    if (available < 0 || available >= bytes + kSpaceMargin)
        return true;
    abortWith({Failure::Kind::DiskSpace, "not enough disk space in " + QDir::tempPath()},
              discardPart);
    return false;
}

// Straight to the descriptor: QFile loses the system's reason on a short write.
bool DownloadTransfer::writeToPart(const QByteArray& piece) {
    const char* data = piece.constData();
    qsizetype left = piece.size();
    while (left > 0) {
        const ssize_t n = ::write(m_file.handle(), data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_writeError = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC));
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

// Fails the transfer when it received less than the limit over the last window.
void DownloadTransfer::checkSpeed() {
    if (m_finished || m_abort)
        return;
    const auto now = DownloadShared::Clock::now();
    const auto window = m_settings.lowSpeedWindow;
    m_samples.emplace_back(now, m_arrived);
    while (m_samples.size() > 1 && now - m_samples[1].first >= window)
        m_samples.pop_front();
    const auto& [since, receivedThen] = m_samples.front();
    if (now - since < window)
        return;
    const double seconds = std::chrono::duration<double>(window).count();
    if (double(m_arrived - receivedThen) < double(m_settings.lowSpeedBytesPerSecond) * seconds)
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
    if (m_reply->error() != QNetworkReply::NoError)
        return replyError(m_reply);
    // Qt does not always notice a connection closed early; the length tells.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != m_received)
        return QStringLiteral("received %1 of %2 bytes").arg(m_received).arg(length.toLongLong());
    return {};
}

QString DownloadTransfer::replyError(const QNetworkReply* reply) const {
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return QStringLiteral("nothing received for %1 s (idle time-out)")
            .arg(std::chrono::duration<double>(m_settings.transferTimeout).count());
    return reply->errorString();
}

void DownloadTransfer::onFinished() {
    if (m_finished)
        return;
    if (!m_abort && m_reply->error() == QNetworkReply::NoError) {
        QNetworkReply* const reply = m_reply;
        onReadyRead(); // whatever is still buffered; also opens the file of an empty body
        if (m_reply != reply)
            return; // started again from zero
    }
    m_finished = true;
    PhaseClock::mark("download");
    m_speedTimer.stop();
    postProgress();
    m_reply->deleteLater();

    std::optional<std::pair<Failure, bool>> failure = m_abort;
    if (!failure) {
        QString reason = transferFailure();
        if (!m_writeError.isEmpty())
            failure = {localFailure(reason), true};
        else if (!reason.isEmpty())
            failure = {networkFailure(reason), false};
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
    PhaseClock::mark("verify");
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
    // Finishes the replies; onFinished or checkManifest reports the failure.
    for (QNetworkReply* reply : {m_manifestReply, m_signatureReply, m_reply})
        if (reply)
            reply->abort();
}

void DownloadTransfer::startAgainFromZero(const QString& reason) {
    logLine(lcDownload(), reason + "; starting again from zero");
    QNetworkReply* const reply = std::exchange(m_reply, nullptr);
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    discardPartFile();
    m_file.setFileName(Downloader::partPath());
    m_fromZero = true;
    m_bodyStarted = false;
    m_rangeFrom = 0;
    startPackage();
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
