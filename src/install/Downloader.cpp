#include "install/Downloader.h"

#include "base/Log.h"
#include "install/DownloadShared.h"
#include "install/DownloadTransfer.h"
#include "platform/SerialQueue.h"

#include <QDir>
#include <QNetworkProxyFactory>
#include <mutex>
#include <thread>

Downloader::Downloader(std::chrono::milliseconds transferTimeout)
    : m_transferTimeout(transferTimeout)
    , m_shared(std::make_shared<DownloadShared>())
    , m_queue(std::make_unique<SerialQueue>("DownloaderQueue")) {
    static std::once_flag proxies;
    std::call_once(proxies, [] { QNetworkProxyFactory::setUseSystemConfiguration(true); });
}

Downloader::~Downloader() {
    m_shared->cancelled = true;
    if (m_transfer)
        m_queue->post([transfer = m_transfer] { delete transfer; });
    if (m_queue->isCurrent()) {
        // Destroyed from one of our own callbacks: the queue cannot wait for
        // itself, so another thread lets it finish the current work and stop.
        std::thread([queue = std::move(m_queue)]() mutable { queue.reset(); }).detach();
    }
}

void Downloader::startDownload(const QUrl& url) {
    if (m_transfer)
        return;
    logLine("Starting download from " + url.toString());
    m_shared->onProgress = onProgress;
    m_shared->onDownloadSuccess = onDownloadSuccess;
    m_shared->onDownloadFailed = onDownloadFailed;
    m_transfer =
        new DownloadTransfer(m_shared, url, m_transferTimeout, DownloadShared::Clock::now());
    m_transfer->moveToThread(m_queue->thread());
    m_queue->post([transfer = m_transfer] { transfer->start(); });
}

float Downloader::downloadProgress() const {
    return m_shared->downloadProgress;
}

std::optional<double> Downloader::estimatedTimeRemaining() const {
    return m_shared->estimatedTimeRemaining;
}

QString Downloader::packagePath() {
    return QDir(QDir::tempPath()).filePath("package.dmg");
}

QString Downloader::partPath() {
    return packagePath() + ".part";
}

qint64 Downloader::wholeMiB(qint64 bytes) {
    return static_cast<qint64>(static_cast<double>(bytes) * (1.0 / 1024) * (1.0 / 1024));
}
