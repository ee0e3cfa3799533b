#pragma once
// The installer without a window: presses install at once, skips the install
// animation and ends with a status that says what happened.
//
// Standard output holds only the progress bar (plain lines, one per quarter,
// when it is not a terminal), one line per phase (downloading, verifying,
// installing, starting Lumadoc), "waiting for the server…" while nothing
// arrives, "sending the last reports…" on a slow exit, and the result line;
// the log lines go to the log file. A failure's line goes to standard error
// and names the log file.

#include "base/Enums.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class InstallFlow;

class SilentInstall : public QObject {
    Q_OBJECT
public:
    // Process exit statuses, documented in --help.
    enum ExitStatus : int {
        Installed = 0,
        BadUsage = 2, // bad command line or configuration
        ProductRunning = 3,
        DownloadFailed = 4,
        InstallFailed = 5,
        AnotherInstaller = 6, // another installer of this user runs
    };

    SilentInstall();
    ~SilentInstall() override;

    // Starts the install once the event loop runs; the loop then exits with
    // one of the statuses above. Call flushReports() after it returned.
    void start();
    // Gives the reports still in flight their bounded chance: both posters
    // drain side by side, so this takes 15 s at most. With `announce`, says
    // "sending the last reports…" when it waits more than a second.
    static void flushReports(bool announce = false);
    // A stop request (SIGTERM, SIGINT, SIGHUP): the run ends with 128 + signal
    // and one line, "interrupted; the previous Lumadoc is unchanged" (or "Lumadoc
    // is not installed" when there was none) or "interrupted; Lumadoc <version> is
    // installed"; on the success path the run finishes as it would.
    void interrupt(int signal);

    // "[#######-------------]  35%  12/34 MiB  about 1 min left"
    static QString progressText(double fraction, qint64 receivedMiB, qint64 expectedMiB,
                                qint64 secondsLeft);

private:
    void showProgress();
    void showWaiting();
    void showPhase(INSTALLER_STATUS status);
    void showVerifying();
    void phase(const QString& text); // one line on standard output
    void finish(ExitStatus status, const QString& message);

    std::unique_ptr<InstallFlow> m_flow;
    bool m_terminal = false;
    int m_lastPlainStep = -1;
    int m_downloads = 0;      // download phases begun
    bool m_verifying = false; // this download's verifying line is out
    bool m_done = false;
    QTimer m_quiet; // runs while the download receives nothing
    bool m_waiting = false;
};
