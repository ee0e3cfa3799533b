#pragma once
// The network side of one Downloader: a GET on a QNetworkAccessManager that
// lives on the download's serial queue. The body goes to a file in the
// temporary folder as it arrives, through a bounded read buffer, so a large
// package never sits in memory. On completion it moves the file to
// "package.dmg" and calls exactly one of the owner's outcome callbacks.
// Created by Downloader, moved to the queue's thread, and deleted there.

#include "install/DownloadShared.h"

#include <QFile>
#include <QObject>
#include <QUrl>
#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

class DownloadTransfer : public QObject {
    Q_OBJECT
public:
    DownloadTransfer(std::shared_ptr<DownloadShared> shared, const QUrl& url,
                     std::chrono::milliseconds transferTimeout,
                     DownloadShared::Clock::time_point start);
    ~DownloadTransfer() override;

    // On the queue's thread: opens the part file and sends the request.
    void start();

private:
    void onReadyRead();
    void onDownloadProgress(qint64 received, qint64 total);
    void onFinished();

    // Why the transfer is no good, or an empty text when it is.
    QString failureReason() const;
    // The finish step: the part file becomes "package.dmg"; false when it cannot.
    bool moveIntoPlace(const QString& destination);
    void postProgress();
    void fail(const QString& reason);
    void discardPartFile();

    std::shared_ptr<DownloadShared> m_shared;
    QUrl m_url;
    std::chrono::milliseconds m_transferTimeout;
    DownloadShared::Clock::time_point m_start;

    QNetworkAccessManager* m_manager = nullptr;
    QNetworkReply* m_reply = nullptr;
    QFile m_file;
    QByteArray m_chunk; // reused read buffer
    QString m_writeError;
    qint64 m_written = 0;  // body bytes on disk
    qint64 m_reported = 0; // body bytes already handed to a progress step
    bool m_finished = false;
};
