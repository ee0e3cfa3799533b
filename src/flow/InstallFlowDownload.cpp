// InstallFlow: the download, its progress and its automatic retry.
#include "flow/InstallFlow.h"

#include "base/Globals.h"
#include "base/Log.h"
#include "base/PhaseClock.h"
#include "install/Downloader.h"
#include "install/InstallJournal.h"
#include "platform/RunOnMain.h"
#include "platform/SerialQueue.h"

#include <QThread>
#include <cmath>

void InstallFlow::fnDownload() {
    logLine(lcFlow(), "fnDownload");
    if (m_downloaders.empty())
        PhaseClock::mark("startup");
    // Named before it exists, so a crash never leaves an unnamed download
    // behind; without a journal (or the lock) nothing is downloaded at all.
    const QString problem = InstallJournal::enterPhase("downloading", InstallJournal::Made::Temp);
    if (!problem.isEmpty())
        return refuseInstall(problem);
    auto downloader = std::make_unique<Downloader>();
    downloader->onProgress = [this](qint64 received, qint64 expected, double secondsLeft) {
        onProgress(received, expected, secondsLeft);
    };
    downloader->onDownloadSuccess = [this](const QString& path) { onDownloadSuccess(path); };
    downloader->onDownloadFailed = [this, attempt = downloader.get()] {
        const Downloader::Failure failure = attempt->failure();
        switch (failure.kind) {
        case Downloader::Failure::Kind::Verification:
            return onDownloadFailed("the package failed verification: " + failure.reason);
        case Downloader::Failure::Kind::DiskSpace:
        case Downloader::Failure::Kind::LocalFile:
            return onDownloadFailed(failure.reason);
        case Downloader::Failure::Kind::Transfer: // the network's own words, when it has any
            return onDownloadFailed(failure.reason.isEmpty()
                                        ? QString()
                                        : "the download failed: " + failure.reason +
                                              "; check the network and try again");
        }
    };

    const QUrl url(downloadUrl, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https") ||
        url.host().isEmpty()) {
        // Never start a transfer to an address we cannot read; fail like a dead server.
        logLine(lcFlow(), "invalid download address: " + downloadUrl);
        workQueue().post([this] { onDownloadFailed({}); });
        return;
    }
    downloader->startDownload(url);
    m_downloaders.push_back(std::move(downloader));
}

void InstallFlow::onProgress(qint64 receivedMiB, qint64 expectedMiB, double secondsLeft) {
    if (receivedMiB > m_totalDownloaded)
        m_totalDownloaded = receivedMiB;
    if (expectedMiB > m_totalExpectedDownload)
        m_totalExpectedDownload = expectedMiB;
    // Unknown or absurd estimates (no length, no elapsed time) leave the shown time alone.
    if (std::isfinite(secondsLeft) && secondsLeft >= 0 && secondsLeft < 9.2e18) {
        const auto seconds = static_cast<qint64>(std::trunc(secondsLeft));
        if (m_remainTime == 0 || m_remainTime > seconds)
            m_remainTime = seconds;
    }
    // Without a known size there is no fraction to show, and no install phase to enter.
    if (m_totalExpectedDownload > 0)
        m_progress = std::min(1.0, double(m_totalDownloaded) / double(m_totalExpectedDownload)) *
                     kInstallPhase;
    notify();
}

void InstallFlow::onDownloadSuccess(const QString& path) {
    logLine(lcFlow(), "download file path %s " + path);
    reportPoint(ENUMInstallPoint::downloadComplete);
    onMain([this, path] {
        m_downloadDmgPath = path;
        m_installRunning = true;
        // The download is whole, even when its size was never announced.
        m_progress = std::max(m_progress, kInstallPhase);
        setStatus(INSTALLER_STATUS::Installing);
    });
    reportPoint(ENUMInstallPoint::installStart);
    onMain([this] { Q_EMIT installStarted(); });
    install(path);
}

void InstallFlow::onDownloadFailed(const QString& reason) {
    if (!tryAutoRestartDownload())
        return;
    reportPlain(ENUMInstallResult::downloadFailed);
    reportPoint(ENUMInstallPoint::downloadFail);
    onMain([this, reason] {
        m_downloadFailureReason = reason;
        setStatus(INSTALLER_STATUS::Download_failed);
    });
}

bool InstallFlow::tryAutoRestartDownload() {
    if (!m_isShouldRedownload.exchange(false))
        return true;
    onMain([this] {
        notify();
        setStatus(INSTALLER_STATUS::Downloading);
    });
    QThread::msleep(static_cast<unsigned long>(m_options.retryPause.count()));
    onMain([this] { fnDownload(); });
    return false;
}

void InstallFlow::restartDownload() {
    logLine(lcFlow(), "restartDownload");
    reportPoint(ENUMInstallPoint::nonePoint, ENUMInstallClick::downloadRetry);
    m_totalDownloaded = 0;
    m_totalExpectedDownload = 0;
    m_remainTime = 0;
    m_progress = 0.0;
    setStatus(INSTALLER_STATUS::Downloading);
    fnDownload();
}

// --- Install -----------------------------------------------------------------------------
