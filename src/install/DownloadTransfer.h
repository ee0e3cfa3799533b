#pragma once
// The network side of one Downloader, on a QNetworkAccessManager that lives on
// the download's serial queue. With a package key it first fetches and checks
// the signed manifest; then it GETs the package, continuing a part file left
// by an earlier attempt when it can. The body goes to the part file as it
// arrives, through a bounded read buffer, so a large package never sits in
// memory; with a manifest it is hashed on the way. On completion the part
// becomes "package.dmg" and exactly one of the owner's outcome callbacks runs.
// Created by Downloader, moved to the queue's thread, and deleted there.

#include "install/BackgroundSha256.h"
#include "install/DownloadShared.h"
#include "install/PackageManifest.h"
#include "platform/UserActivity.h"

#include <QFile>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

class DownloadTransfer : public QObject {
    Q_OBJECT
public:
    DownloadTransfer(std::shared_ptr<DownloadShared> shared, const QUrl& url,
                     const DownloadSettings& settings, DownloadShared::Clock::time_point start);
    ~DownloadTransfer() override;

    // On the queue's thread: fetches the manifest (with a key) or the package.
    void start();

private:
    using Failure = Downloader::Failure;

    QNetworkReply* get(const QUrl& url, qint64 sizeCap = -1);
    void onManifestReplyFinished();
    void checkManifest();
    void startPackage();

    // Once the package reply's head is in: append or start over, check the
    // announced size and the free space, open the part file. False when the
    // body is not to be written (an error status, or the transfer aborted).
    bool beginBody();
    void onReadyRead();
    // False, the transfer failing for disk space, when `bytes` more would leave
    // less than a margin free in the temporary folder.
    bool roomFor(qint64 bytes, bool discardPart);
    // Appends piece to the part file; false with m_writeError set on failure.
    bool writeToPart(const QByteArray& piece);
    void onFinished();
    void checkSpeed();

    // Why the finished transfer is no good, or an empty text when it is.
    QString transferFailure() const;
    // A failed reply's error in words: Qt names its own time-out a cancellation.
    QString replyError(const QNetworkReply* reply) const;
    bool rehashKeptPart(qint64 length);
    bool moveIntoPlace(const QString& destination);
    void postProgress();
    // Stops the reply; onFinished then fails with `failure`.
    void abortWith(Failure failure, bool discardPart);
    void fail(const Failure& failure, bool discardPart);
    // Drops the reply and the kept part, and asks for the whole file.
    void startAgainFromZero(const QString& reason);
    void discardPartFile();

    std::shared_ptr<DownloadShared> m_shared;
    QUrl m_url;
    DownloadSettings m_settings;
    DownloadShared::Clock::time_point m_start;
    QNetworkAccessManager* m_manager = nullptr;

    // The manifest stage.
    QByteArray m_publicKey;
    QNetworkReply* m_manifestReply = nullptr;
    QNetworkReply* m_signatureReply = nullptr;
    std::optional<PackageManifest> m_manifest;
    std::unique_ptr<BackgroundSha256> m_hash; // with a manifest

    // The package stage.
    QNetworkReply* m_reply = nullptr;
    QFile m_file;
    bool m_fileOpened = false;
    bool m_bodyStarted = false;
    bool m_dropBody = false;      // an error status: its body is not the package
    qint64 m_rangeFrom = 0;       // bytes of the kept part asked to be continued
    QByteArray m_resumeValidator; // of the reply the kept part came from
    bool m_fromZero = false;      // the kept part was dropped: never resume
    qint64 m_offset = 0;          // bytes of the kept part this reply continues
    qint64 m_expectedTotal = -1;
    QString m_writeError;
    qint64 m_written = 0;  // body bytes in the part file
    qint64 m_received = 0; // body bytes of this reply
    qint64 m_arrived = 0;  // bytes of every reply of this transfer (the low-speed limit)
    qint64 m_reported = 0; // bytes already handed to a progress step
    bool m_finished = false;
    std::optional<std::pair<Failure, bool>> m_abort; // failure, discard part

    // The low-speed limit: (time, m_received) samples over the last window.
    QTimer m_speedTimer;
    std::deque<std::pair<DownloadShared::Clock::time_point, qint64>> m_samples;

    // No App Nap from the start until the outcome callback (the install) returns.
    UserActivity m_activity{"Downloading and installing Lumadoc"};
};
