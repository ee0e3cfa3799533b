#include "flow/InstallFlow.h"

#include "base/Config.h"
#include "base/Globals.h"
#include "base/Log.h"
#include "base/PhaseClock.h"
#include "install/Downloader.h"
#include "install/InstallJournal.h"
#include "install/Installer.h"
#include "install/ProcessRunner.h"
#include "install/ProductPaths.h"
#include "platform/RunOnMain.h"
#include "platform/SerialQueue.h"
#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"

#include <QFileInfo>
#include <QThread>
#include <cmath>

namespace {
constexpr double kAnimationLast = 0.98;
} // namespace

InstallFlow::InstallFlow(Host host, Options options)
    : m_host(std::move(host))
    , m_options(options) {
    m_animationTimer.setInterval(m_options.animationInterval);
    connect(&m_animationTimer, &QTimer::timeout, this, &InstallFlow::animationTick);

    const OS_TYPE arch = Installer::knownOSArch();
    downloadUrl =
        Config::get().downloadBaseUrl +
        (arch == OS_TYPE::arm ? "/mac/dl/lumadoc_arm64.dmg" : "/mac/dl/lumadoc_x86_64.dmg");

    m_isOverwriteInstallation = QFileInfo::exists(ProductPaths().app());
    m_isShowDragBtn = !m_isOverwriteInstallation;
    m_isExpanded = false;

    Installer::ensureIniFileExisted();

    ReportBlock& block = reporterBlock();
    Installer::getPackageInfo(block);
    block.bSilent = m_options.silent;
    Reporter& plain = Reporter::getInstance();
    MacInstallReporter& points = MacInstallReporter::getInstance();
    plain.setData(block);
    points.modifyData([&block](MacInstallReportBlock& b) { b.baseBlock = block; });
    if (m_isOverwriteInstallation) {
        plain.modifyData([](ReportBlock& b) { b.bCoverInstall = true; });
        points.modifyData([](MacInstallReportBlock& b) { b.baseBlock.bCoverInstall = true; });
    }

    reportPlain(ENUMInstallResult::interfaceShown);
    reportPoint(ENUMInstallPoint::showInterface);
}

InstallFlow::~InstallFlow() {
    *m_alive = false;
    m_animationTimer.stop();
    // Queues finish their posted work before they go.
    m_downloaders.clear();
    m_workQueue.reset();
}

bool InstallFlow::showsInstallText() const {
    const bool progressScreen = m_installerStatus == INSTALLER_STATUS::Downloading ||
                                m_installerStatus == INSTALLER_STATUS::Installing ||
                                m_installerStatus == INSTALLER_STATUS::Install_success;
    return progressScreen && m_progress >= kInstallPhase;
}

// --- Reports -------------------------------------------------------------------

void InstallFlow::reportPlain(ENUMInstallResult result, bool cover) {
    // installtype stays 0 even on an overwrite installation except where the caller
    // says so: only the quit report of an overwrite installation (result 2) does.
    Reporter::getInstance().report(false, result, m_options.silent, cover, true);
}

void InstallFlow::reportPoint(ENUMInstallPoint point, ENUMInstallClick click, qint64 isdefview,
                              qint64 result, qint64 reason) {
    MacInstallReporter::getInstance().report(point, click, isdefview, result, reason, true);
}

// --- User actions ----------------------------------------------------------------

void InstallFlow::disagree() {
    const bool cover = Reporter::getInstance().data().bCoverInstall;
    reportPlain(cover ? ENUMInstallResult::quitCoverInstall : ENUMInstallResult::quitFreshInstall,
                cover);
    reportPoint(ENUMInstallPoint::showInterface, ENUMInstallClick::disagree);
    m_host.terminate();
}

void InstallFlow::pressInstall() {
    // Only the start screen takes the press, and only once until it shows again.
    if (m_installerStatus != INSTALLER_STATUS::Prepare_to_download || m_isUsingNow ||
        m_checkingUsage)
        return;
    m_checkingUsage = true;
    if (!m_options.silent)
        PhaseClock::mark("start-screen");
    reportPoint(ENUMInstallPoint::installNow);
    // Looking for the product's processes takes tens of milliseconds: not on the UI thread.
    workQueue().post([this] {
        const bool running = Installer::checkIfUsingNow();
        onMain([this, running] {
            m_checkingUsage = false;
            if (running) {
                m_isUsingNow = true;
                notify();
                return;
            }
            setStatus(INSTALLER_STATUS::Downloading);
            m_isExpanded = false;
            notify();
            resizeWindowTo(680, WINDOW_HEIGHT - 56);
            reportPoint(ENUMInstallPoint::downloadStart);
            fnDownload();
        });
    });
}

void InstallFlow::setExpanded(bool expanded) {
    if (m_isExpanded == expanded)
        return;
    m_isExpanded = expanded;
    notify();
    resizeWindowTo(680, m_isExpanded ? WINDOW_HEIGHT : WINDOW_HEIGHT - 56);
}

void InstallFlow::setSetDefault(bool on) {
    m_isSetDefault = on;
    notify();
}

void InstallFlow::openTerms() {
    openLink(userProtocolUrl());
}

void InstallFlow::openPrivacy() {
    openLink(privacyInductionUrl());
}

void InstallFlow::openFeedback() {
    openLink(feedbackUrl());
    reportPoint(ENUMInstallPoint::nonePoint, ENUMInstallClick::downloadFeedback);
}

void InstallFlow::openLink(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return;
    if (m_host.openUrl)
        m_host.openUrl(url);
}

void InstallFlow::retryDownload() {
    if (m_installerStatus != INSTALLER_STATUS::Download_failed)
        return;
    PhaseClock::mark("download-failed-screen");
    reportPlain(ENUMInstallResult::downloadRetry);
    restartDownload();
}

void InstallFlow::reinstallClicked() {
    if (m_installerStatus != INSTALLER_STATUS::Install_failed || m_installRunning)
        return;
    PhaseClock::mark("install-failed-screen");
    reportPlain(ENUMInstallResult::reinstall);
    reportPoint(ENUMInstallPoint::nonePoint, ENUMInstallClick::reinstall);
    reinstall();
}

void InstallFlow::dismissUsingAlert() {
    m_isUsingNow = false;
    notify();
}

std::optional<bool> InstallFlow::stop() {
    if (m_installerStatus == INSTALLER_STATUS::Install_success)
        return std::nullopt;
    *m_alive = false; // nothing queued for the UI thread runs any more
    m_animationTimer.stop();
    ProcessRunner::stopAll();
    // Each queue finishes what it runs: a cancelled transfer, an install whose
    // tools were stopped, a swap under way.
    m_downloaders.clear();
    m_workQueue.reset();
    return m_installed.load();
}

// --- Download ------------------------------------------------------------------------

void InstallFlow::install(const QString& dmgPath) {
    Installer installer(dmgPath);
    const bool ok = installer.installPackage();
    m_installed = ok;
    if (!ok && !ProcessRunner::stopping()) { // a stop is no failure to report
        reportPlain(ENUMInstallResult::installFailed);
        reportPoint(ENUMInstallPoint::installFail);
    }
    PhaseClock::mark("cleanup");
    onMain([this, ok, reason = installer.failureReason()] {
        m_installFailureReason = reason;
        applyInstallResult(ok);
    });
    // The image served its purpose. Unlinking hundreds of MiB still in the
    // page cache takes tens of milliseconds: it happens here while the success
    // path runs on the install queue, and the queue's end waits for it. After
    // a failure the image waits for the reinstall link and goes when the
    // installer ends.
    if (ok)
        Installer::removeFolder(dmgPath);
}

void InstallFlow::refuseInstall(const QString& reason) {
    logLine(lcFlow(), reason);
    reportPlain(ENUMInstallResult::installFailed);
    reportPoint(ENUMInstallPoint::installFail);
    m_installFailureReason = reason;
    m_installerStatusToChange = INSTALLER_STATUS::Install_failed;
    setStatus(INSTALLER_STATUS::Install_failed);
}

void InstallFlow::applyInstallResult(bool ok) {
    m_installRunning = false;
    m_installerStatusToChange =
        ok ? INSTALLER_STATUS::Install_success : INSTALLER_STATUS::Install_failed;
    notify();
    // Without the animation, or when it already waits at its end, show the result now.
    if (!m_options.animate || m_progress > kAnimationLast)
        setStatus(*m_installerStatusToChange);
}

void InstallFlow::reinstall() {
    m_progress = 1.0;
    m_installRunning = true;
    setStatus(INSTALLER_STATUS::Installing);
    Q_EMIT installStarted();
    const std::optional<QString> path = m_downloadDmgPath;
    // Off the UI thread, so the window keeps responding.
    workQueue().post([this, path] { install(path.value_or(QString())); });
}

void InstallFlow::animationTick() {
    if (m_progress < kAnimationLast) {
        m_progress += 0.02;
    } else if (m_progress == kAnimationLast) {
        m_progress += 0.1;
    } else {
        // Never declare a result while the download or the install still runs.
        if (m_installRunning || m_installerStatus == INSTALLER_STATUS::Downloading)
            return;
        setStatus(m_installerStatusToChange.value_or(INSTALLER_STATUS::Install_failed));
        return;
    }
    notify();
}

namespace {
const char* statusName(INSTALLER_STATUS status) {
    switch (status) {
    case INSTALLER_STATUS::Prepare_to_download:
        return "Prepare_to_download";
    case INSTALLER_STATUS::Downloading:
        return "Downloading";
    case INSTALLER_STATUS::Download_failed:
        return "Download_failed";
    case INSTALLER_STATUS::Installing:
        return "Installing";
    case INSTALLER_STATUS::Install_failed:
        return "Install_failed";
    case INSTALLER_STATUS::Install_success:
        return "Install_success";
    }
    return "?";
}
} // namespace

void InstallFlow::setStatus(INSTALLER_STATUS status) {
    // Which screen the user saw, for support.
    logLine(lcFlow(), QStringLiteral("status ") + QLatin1String(statusName(status)));
    m_installerStatus = status;
    if (m_options.animate &&
        (status == INSTALLER_STATUS::Install_success || status == INSTALLER_STATUS::Install_failed))
        PhaseClock::mark("animation");
    notify();
    Q_EMIT statusChanged(status);
    if (status == INSTALLER_STATUS::Install_success)
        installSuccess();
    g_installerStatus = status;
    if (m_host.finished &&
        (status == INSTALLER_STATUS::Download_failed || status == INSTALLER_STATUS::Install_failed))
        m_host.finished(status);
}

void InstallFlow::onMain(std::function<void()> work) {
    // The token is read and cleared on the main thread only.
    runOnMain([alive = m_alive, work = std::move(work)] {
        if (*alive)
            work();
    });
}

SerialQueue& InstallFlow::workQueue() {
    if (!m_workQueue)
        m_workQueue = std::make_unique<SerialQueue>("InstallQueue");
    return *m_workQueue;
}

void InstallFlow::resizeWindowTo(int width, int height) {
    if (m_host.resizeWindowTo)
        m_host.resizeWindowTo(width, height);
}

void InstallFlow::updateAnimation() {
    const bool run = m_options.animate && showsInstallText() &&
                     m_installerStatus != INSTALLER_STATUS::Install_success;
    if (run && !m_animationTimer.isActive())
        m_animationTimer.start();
    else if (!run && m_animationTimer.isActive())
        m_animationTimer.stop();
}

void InstallFlow::notify() {
    updateAnimation();
    Q_EMIT changed();
}
