#include "install/Downloader.h"

#include "base/Config.h"
#include "base/Log.h"
#include "install/DownloadShared.h"
#include "install/DownloadTransfer.h"
#include "install/InstallJournal.h"
#include "install/ProductPaths.h"
#include "install/PropertyList.h"
#include "platform/SerialQueue.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkProxyFactory>
#include <mutex>
#include <thread>

DownloadSettings DownloadSettings::current() {
    DownloadSettings settings;
    settings.publicKey = Config::get().packagePublicKey;
    const ProductPaths paths;
    if (QFileInfo::exists(paths.app())) {
        settings.installedVersion = PropertyList::readFile(paths.infoPlist())
                                        .stringValue("CFBundleShortVersionString")
                                        .value_or(QString());
        // A damaged installation must not stand in the way of its repair.
        if (!settings.publicKey.isEmpty() && settings.installedVersion.isEmpty())
            logLine(lcDownload(),
                    "installed version unknown: a package of any version may replace it");
    }
    return settings;
}

Downloader::Downloader(Settings settings)
    : m_settings(std::move(settings))
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
    logLine(lcDownload(), "Starting download from " + url.toString());
    // The run's own folder: nothing planted in the shared temporary folder matters.
    if (const QString error = InstallJournal::makeTempFolder(); !error.isEmpty()) {
        m_shared->folderProblem = "cannot create " + InstallJournal::tempFolder() + ": " + error;
        logLine(lcDownload(), m_shared->folderProblem);
    }
    m_shared->onProgress = onProgress;
    m_shared->onDownloadSuccess = onDownloadSuccess;
    m_shared->onDownloadFailed = onDownloadFailed;
    m_transfer = new DownloadTransfer(m_shared, url, m_settings, DownloadShared::Clock::now());
    m_transfer->moveToThread(m_queue->thread());
    m_queue->post([transfer = m_transfer] { transfer->start(); });
}

float Downloader::downloadProgress() const {
    return m_shared->downloadProgress;
}

std::optional<double> Downloader::estimatedTimeRemaining() const {
    return m_shared->estimatedTimeRemaining;
}

Downloader::Failure Downloader::failure() const {
    return m_shared->lastFailure();
}

QString Downloader::packagePath() {
    return InstallJournal::tempFolder() + "/package.dmg";
}

QString Downloader::partPath() {
    return packagePath() + ".part";
}

qint64 Downloader::wholeMiB(qint64 bytes) {
    return static_cast<qint64>(static_cast<double>(bytes) * (1.0 / 1024) * (1.0 / 1024));
}
