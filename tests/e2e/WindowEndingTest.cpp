// The real installer in its window on a private X server, driven by keys and the
// title bar's close button: every way out ends the process by itself with its status
// (0 but when its display goes away), after that ending's reports only, leaving nothing.

#include "support/InstallScenario.h"
#include "support/LinuxTools.h"
#include "support/VirtualDisplay.h"

#include <QTest>

namespace {

struct Ending {
    const char* name;
    const char* serverOptions;
    // What the user does or waits for: "keys Shift+Tab space" (X key names), "report <label>",
    // "screen <status>" (the log says it moved there), "close" (the title bar's button),
    // "panel" (the close panel holds the keyboard), "logout" (the X server ends).
    const char* steps;
    const char* reports; // all of the run, in order
    bool badImage = false;
    int status = 0;
};

} // namespace

TEST(WindowEnding, EachWayOutEndsTheProcessWithItsOwnReports) {
    SKIP_WITHOUT_LINUX_TOOLS();
    const Ending endings[] = {
        {"install pressed with the keyboard, a close on the success path ignored: the product "
         "starts, the installer ends",
         "", "keys Return, screen Install_success, close",
         "result 100, showInterface, installNow, downloadStart, downloadComplete, installStart, "
         "result 1, result 21, installComplete, applicationStart"},
        {"decline", "", "keys Shift+Tab space",
         "result 100, showInterface, result 3, showInterface click 9"},
        {"close anyway while downloading", "--stall-after 0",
         "keys Return, report downloadStart, close, panel, keys Tab Return",
         "result 100, showInterface, installNow, downloadStart, downloadStart click 6, result 3, "
         "downloadStart click 7"},
        {"close on the download-failed screen", "--status 404",
         "keys Return, screen Download_failed, close",
         "result 100, showInterface, installNow, downloadStart, result 23, downloadFail, result 3, "
         "downloadFail click 5"},
        {"close on the install-failed screen", "", "keys Return, screen Install_failed, close",
         "result 100, showInterface, installNow, downloadStart, downloadComplete, installStart, "
         "result 25, installFail, result 3, installFail click 5",
         true},
        {"the session ends while downloading: stopped as on a hangup", "--stall-after 0",
         "keys Return, report downloadStart, logout",
         "result 100, showInterface, installNow, downloadStart", false, 129},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        QDir(installedApp()).removeRecursively(); // a fresh installation each time
        VirtualDisplay display;
        ASSERT_TRUE(display.isRunning()) << "Xvfb did not start";
        InstallScenario scenario(QString(ending.serverOptions).split(' ', Qt::SkipEmptyParts));
        if (ending.badImage)
            scenario.serveRaw(QByteArray(4096, 'x'));
        else
            ASSERT_TRUE(scenario.serveProduct());
        QProcess installer;
        installer.setProcessEnvironment(display.environment(scenario.environment()));
        const QString log = sandbox::tempDir() + "/window-ending.log";
        QFile::remove(log);
        installer.start(LUMADOC_INSTALLER_EXE, {"--log-file", log});
        ASSERT_TRUE(display.focusWindow("Lumadoc Installer"));
        // The controls act once the launch reports are out.
        ASSERT_TRUE(scenario.server().waitForTelemetry(2, 10000));
        for (const QString& step : QString(ending.steps).split(", ")) {
            const QString kind = step.section(' ', 0, 0), what = step.section(' ', 1);
            if (kind == "keys")
                display.type(what.split(' '));
            else if (kind == "close")
                display.requestClose();
            else if (kind == "logout")
                display.end();
            else if (kind == "panel")
                ASSERT_TRUE(display.waitForFocusToMove()) << "the panel never took the keyboard";
            else
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] {
                        return kind == "report"
                                   ? scenario.labels().contains(what)
                                   : readFile(log).contains("\nstatus " + what.toUtf8() + "\n");
                    },
                    30000))
                    << "never " << step.toStdString() << "; reports "
                    << scenario.labels().join(", ").toStdString();
        }
        // The install animation takes about ten seconds; the drain at most fifteen.
        const bool done = installer.waitForFinished(60000);
        installer.kill();
        installer.waitForFinished();
        EXPECT_TRUE(done && installer.exitStatus() == QProcess::NormalExit &&
                    installer.exitCode() == ending.status)
            << "the installer did not end by itself with status " << ending.status;
        // Every post was drained before the exit: what arrived is all there is.
        EXPECT_TRUE(scenario.sent(QString(ending.reports).split(", ")));
        EXPECT_EQ(leftovers().join(", ").toStdString(), "");
    }
}
