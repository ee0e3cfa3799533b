#include "flow/SilentInstall.h"

#include "base/Globals.h"
#include "base/Log.h"
#include "base/LogFile.h"
#include "base/PhaseClock.h"
#include "flow/InstallFlow.h"
#include "install/ProductPaths.h"
#include "install/PropertyList.h"
#include "platform/StopSignals.h"
#include "reporting/MacInstallReporter.h"
#include "reporting/Reporter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <cstdio>
#include <future>
#include <unistd.h>

namespace {

QString remainingText(qint64 seconds) {
    if (seconds <= 0)
        return {};
    if (seconds < 60)
        return QString("about %1 s left").arg(seconds);
    return QString("about %1 min left").arg((seconds + 59) / 60);
}

// After a run that installed nothing: a fresh install has no previous Lumadoc to speak of.
QString nothingInstalledText() {
    return QFileInfo(ProductPaths().app()).isDir() ? "the previous Lumadoc is unchanged"
                                                   : "Lumadoc is not installed";
}

QString installFailedText(const QString& reason) {
    if (reason.isEmpty())
        return "the installation failed; " + nothingInstalledText();
    // Only a restore that failed leaves the previous Lumadoc elsewhere; its reason says where.
    if (reason.contains("previous Lumadoc"))
        return "the installation failed: " + reason;
    return "the installation failed: " + reason + "; " + nothingInstalledText();
}

// A download that receives nothing for this long says so.
constexpr std::chrono::seconds kQuietTime{10};

} // namespace

SilentInstall::SilentInstall()
    : m_terminal(::isatty(STDOUT_FILENO) == 1) {
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietTime);
    connect(&m_quiet, &QTimer::timeout, this, &SilentInstall::showWaiting);
}

SilentInstall::~SilentInstall() = default;

QString SilentInstall::progressText(double fraction, qint64 receivedMiB, qint64 expectedMiB,
                                    qint64 secondsLeft) {
    constexpr int width = 24;
    const double f = std::clamp(fraction, 0.0, 1.0);
    const int filled = static_cast<int>(f * width);
    QString text = '[' + QString(filled, '#') + QString(width - filled, '-') + ']';
    if (expectedMiB > 0)
        text += QString(" %1%  %2/%3 MiB")
                    .arg(static_cast<int>(f * 100), 3)
                    .arg(receivedMiB)
                    .arg(expectedMiB);
    else // no size known, so no share of it to give
        text += QString("  %1 MiB").arg(receivedMiB);
    const QString remaining = remainingText(secondsLeft);
    if (!remaining.isEmpty())
        text += "  " + remaining;
    return text;
}

void SilentInstall::start() {
    QTimer::singleShot(0, this, [this] {
        if (m_done)
            return;
        InstallFlow::Host host;
        host.terminate = [this] {
            const bool started = m_flow->productStarted();
            if (!started) { // installed all the same: a warning, not a failure
                const QString line =
                    "lumadoc-installer: Lumadoc could not be started; details: " + LogFile::path();
                writeTerminalLine(stderr, (line + '\n').toUtf8());
            }
            finish(Installed, "Lumadoc is installed in " + ProductPaths().app() +
                                  (started ? " and started." : "."));
        };
        host.finished = [this](INSTALLER_STATUS status) {
            if (status == INSTALLER_STATUS::Download_failed) {
                const QString reason = m_flow->downloadFailureReason();
                finish(DownloadFailed,
                       reason.isEmpty()
                           ? "the download failed twice; check the network and try again"
                           : reason);
            } else if (status == INSTALLER_STATUS::Install_failed)
                finish(InstallFailed, installFailedText(m_flow->installFailureReason()));
        };
        InstallFlow::Options options;
        options.silent = true;
        options.animate = false;
        m_flow = std::make_unique<InstallFlow>(host, options);

        const QUrl url(downloadUrl, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty()) {
            finish(BadUsage, "bad download address: " + downloadUrl);
            return;
        }
        connect(m_flow.get(), &InstallFlow::changed, this, &SilentInstall::showProgress);
        connect(m_flow.get(), &InstallFlow::statusChanged, this, &SilentInstall::showPhase);
        connect(m_flow.get(), &InstallFlow::installStarted, this,
                [this] { phase("Installing Lumadoc..."); });
        m_flow->pressInstall();
    });
}

void SilentInstall::interrupt(int signal) {
    if (m_done)
        return;
    const std::optional<bool> installed = m_flow ? m_flow->stop() : std::optional<bool>(false);
    if (!installed)
        return;
    logLine(lcFlow(), QStringLiteral("stopped by signal %1").arg(signal));
    QString line = "interrupted; " + nothingInstalledText();
    if (*installed) {
        const ProductPaths paths;
        line = "interrupted; Lumadoc " +
               PropertyList::readFile(paths.infoPlist())
                   .stringValue("CFBundleShortVersionString")
                   .value_or(QString()) +
               " is installed";
    }
    m_done = true;
    if (m_terminal)
        setStatusLine({});
    std::fprintf(stderr, "lumadoc-installer: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
    QCoreApplication::exit(StopSignals::exitStatus(signal));
}

void SilentInstall::flushReports(bool announce) {
    // Each poster may wait its full bound; side by side, the exit waits for
    // the slower one only, not for the sum.
    Reporter* plain = &Reporter::getInstance();
    MacInstallReporter* points = &MacInstallReporter::getInstance();
    auto plainDone =
        std::async(std::launch::async, [plain] { plain->ensureClearWaitingPackage(); });
    auto pointsDone =
        std::async(std::launch::async, [points] { points->ensureClearWaitingPackage(); });
    const auto soon = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (std::future<void>* done : {&plainDone, &pointsDone}) {
        while (done->wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
            if (announce && std::chrono::steady_clock::now() >= soon) {
                printLine(QStringLiteral("sending the last reports…"));
                announce = false;
            }
            // The run's own work is done: a stop request (Ctrl+C) gives up the reports.
            if (const int signal = StopSignals::takePending()) {
                logLine(lcFlow(), QStringLiteral("stopped by signal %1 while sending the last "
                                                 "reports; they are not all sent")
                                      .arg(signal));
                plain->stopWaiting();
                points->stopWaiting();
            }
        }
    }
    PhaseClock::mark("reports");
}

void SilentInstall::showProgress() {
    if (m_flow->isUsingNow())
        finish(ProductRunning, "Lumadoc is running; quit it and run the installer again");
    // Once every byte is in, a late progress event must not draw the bar again
    // under the check's line.
    if (m_done || m_verifying || m_flow->installerStatus() != INSTALLER_STATUS::Downloading) {
        m_quiet.stop();
        return;
    }
    if (m_downloads == 0)
        return; // after the phase's own line
    m_quiet.start();
    if (m_waiting) {
        m_waiting = false;
        m_lastPlainStep = -1; // the progress line again, now that data flows
    }
    const double fraction =
        m_flow->totalExpectedDownload() > 0
            ? double(m_flow->totalDownloaded()) / double(m_flow->totalExpectedDownload())
            : 0.0;
    const QString text = progressText(fraction, m_flow->totalDownloaded(),
                                      m_flow->totalExpectedDownload(), m_flow->remainTime());
    if (m_terminal) {
        setStatusLine(text);
    } else {
        // Plain lines: one per quarter of the download, so a log stays short.
        const int step = static_cast<int>(fraction * 4);
        if (step > m_lastPlainStep) {
            m_lastPlainStep = step;
            printLine(text);
        }
    }
    // Every byte is in: the package is checked before the download counts as done.
    if (fraction >= 1.0)
        showVerifying();
}

void SilentInstall::showVerifying() {
    if (m_verifying)
        return;
    m_verifying = true;
    phase("Verifying the package...");
}

void SilentInstall::showWaiting() {
    if (m_done || m_waiting || m_flow->installerStatus() != INSTALLER_STATUS::Downloading)
        return;
    m_waiting = true;
    if (m_terminal)
        setStatusLine({});
    printLine(QStringLiteral("waiting for the server…"));
}

void SilentInstall::showPhase(INSTALLER_STATUS status) {
    switch (status) {
    case INSTALLER_STATUS::Downloading:
        m_verifying = false;
        phase(m_downloads++ == 0 ? "Downloading Lumadoc..." : "Downloading Lumadoc again...");
        break;
    case INSTALLER_STATUS::Installing:
        showVerifying(); // when the size was never known
        break;
    case INSTALLER_STATUS::Install_success:
        phase("Starting Lumadoc...");
        break;
    default:
        break;
    }
}

void SilentInstall::phase(const QString& text) {
    if (m_done)
        return;
    if (m_terminal)
        setStatusLine({});
    printLine(text);
}

void SilentInstall::finish(ExitStatus status, const QString& message) {
    if (m_done)
        return;
    m_done = true;
    if (m_terminal)
        setStatusLine({});
    if (status == Installed) {
        printLine("lumadoc-installer: " + message);
    } else {
        // The why is in the log; say where it is.
        QString line = "lumadoc-installer: error: " + withoutCredentials(message);
        const QString log = LogFile::path();
        if (!log.isEmpty())
            line += "; details: " + log;
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        std::fflush(stderr);
    }
    QCoreApplication::exit(status);
}
