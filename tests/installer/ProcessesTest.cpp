// The in-use check, stopping and resuming services and the launch, against
// the fake product's real processes.
#include "TestFolders.h"
#include "install/Installer.h"
#include "platform/LinuxCommands.h"
#include "support/LinuxTools.h"
#include "support/LogCapture.h"

#include <QProcess>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {
// True while a fake program runs under this pid (a zombie has no command line).
bool processAlive(qint64 pid) {
    QFile cmdline(QString("/proc/%1/cmdline").arg(pid));
    return pid > 1 && cmdline.open(QIODevice::ReadOnly) && !cmdline.readAll().isEmpty();
}

// An applications folder whose name needs escaping in a pattern and quoting in a line.
struct RunningProduct {
    TestFolders folders{"home"};
    ProductPaths paths{folders.root() + "/Apps (1) + it's"};

    RunningProduct() {
        FakeProduct::write(QFileInfo(paths.app()).path(),
                           productOptions("3.2.1", folders.marker()));
    }
    // Kills every fake program the test started, whatever its outcome.
    ~RunningProduct() {
        for (const FakeProduct::Launch& launch : FakeProduct::launches(folders.marker())) {
            if (processAlive(launch.pid)) {
                ::kill(static_cast<pid_t>(launch.pid), SIGKILL);
                (void)QTest::qWaitFor([&] { return !processAlive(launch.pid); }, 5000);
            }
        }
    }
    QString program(const QString& name) const { return paths.app() + "/Contents/MacOS/" + name; }
    // Starts a program of the bundle the way a user or the system would.
    void start(const QString& path) {
        ASSERT_TRUE(QProcess::startDetached(path, {})) << path.toStdString();
        ASSERT_TRUE(running(path, 5000)) << path.toStdString();
    }
    // True when a program of that name runs (within `wait` ms).
    bool running(const QString& path, int wait = 0) const {
        const QString name = QFileInfo(path).fileName();
        return QTest::qWaitFor(
            [&] {
                for (const auto& launch : FakeProduct::launches(folders.marker()))
                    if (launch.program == name && processAlive(launch.pid))
                        return true;
                return false;
            },
            wait);
    }
    bool stopped(const QString& path) const {
        return QTest::qWaitFor([&] { return !running(path); }, 5000);
    }
};

// The services' line fails outright; the helper's line is the real one.
class ServicesLineFails : public LinuxCommands {
public:
    QString stopRunning(const QStringList& programs) const override {
        return programs.size() > 1 ? QStringLiteral("exit 3")
                                   : LinuxCommands::stopRunning(programs);
    }
};
} // namespace

// In use only while a user program runs (services and the helper are not the
// product in use), however it was started: through the linked folder, by an
// interpreter's command line (with arguments), by a path relative to its
// folder, or through a linked parent folder ("$0" is the bundle, "$1" the
// marker file, "$2" a free folder).
TEST(Processes, InUseOnlyWhileAUserProgramRunsHoweverItWasStarted) {
    SKIP_WITHOUT_LINUX_TOOLS();
    const char* ways[] = {
        R"(exec "$0/Contents/MacOS_SymLink/memberui")",
        R"(m="$0/Contents/MacOS/memberui"; printf 'echo memberui $$ >>"$1"; while :; do sleep 1; done' >"$m"; exec /bin/sh "$m" "$1" -from=5)",
        R"(cd "$0/Contents/MacOS" && exec ./memberui)",
        R"(ln -s "$0" "$2/linked" && exec "$2/linked/Contents/MacOS/memberui")",
    };
    for (const char* way : ways) {
        SCOPED_TRACE(way);
        RunningProduct product;
        LogCapture log;
        EXPECT_FALSE(Installer::checkIfUsingNow(product.paths));
        EXPECT_TRUE(log.lines().contains("checkIfUsingNow An error occurred"));
        product.start(product.program("lmguard"));
        product.start(product.paths.helper());
        EXPECT_FALSE(Installer::checkIfUsingNow(product.paths));

        QProcess::startDetached("/bin/sh", {"-c", way, product.paths.app(),
                                            product.folders.marker(), product.folders.root()});
        ASSERT_TRUE(product.running("memberui", 5000));
        EXPECT_TRUE(Installer::checkIfUsingNow(product.paths));
        // Another applications folder sees nothing of it.
        EXPECT_FALSE(Installer::checkIfUsingNow(ProductPaths(product.folders.root() + "/Apps")));
    }
}

// The helper's line runs even when the services' line fails.
TEST(Processes, ShutDownStopsServicesAndHelperButNotTheReader) {
    SKIP_WITHOUT_LINUX_TOOLS();
    for (const bool servicesLineFails : {false, true}) {
        SCOPED_TRACE(servicesLineFails ? "services' line fails" : "");
        RunningProduct product;
        for (const char* name : {"lmguard", "lmconvert", "doccore", "docreader"})
            product.start(product.program(name));
        product.start(product.paths.helper());
        LogCapture log;
        if (servicesLineFails)
            Installer::shutDownServices(product.paths, ServicesLineFails());
        else
            Installer::shutDownServices(product.paths);
        EXPECT_TRUE(product.stopped(product.paths.helper()));
        for (const char* name : {"lmguard", "lmconvert", "doccore"})
            EXPECT_TRUE(servicesLineFails ? product.running(name) : product.stopped(name)) << name;
        EXPECT_TRUE(product.running("docreader"));
        EXPECT_EQ(log.lines().count("shutDownServices An error occurred"), servicesLineFails);
    }
}

TEST(Processes, ResumeStartsProtectionServiceAndStartUseLaunchesTheBundle) {
    SKIP_WITHOUT_LINUX_TOOLS();
    RunningProduct product;
    LogCapture log;
    EXPECT_FALSE(Installer::startUse(ProductPaths(product.folders.apps())));
    EXPECT_TRUE(log.lines().contains("open An error occurred"));

    Installer::resumeServices(product.paths);
    ASSERT_TRUE(product.running("lmguard", 5000));
    EXPECT_TRUE(Installer::startUse(product.paths));
    ASSERT_TRUE(product.running("docreader", 5000));
    QStringList seen;
    for (const auto& launch : FakeProduct::launches(product.folders.marker()))
        seen << launch.program + ' ' + launch.arguments;
    EXPECT_EQ(seen, QStringList({"lmguard /start", "docreader -from=5"}));
    EXPECT_TRUE(Installer::checkIfUsingNow(product.paths));
}
