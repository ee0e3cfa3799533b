// What a user sets, or leaves unset, as the real `lumadoc-installer --silent`
// meets it: telemetry turned off, and the applications folder nobody named.
#include "flow/SilentInstall.h"
#include "support/Files.h"
#include "support/InstallScenario.h"
#include "support/LinuxTools.h"
#include "support/ProgramRun.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// This run's part of the default log file.
QString lastRunLog() {
    const QString text =
        QString::fromUtf8(readFile(sandbox::home() + "/.local/state/lumadoc/installer.log"));
    return text.mid(text.lastIndexOf("=== "));
}

} // namespace

TEST(UserSettings, TelemetryTurnedOffPostsAndKeepsNothing) {
    SKIP_WITHOUT_LINUX_TOOLS();
    struct Case {
        const char* name;
        const char* variable; // set to value, or nullptr
        const char* value;
        QStringList arguments;
        const char* offBy; // the log's reason; nullptr: telemetry stays on
    };
    const Case cases[] = {
        {"DO_NOT_TRACK", "DO_NOT_TRACK", "1", {}, "DO_NOT_TRACK=1"},
        {"LUMADOC_NO_TELEMETRY", "LUMADOC_NO_TELEMETRY", "1", {}, "LUMADOC_NO_TELEMETRY=1"},
        {"option", nullptr, nullptr, {"--no-telemetry"}, "--no-telemetry"},
        // "0" is a user saying tracking is fine.
        {"DO_NOT_TRACK=0", "DO_NOT_TRACK", "0", {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallScenario scenario;
        ASSERT_TRUE(scenario.serveProduct());
        QProcessEnvironment env = scenario.environment();
        env.remove("DO_NOT_TRACK");
        env.remove("LUMADOC_NO_TELEMETRY");
        if (c.variable)
            env.insert(c.variable, c.value);
        const ProgramRun run =
            runProgram(LUMADOC_INSTALLER_EXE, QStringList{"--silent"} + c.arguments, env);
        ASSERT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
        const QString log = lastRunLog();
        if (!c.offBy) {
            EXPECT_TRUE(scenario.server().waitForTelemetry(10, 10000));
            EXPECT_EQ(log.count("telemetry off"), 0);
            continue;
        }
        // The exit waits for posts in flight: any post would be in by now.
        EXPECT_EQ(scenario.server().telemetry().size(), 0);
        EXPECT_EQ(log.count("telemetry off"), 1) << log.toStdString();
        EXPECT_TRUE(log.contains(QString("telemetry off (%1)").arg(c.offBy)));
        EXPECT_FALSE(log.contains("[QvRekol]")) << log.toStdString();
        EXPECT_FALSE(QFileInfo::exists(sandbox::home() + "/Documents/rekol"));
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
}

TEST(UserSettings, WithoutAnApplicationsFolderSetLumadocGoesToTheHomeOne) {
    SKIP_WITHOUT_LINUX_TOOLS();
    const QString apps = sandbox::home() + "/Applications";
    const QString app = apps + "/Lumadoc.app";
    struct Case {
        const char* name;
        bool blocked; // a file where the folder would be
    };
    for (const Case c : {Case{"made", false}, Case{"blocked", true}}) {
        SCOPED_TRACE(c.name);
        QDir(apps).removeRecursively();
        QFile::remove(apps);
        if (c.blocked)
            writeFile(apps, "not a folder");
        InstallScenario scenario;
        ASSERT_TRUE(scenario.serveProduct());
        QProcessEnvironment env = scenario.environment();
        env.remove("LUMADOC_APPLICATIONS_DIR");
        const ProgramRun run = runProgram(LUMADOC_INSTALLER_EXE, {"--silent"}, env);
        // The product's programs run until killed; these are outside the sandbox's folder.
        QProcess::execute("pkill", {"-KILL", "-f", apps + "/"});
        const QString log = lastRunLog();
        if (c.blocked) {
            EXPECT_EQ(run.status, SilentInstall::InstallFailed);
            EXPECT_TRUE(run.err.contains("cannot create the applications folder " + apps))
                << run.err.toStdString();
            EXPECT_EQ(readFile(apps), "not a folder");
            continue;
        }
        ASSERT_EQ(run.status, SilentInstall::Installed) << run.err.toStdString();
        EXPECT_TRUE(QFileInfo(app + "/Contents/Info.plist").isFile());
        struct stat folder = {};
        ASSERT_EQ(::stat(QFile::encodeName(apps).constData(), &folder), 0);
        EXPECT_EQ(folder.st_mode & 07777, 0755u);
        EXPECT_TRUE(run.out.contains("lumadoc-installer: Lumadoc is installed in " + app +
                                     " and started.\n"))
            << run.out.toStdString();
        EXPECT_TRUE(log.contains("Lumadoc installed in " + app)) << log.toStdString();
    }
    QDir(apps).removeRecursively();
    QFile::remove(apps);
}
