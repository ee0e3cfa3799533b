// The in-use check, stopping and resuming services and the launch, against
// the fake product's real processes.
#include "TestFolders.h"
#include "fakeproduct/FakeProduct.h"
#include "install/Installer.h"
#include "platform/LinuxCommands.h"
#include "support/Files.h"
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
    QString apps = folders.root() + "/Apps (1) + it's";
    ProductPaths paths{apps};

    RunningProduct() { FakeProduct::write(apps, productOptions("3.2.1", folders.marker())); }
    // Kills every fake program the test started, whatever its outcome.
    ~RunningProduct() {
        for (const FakeProduct::Launch& launch : launches()) {
            if (processAlive(launch.pid)) {
                ::kill(static_cast<pid_t>(launch.pid), SIGKILL);
                (void)QTest::qWaitFor([&] { return !processAlive(launch.pid); }, 5000);
            }
        }
    }

    // Starts a program of the bundle the way a user or the system would.
    void start(const QString& path, const QStringList& args = {}) {
        ASSERT_TRUE(QProcess::startDetached(path, args)) << path.toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return pidOf(path) > 0; }, 5000)) << path.toStdString();
    }

    qint64 pidOf(const QString& path) const {
        const QString name = QFileInfo(path).fileName();
        for (const auto& launch : FakeProduct::launches(folders.marker()))
            if (launch.program == name && processAlive(launch.pid))
                return launch.pid;
        return 0;
    }
    QList<FakeProduct::Launch> launches() const { return FakeProduct::launches(folders.marker()); }
};

QString macos(const RunningProduct& p, const QString& name) {
    return p.paths.app() + "/Contents/MacOS/" + name;
}

// The services' line fails outright; the helper's line is the real one.
class ServicesLineFails : public LinuxCommands {
public:
    QString stopRunning(const QStringList& programs) const override {
        return programs.size() > 1 ? QStringLiteral("exit 3")
                                   : LinuxCommands::stopRunning(programs);
    }
};
} // namespace

TEST(Processes, InUseOnlyWhileAUserProgramRuns) {
    SKIP_WITHOUT_LINUX_TOOLS();
    RunningProduct product;
    LogCapture log;
    EXPECT_FALSE(Installer::checkIfUsingNow(product.paths));
    EXPECT_TRUE(log.lines().contains("checkIfUsingNow An error occurred"));

    // Services and the helper are not the product in use.
    product.start(macos(product, "lmguard"));
    product.start(product.paths.helper());
    EXPECT_FALSE(Installer::checkIfUsingNow(product.paths));

    product.start(product.paths.app() + "/Contents/MacOS_SymLink/docreader");
    EXPECT_TRUE(Installer::checkIfUsingNow(product.paths));
    // Another applications folder sees nothing of it.
    EXPECT_FALSE(Installer::checkIfUsingNow(ProductPaths(product.folders.root() + "/Apps")));
}

TEST(Processes, InUseHoweverAUserProgramWasStarted) {
    SKIP_WITHOUT_LINUX_TOOLS();
    // A program named by an interpreter's command line, by a path relative to
    // its folder, or through a linked parent folder.
    const QStringList ways = {"interpreter", "relative", "linked folder"};
    for (const QString& way : ways) {
        SCOPED_TRACE(way.toStdString());
        RunningProduct product;
        const QString memberui = macos(product, "memberui");
        if (way == "interpreter") {
            // A plain sh script stays "/bin/sh <path>" for as long as it runs.
            QFile::remove(memberui);
            writeFile(memberui, "printf 'memberui %s\\n' \"$$\" >> '" +
                                    product.folders.marker().toUtf8() +
                                    "'\nwhile :; do sleep 1; done\n");
            QProcess::startDetached("/bin/sh", {memberui});
        } else if (way == "relative") {
            QProcess::startDetached("/bin/sh", {"-c", "cd \"$0\" && exec ./memberui",
                                                QFileInfo(memberui).absolutePath()});
        } else {
            const QString link = product.folders.root() + "/linked";
            ASSERT_TRUE(QFile::link(product.paths.app(), link));
            QProcess::startDetached(link + "/Contents/MacOS/memberui");
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return product.pidOf(memberui) > 0; }, 5000));
        EXPECT_TRUE(Installer::checkIfUsingNow(product.paths));
    }
}

TEST(Processes, ShutDownStopsServicesAndHelperButNotTheReader) {
    SKIP_WITHOUT_LINUX_TOOLS();
    RunningProduct product;
    for (const char* name : {"lmguard", "lmconvert", "doccore", "docreader"})
        product.start(macos(product, name));
    product.start(product.paths.helper());

    LogCapture log;
    Installer::shutDownServices(product.paths);
    for (const char* name : {"lmguard", "lmconvert", "doccore"})
        EXPECT_TRUE(QTest::qWaitFor([&] { return product.pidOf(macos(product, name)) == 0; }, 5000))
            << name;
    EXPECT_TRUE(QTest::qWaitFor([&] { return product.pidOf(product.paths.helper()) == 0; }, 5000));
    EXPECT_GT(product.pidOf(macos(product, "docreader")), 0);
    EXPECT_FALSE(log.lines().contains("shutDownServices An error occurred"));
}

TEST(Processes, ShutDownRunsTheHelperLineWhenTheFirstFails) {
    SKIP_WITHOUT_LINUX_TOOLS();
    RunningProduct product;
    product.start(macos(product, "lmguard"));
    product.start(product.paths.helper());
    const ServicesLineFails commands;
    LogCapture log;
    Installer::shutDownServices(product.paths, commands);
    EXPECT_EQ(log.lines().count("shutDownServices An error occurred"), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return product.pidOf(product.paths.helper()) == 0; }, 5000));
    EXPECT_GT(product.pidOf(macos(product, "lmguard")), 0);
}

TEST(Processes, ResumeStartsProtectionServiceAndStartUseLaunchesTheBundle) {
    SKIP_WITHOUT_LINUX_TOOLS();
    RunningProduct product;
    LogCapture log;
    EXPECT_FALSE(Installer::startUse(ProductPaths(product.folders.apps())));
    EXPECT_TRUE(log.lines().contains("open An error occurred"));

    Installer::resumeServices(product.paths);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return product.pidOf(macos(product, "lmguard")) > 0; }, 5000));

    EXPECT_TRUE(Installer::startUse(product.paths));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return product.pidOf(macos(product, "docreader")) > 0; }, 5000));
    QStringList seen;
    for (const auto& launch : product.launches())
        seen << launch.program + ' ' + launch.arguments;
    EXPECT_EQ(seen, QStringList({"lmguard /start", "docreader -from=5"}));
    EXPECT_TRUE(Installer::checkIfUsingNow(product.paths));
}
