// The real installer in its window, on a private X server, driven from outside
// by keys and the title bar's close button as a keyboard user would: every way
// it ends, it ends by itself with status 0, after the reports of that ending
// and no other. Nothing in the process is replaced: its own quit, event loop
// and window system run.

#include "support/InstallScenario.h"
#include "support/LinuxTools.h"
#include "support/Sandbox.h"
#include "support/VirtualDisplay.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace {

// One thing the user does, or waits for, in the window.
struct Step {
    enum Kind { Keys, WaitFor, Screen, Close } kind;
    QStringList what; // keys, the report label, or the status whose screen shows
};
Step keys(const QStringList& k) {
    return {Step::Keys, k};
}
Step waitFor(const QString& label) {
    return {Step::WaitFor, {label}};
}
Step screen(const QString& status) {
    return {Step::Screen, {status}};
}
Step closeButton() {
    return {Step::Close, {}};
}

struct Ending {
    const char* name;
    QStringList serverOptions;
    std::function<void(InstallScenario&)> serve;
    QList<Step> steps;
    QStringList reports; // all of the run, in order
};

const QStringList kLaunch = {"result 100", "showInterface"};
const QStringList kPressed = {"installNow", "downloadStart"};

bool hasReport(const InstallScenario& scenario, const QString& label) {
    return scenario.labels().contains(label);
}

// The installer's log says which screen it moved to.
bool shows(const QString& log, const QString& status) {
    QFile file(log);
    return file.open(QIODevice::ReadOnly) &&
           file.readAll().contains("\nstatus " + status.toUtf8() + "\n");
}

} // namespace

TEST(WindowEnding, EachWayOutEndsTheProcessWithItsOwnReports) {
    SKIP_WITHOUT_LINUX_TOOLS();
    const auto product = [](InstallScenario& s) { ASSERT_TRUE(s.serveProduct()); };
    const Ending endings[] = {
        {"install pressed with the keyboard: the product starts, the installer ends",
         {},
         product,
         {keys({"Return"})},
         kLaunch + kPressed +
             QStringList{"downloadComplete", "installStart", "result 1", "result 21",
                         "installComplete", "applicationStart"}},
        {"decline",
         {},
         product,
         {keys({"Shift+Tab", "space"})},
         kLaunch + QStringList{"result 3", "showInterface click 9"}},
        {"close anyway while downloading",
         {"--stall-after", "0"},
         product,
         {keys({"Return"}), waitFor("downloadStart"), closeButton(),
          waitFor("downloadStart click 6"), keys({"Tab", "Return"})},
         kLaunch + kPressed +
             QStringList{"downloadStart click 6", "result 3", "downloadStart click 7"}},
        {"close on the download-failed screen",
         {"--status", "404"},
         product,
         {keys({"Return"}), screen("Download_failed"), closeButton()},
         kLaunch + kPressed +
             QStringList{"result 23", "downloadFail", "result 3", "downloadFail click 5"}},
        {"close on the install-failed screen",
         {},
         [](InstallScenario& s) { s.serveRaw(QByteArray(4096, 'x')); },
         {keys({"Return"}), screen("Install_failed"), closeButton()},
         kLaunch + kPressed +
             QStringList{"downloadComplete", "installStart", "result 25", "installFail", "result 3",
                         "installFail click 5"}},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        // Each ending starts as a fresh installation.
        QDir(sandbox::applicationsDir() + "/Lumadoc.app").removeRecursively();
        VirtualDisplay display;
        ASSERT_TRUE(display.isRunning()) << "Xvfb did not start";
        InstallScenario scenario(ending.serverOptions);
        ending.serve(scenario);
        QProcess installer;
        installer.setProcessEnvironment(display.environment(scenario.environment()));
        const QString log = sandbox::tempDir() + "/window-ending.log";
        QFile::remove(log);
        installer.start(LUMADOC_INSTALLER_EXE, {"--log-file", log});
        ASSERT_TRUE(display.focusWindowOf(installer.processId(), "Lumadoc Installer"));
        // The controls act once the launch reports are out.
        ASSERT_TRUE(scenario.server().waitForTelemetry(2, 10000));
        for (const Step& step : ending.steps) {
            if (step.kind == Step::Keys)
                display.type(step.what);
            else if (step.kind == Step::Close)
                display.requestClose();
            else if (step.kind == Step::Screen)
                ASSERT_TRUE(QTest::qWaitFor([&] { return shows(log, step.what.first()); }, 30000))
                    << "never showed " << step.what.first().toStdString();
            else
                ASSERT_TRUE(
                    QTest::qWaitFor([&] { return hasReport(scenario, step.what.first()); }, 30000))
                    << "no " << step.what.first().toStdString() << " in "
                    << scenario.labels().join(", ").toStdString();
        }
        // The install animation takes about ten seconds; the drain at most fifteen.
        const bool ended = installer.waitForFinished(60000);
        if (!ended) {
            installer.kill();
            installer.waitForFinished();
        }
        EXPECT_TRUE(ended) << "the installer did not end; reports: "
                           << scenario.labels().join(", ").toStdString();
        EXPECT_EQ(installer.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(installer.exitCode(), 0);
        // Every post was drained before the exit: what arrived is all there is.
        EXPECT_TRUE(InstallScenario::inOrder(scenario.reports(), ending.reports));
    }
}
