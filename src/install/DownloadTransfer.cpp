#include "install/DownloadTransfer.h"

#include "base/Log.h"
#include "install/Downloader.h"
#include "platform/RunOnMain.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
// Qt buffers a reply without limit by default; 1 MiB keeps a fast download's
// memory flat without costing speed.
constexpr qint64 kReadBufferSize = 1024 * 1024;
constexpr qsizetype kChunkSize = 256 * 1024;
} // namespace

DownloadTransfer::DownloadTransfer(std::shared_ptr<DownloadShared> shared, const QUrl& url,
                                   std::chrono::milliseconds transferTimeout,
                                   DownloadShared::Clock::time_point start)
    : m_shared(std::move(shared))
    , m_url(url)
    , m_transferTimeout(transferTimeout)
    , m_start(start) {}

DownloadTransfer::~DownloadTransfer() {
    if (m_reply && !m_finished) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    discardPartFile();
}

void DownloadTransfer::start() {
    // A fixed name beside the destination, so the final move is a rename and
    // the install journal can name it before it exists.
    m_file.setFileName(Downloader::partPath());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail("cannot open " + m_file.fileName() + ": " + m_file.errorString());
    m_chunk.resize(kChunkSize);

    m_manager = new QNetworkAccessManager(this);
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkRequest request(m_url);
    request.setTransferTimeout(static_cast<int>(m_transferTimeout.count()));
    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(kReadBufferSize);
    connect(m_reply, &QNetworkReply::readyRead, this, &DownloadTransfer::onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &DownloadTransfer::onDownloadProgress);
    connect(m_reply, &QNetworkReply::finished, this, &DownloadTransfer::onFinished);
}

void DownloadTransfer::onReadyRead() {
    while (!m_finished && m_writeError.isEmpty() && m_reply->bytesAvailable() > 0) {
        const qint64 n = m_reply->read(m_chunk.data(), m_chunk.size());
        if (n <= 0)
            break;
        if (m_file.write(m_chunk.constData(), n) != n) {
            m_writeError = m_file.errorString();
            m_reply->abort(); // finishes the reply; onFinished reports the failure
            return;
        }
        m_written += n;
    }
}

void DownloadTransfer::onDownloadProgress(qint64 /*received*/, qint64 /*total*/) {
    if (!m_finished)
        postProgress();
}

// The figures are those of the file on disk and of the announced length:
// Qt's own total turns into the received count once an unknown length ends.
void DownloadTransfer::postProgress() {
    if (m_written == m_reported)
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 expected = length.isValid() ? length.toLongLong() : -1;
    const qint64 didWrite = m_written - m_reported;
    m_reported = m_written;
    runOnMain([shared = m_shared, didWrite, written = m_written, expected, start = m_start] {
        shared->progressStep(didWrite, written, expected, start);
    });
}

QString DownloadTransfer::failureReason() const {
    if (!m_writeError.isEmpty())
        return "cannot write " + m_file.fileName() + ": " + m_writeError;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 400)
        return QStringLiteral("HTTP status %1").arg(status.toInt());
    if (m_reply->error() != QNetworkReply::NoError)
        return m_reply->errorString();
    // Qt does not always notice a connection closed early; the length tells.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    const QByteArray encoding = m_reply->rawHeader("Content-Encoding");
    if (length.isValid() && (encoding.isEmpty() || encoding == "identity") &&
        length.toLongLong() != m_written)
        return QStringLiteral("received %1 of %2 bytes").arg(m_written).arg(length.toLongLong());
    return {};
}

void DownloadTransfer::onFinished() {
    if (m_finished)
        return;
    if (m_reply->error() == QNetworkReply::NoError)
        onReadyRead(); // whatever is still buffered
    m_finished = true;
    postProgress();
    m_reply->deleteLater();

    QString reason = failureReason();
    m_reply = nullptr;
    if (reason.isEmpty() && !m_file.flush())
        reason = "cannot write " + m_file.fileName() + ": " + m_file.errorString();
    m_file.close();
    if (!reason.isEmpty())
        return fail(reason);

    const QString destination = Downloader::packagePath();
    if (!moveIntoPlace(destination))
        return fail("the package could not be put in place");
    if (!m_shared->cancelled && m_shared->onDownloadSuccess)
        m_shared->onDownloadSuccess(destination);
    logLine("Download task completed successfully");
}

bool DownloadTransfer::moveIntoPlace(const QString& destination) {
    logLine("download locatino " + m_file.fileName());
    // An earlier run's package makes way; a stale file must never pass as the new one.
    QFile existing(destination);
    const QFileInfo info(destination);
    if (info.exists() || info.isSymLink()) {
        if (!existing.remove())
            logLine("Error removing existing file: " + existing.errorString());
    }
    if (!m_file.rename(destination)) {
        logLine("Error moving file: " + m_file.errorString());
        return false;
    }
    m_file.setFileName(QString()); // no longer ours to discard
    logLine("File moved successfully to: " + QUrl::fromLocalFile(destination).toString());
    return true;
}

void DownloadTransfer::fail(const QString& reason) {
    m_finished = true;
    logLine("Download failed: " + reason);
    discardPartFile();
    if (!m_shared->cancelled && m_shared->onDownloadFailed)
        m_shared->onDownloadFailed();
}

void DownloadTransfer::discardPartFile() {
    if (m_file.fileName().isEmpty())
        return;
    m_file.close();
    if (m_file.exists())
        m_file.remove();
    // The name is shared with the next attempt's transfer: never remove its file.
    m_file.setFileName(QString());
}
