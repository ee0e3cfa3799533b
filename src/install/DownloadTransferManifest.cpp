// DownloadTransfer: the start, every request, and the signed manifest stage.
#include "base/Log.h"
#include "base/ReplyCap.h"
#include "install/DownloadReplies.h"
#include "install/DownloadTransfer.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

using namespace DownloadReplies;

void DownloadTransfer::start() {
    m_manager = new QNetworkAccessManager(this);
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    connect(&m_speedTimer, &QTimer::timeout, this, &DownloadTransfer::checkSpeed);
    // The low-speed limit holds for the manifest and its signature too.
    const auto window = m_settings.lowSpeedWindow;
    m_speedTimer.start(
        std::max<std::chrono::milliseconds>(window / 60, std::chrono::milliseconds(50)));
    m_samples.emplace_back(DownloadShared::Clock::now(), 0);

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
        // A manifest file is small; anything larger is cut off at once. Its bytes
        // count for the low-speed limit.
        ReplyCap::limit(reply, sizeCap, lcDownload());
        connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received) {
            m_arrived += received - reply->property("received").toLongLong();
            reply->setProperty("received", received);
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
    if (m_abort) {
        for (QNetworkReply* reply : replies)
            reply->deleteLater();
        m_manifestReply = m_signatureReply = nullptr;
        return fail(m_abort->first, m_abort->second);
    }
    for (int i = 0; i < 2; ++i) {
        QNetworkReply* reply = replies[i];
        reply->deleteLater();
        const int status = httpStatus(reply);
        if (ReplyCap::cutOff(reply))
            return fail(verificationFailure(i == 0 ? "bad manifest" : "bad signature"), true);
        if (status == 404 || status == 410)
            return fail(verificationFailure("unsigned"), true);
        if (status >= 400)
            return fail(
                networkFailure(
                    QStringLiteral("%1: HTTP status %2").arg(reply->url().toString()).arg(status)),
                false);
        if (reply->error() != QNetworkReply::NoError)
            return fail(networkFailure(reply->url().toString() + ": " + replyError(reply)), false);
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
