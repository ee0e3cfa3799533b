#pragma once
// The wizard's state and logic: statuses, the user's choices, the download
// counters and the pending install result. It drives the download, the
// install, the settings writes and the launch, and reports every step.
//
// Threads: everything here is called on the UI thread, except the download's
// success and failure handlers and the install, which run on the download's
// serial queue. State changes made there reach the UI thread in order.

#include "base/Enums.h"
#include "flow/UserProfileModel.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Downloader;
class SerialQueue;

class InstallFlow : public QObject {
    Q_OBJECT
public:
    // Past this point the lower part of the progress screen shows the install.
    static constexpr double kInstallPhase = 0.8;

    // What the flow asks of its host (the window, or the silent runner).
    struct Host {
        std::function<void()> terminate;                // end the application
        std::function<void(int, int)> resizeWindowTo;   // content size of the first window
        std::function<void(const QUrl&)> openUrl;       // default browser
        std::function<void(INSTALLER_STATUS)> finished; // optional: final status reached
    };

    struct Options {
        bool silent = false; // no window: reports "silent", result shown at once
        bool animate = true; // play the install animation (false: show results at once)
        std::chrono::milliseconds animationInterval{1000};
        std::chrono::milliseconds retryPause{2000};
    };

    // Runs the creation sequence: download address, overwrite detection,
    // settings file, report blocks, and the first two reports.
    explicit InstallFlow(Host host, Options options);
    explicit InstallFlow(Host host)
        : InstallFlow(std::move(host), Options{}) {}
    ~InstallFlow() override;

    // --- State (read on the UI thread) -------------------------------------
    bool isOverwriteInstallation() const { return m_isOverwriteInstallation; }
    bool isShouldRedownload() const { return m_isShouldRedownload; }
    bool isShowDragBtn() const { return m_isShowDragBtn; }
    bool isExpanded() const { return m_isExpanded; }
    INSTALLER_STATUS installerStatus() const { return m_installerStatus; }
    std::optional<INSTALLER_STATUS> installerStatusToChange() const {
        return m_installerStatusToChange;
    }
    bool isUsingNow() const { return m_isUsingNow; }
    qint64 totalDownloaded() const { return m_totalDownloaded; }
    qint64 totalExpectedDownload() const { return m_totalExpectedDownload; }
    double progress() const { return m_progress; }
    qint64 remainTime() const { return m_remainTime; }
    std::optional<QString> downloadDmgPath() const { return m_downloadDmgPath; }
    // Why the last install failed, for the user (empty: nothing more to say).
    const QString& installFailureReason() const { return m_installFailureReason; }
    // Why the last download failed: "the package failed verification: <reason>",
    // "not enough disk space in <folder>", or "the download failed: <the network's
    // words>; check the network and try again"; empty when nothing more is known.
    // Set before the status becomes Download_failed.
    QString downloadFailureReason() const { return m_downloadFailureReason; }
    // The installed product's launch started it (false when it could not be run).
    bool productStarted() const { return m_productStarted; }
    bool isSetDefault() const { return m_isSetDefault; }
    bool isPermitInstallService() const { return m_isPermitInstallService; }
    UserProfileModel& userProfileModel() { return m_userProfileModel; }
    bool isAnimating() const { return m_animationTimer.isActive(); }
    // The lower part of the progress screen shows the install text.
    bool showsInstallText() const;

    // --- User actions --------------------------------------------------------
    void disagree();
    // Checks for a running product off the UI thread, then either sets isUsingNow
    // or starts the download (both announced by changed()).
    void pressInstall();
    void setExpanded(bool expanded);
    void setSetDefault(bool on);
    void openTerms();
    void openPrivacy();
    void retryDownload();    // download-failed screen
    void openFeedback();     // download-failed screen
    void reinstallClicked(); // install-failed screen
    void dismissUsingAlert();
    // A request to stop (a signal). On the success path it does nothing and
    // returns no value: the run finishes as it would. Otherwise it cancels the
    // download, stops the tools the install runs and waits for the install to
    // return (a swap in progress finished or undone); true when the new
    // application is in place. The flow does nothing more afterwards.
    std::optional<bool> stop();

    // --- Operations --------------------------------------------------------------
    void fnDownload();
    bool tryAutoRestartDownload(); // download queue
    void restartDownload();
    // Runs the install on the calling (worker) thread until it returns; the
    // result reaches the UI thread as installerStatusToChange.
    void install(const QString& dmgPath);
    // Queues the success path (settings, services, reports, launch) on the install
    // queue; the host's terminate() follows on the UI thread.
    void installSuccess();
    void reinstall();
    void start2Use(); // install queue
    void resizeWindowTo(int width, int height);

    // Progress handler: whole MiB received and expected, seconds left.
    void onProgress(qint64 receivedMiB, qint64 expectedMiB, double secondsLeft);
    // One step of the install animation (the timer's handler).
    void animationTick();

Q_SIGNALS:
    void changed(); // any observable field changed
    void statusChanged(INSTALLER_STATUS status);
    void installStarted(); // the downloaded package is being installed

private:
    void setStatus(INSTALLER_STATUS status);
    void onDownloadSuccess(const QString& path);  // download queue
    void onDownloadFailed(const QString& reason); // download queue
    void recordSuccess();                         // install queue
    void applyInstallResult(bool ok);             // UI thread
    void refuseInstall(const QString& reason);    // UI thread: no journal or lock
    void updateAnimation();
    void openLink(const QString& address);
    void reportPlain(ENUMInstallResult result, bool cover = false);
    void reportPoint(ENUMInstallPoint point, ENUMInstallClick click = ENUMInstallClick::none,
                     qint64 isdefview = 0, qint64 result = 0, qint64 reason = 0);
    void notify();
    SerialQueue& workQueue();
    // Runs work on the UI thread in order, unless the flow is gone by then.
    void onMain(std::function<void()> work);

    Host m_host;
    Options m_options;

    bool m_isOverwriteInstallation = false;
    std::atomic<bool> m_isShouldRedownload{true};
    bool m_isShowDragBtn = true;
    bool m_isExpanded = false;
    INSTALLER_STATUS m_installerStatus = INSTALLER_STATUS::Prepare_to_download;
    std::optional<INSTALLER_STATUS> m_installerStatusToChange;
    bool m_isUsingNow = false;
    qint64 m_totalDownloaded = 0;
    qint64 m_totalExpectedDownload = 0;
    double m_progress = 0.0;
    qint64 m_remainTime = 0;
    std::optional<QString> m_downloadDmgPath;
    QString m_installFailureReason;
    QString m_downloadFailureReason;
    bool m_productStarted = false;
    bool m_isSetDefault = true;
    bool m_isPermitInstallService = true;
    UserProfileModel m_userProfileModel;

    std::atomic<bool> m_installed{false}; // an install returned true
    bool m_installRunning = false; // UI thread's view: an install has started and not returned
    bool m_checkingUsage = false;  // the install press is being checked against running processes
    QTimer m_animationTimer;
    std::vector<std::unique_ptr<Downloader>> m_downloaders; // one per attempt, kept to the end
    std::unique_ptr<SerialQueue> m_workQueue;
    std::shared_ptr<bool> m_alive =
        std::make_shared<bool>(true); // reinstall, and failures without a transfer
};
