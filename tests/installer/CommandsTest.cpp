// The command lines, the runner and the probes; the in-use check, the services
// and the launch against the fake product's real processes.
#include "fakeproduct/FakeProduct.h"
#include "install/Installer.h"
#include "install/MacOSVersion.h"
#include "platform/LinuxCommands.h"
#include "platform/MacCommands.h"
#include "support/Files.h"
#include "support/LinuxTools.h"
#include "support/LogCapture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// Puts a fake tool first on PATH; its folder goes with it.
struct FakeTool {
    QTemporaryDir dir;
    FakeTool(const QString& name, const QString& body) {
        QFile::setPermissions(writeFile(dir.filePath(name), ("#!/bin/sh\n" + body).toUtf8()),
                              QFile::ReadOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir.path()) + ':' + qgetenv("PATH"));
    }
};
// True while a fake program runs under this pid (a zombie has no command line).
bool processAlive(qint64 pid) {
    QFile cmdline(QString("/proc/%1/cmdline").arg(pid));
    return pid > 1 && cmdline.open(QIODevice::ReadOnly) && !cmdline.readAll().isEmpty();
}

// An applications folder whose name needs escaping in a pattern and quoting in a line.
struct RunningProduct {
    QTemporaryDir dir;
    const QString marker = dir.filePath("marker.txt");
    ProductPaths paths{dir.filePath("Apps (1) + it's")};
    RunningProduct() { FakeProduct::write(QFileInfo(paths.app()).path(), {"3.2.1", marker}); }
    ~RunningProduct() {
        for (const FakeProduct::Launch& launch : FakeProduct::launches(marker))
            if (processAlive(launch.pid)) {
                ::kill(static_cast<pid_t>(launch.pid), SIGKILL);
                (void)QTest::qWaitFor([&] { return !processAlive(launch.pid); }, 5000);
            }
    }
    bool running(const QString& path, int wait = 0) const {
        const QString name = QFileInfo(path).fileName();
        return QTest::qWaitFor(
            [&] {
                for (const auto& launch : FakeProduct::launches(marker))
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
struct ServicesLineFails : LinuxCommands {
    QString stopRunning(const QStringList& programs) const override {
        return programs.size() > 1 ? QStringLiteral("exit 3")
                                   : LinuxCommands::stopRunning(programs);
    }
};
} // namespace

// The Mac lines whole, the Linux ones (rows ending in a blank) up to where they
// stop quoting paths.
TEST(SystemCommands, LinesQuoteTheirPaths) {
    const MacCommands mac;
    const LinuxCommands linux;
    const std::pair<QString, QString> lines[] = {
        {mac.attach("/Users/a b/X/package.dmg", "/Users/a b/U/Lumadoc"),
         "hdiutil attach '/Users/a b/X/package.dmg' -mountpoint '/Users/a b/U/Lumadoc' -noverify "
         "-nobrowse -noautoopen -verbose"},
        {mac.detach("/Users/o'k/U/Lumadoc"), "hdiutil detach '/Users/o'\\''k/U/Lumadoc' -force"},
        {mac.stopRunning({"/A/Lumadoc.app/Contents/MacOS/lmguard", "/A/o'k/lmconvert"}),
         "pgrep -lf '/A/Lumadoc.app/Contents/MacOS/lmguard|/A/o'\\''k/lmconvert' | awk '{print "
         "$1}' | xargs kill"},
        // The service never holds the runner's pipe, which closes when the shell returns.
        {mac.startInBackground("/A/o'k/lmguard", "/start"),
         "'/A/o'\\''k/lmguard' '/start' </dev/null >/dev/null 2>&1 &"},
        // -f: the user's ~/.zshenv never runs under the installer's lines.
        {mac.launch("/Applications/Lumadoc.app", "docreader").arguments.join(' '),
         "-f -c open -a '/Applications/Lumadoc.app' --args -from=5"},
        {linux.attach("-x.dmg", "/h/o'k/Lumadoc"),
         "7zz x -y -snl -sns- -o'/h/o'\\''k/Lumadoc' -- '-x.dmg' 'Lumadoc.app' '*/Lumadoc.app' "
         "&& "},
        {linux.move("/a b", "-c"), "mv -T -- '/a b' '-c'"},
    };
    for (const auto& [line, expected] : lines)
        EXPECT_EQ(expected.endsWith(' ') ? line.left(expected.size()) : line, expected);
    EXPECT_EQ(mac.launch("/Applications/Lumadoc.app", "docreader").program, "/bin/zsh");
    EXPECT_TRUE(linux.launch("/A/Lumadoc.app", "docreader").detached);
    // A bundle may not name a program outside its own folder.
    for (const char* executable : {"", "../../../bin/sh"})
        EXPECT_FALSE(linux.launch("/A/Lumadoc.app", executable).isValid()) << executable;
}

TEST(Runner, JudgesByStatusMergesErrorAndReadsLargeOutputWhileWaiting) {
    LogCapture log;
    std::optional<QString> output = QString("untouched");
    EXPECT_FALSE(Installer::executeCMD({"-c", "echo partial; exit 1"}, output));
    EXPECT_EQ(output, QString("untouched"));
    EXPECT_TRUE(log.lines().contains("task terminationStatus 1"));
    EXPECT_FALSE(Installer::executeCMD({"-c", "kill -9 $$"}));
    EXPECT_TRUE(Installer::executeCMD({"-c", "echo out; echo err >&2"}, output));
    EXPECT_EQ(output, QString("out\nerr\n"));
    // Not UTF-8: the command succeeded, but there is no text.
    EXPECT_TRUE(Installer::executeCMD({"-c", "printf '\\377\\376'"}, output));
    EXPECT_FALSE(output.has_value());
    // Far more than a pipe's buffer, from both streams.
    ASSERT_TRUE(Installer::executeCMD(
        {"-c",
         "head -c 3000000 /dev/zero | tr '\\0' a; head -c 1000000 /dev/zero | tr '\\0' b >&2"},
        output));
    EXPECT_EQ(std::pair(output.value_or("").count('a'), output.value_or("").count('b')),
              std::pair(qsizetype(3000000), qsizetype(1000000)));
}

TEST(Probes, ProcessorKindFromTheHardwareNotTheTranslatedProcess) {
    // The Mac line under zsh where there is one, else under sh (it is both).
    struct MacProbe : MacCommands {
        QString shell() const override {
            return QFile::exists(MacCommands::shell()) ? MacCommands::shell() : "/bin/sh";
        }
    };
    using enum OS_TYPE;
    // hw.optional.arm64 (1 on Apple silicon, also under Rosetta), uname -m: Mac, Linux.
    const std::tuple<const char*, const char*, OS_TYPE, OS_TYPE> cases[] = {
        // clang-format off
        {"echo 1", "echo x86_64", arm, x86}, /* Rosetta */ {"echo 1", "echo arm64", arm, arm},
        {"exit 0", "echo x86_64", x86, x86}, /* Intel: no such name */
        {"echo 0", "echo x86_64", x86, x86}, {"exit 1", "echo aarch64", arm, arm},
        {"exit 0", "echo riscv64", unknown, unknown}, {"exit 0", "exit 1", unknown, unknown},
        {"exit 0", "printf ''", unknown, unknown},
        // clang-format on
    };
    for (const auto& [sysctl, uname, mac, linux] : cases) {
        SCOPED_TRACE(std::string(sysctl) + " / " + uname);
        const FakeTool fakeSysctl("sysctl", sysctl), fakeUname("uname", uname);
        EXPECT_EQ(Installer::checkOSArch(MacProbe()), mac);
        EXPECT_EQ(Installer::checkOSArch(LinuxCommands()), linux);
    }
}

TEST(Probes, VersionTextsGiveMajorAndCombinedVersionsReadOnce) {
    // Text, major and combined version, each from the never-read state.
    const std::tuple<const char*, int, std::int64_t> cases[] = {
        // clang-format off
        {"14.5.1", 14, 1405}, {"15", 15, 1500}, {"", 0, 0}, {"13.a", 13, 0}, {"300.1", 0, 30001},
        {"-5.1", 0, 0}, {"..12..3", 12, 1203}, {"99999999999999999999.1", 0, 0},
        // clang-format on
    };
    for (const auto& [text, major, combined] : cases) {
        MacOSVersion::reset();
        MacOSVersion::updateOsVersion(text);
        EXPECT_EQ(MacOSVersion::getMainOsVersion(), major) << text;
        EXPECT_EQ(MacOSVersion::combinedVersion(), combined) << text;
    }
    // The system's version is read once; on Linux the kernel release stands in.
    const FakeTool swVers("sw_vers", "[ \"$1\" = -productVersion ] && echo 6.1.0-18-amd64"),
        uname("uname", "[ \"$1\" = -r ] && echo 6.1.0-18-amd64");
    MacOSVersion::reset();
    LogCapture log;
    EXPECT_EQ(MacOSVersion::getMainOsVersion(), 6);
    EXPECT_EQ(MacOSVersion::getMainOsVersion(), 6);
    EXPECT_EQ(MacOSVersion::combinedVersion(), 601);
    EXPECT_EQ(log.lines().filter("os_version: ").size(), 1);
    MacOSVersion::reset();
}

// In use while a user program runs, however it was started ("$0" is the
// bundle, "$1" the marker file, "$2" a free folder).
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
        QProcess::startDetached(
            "/bin/sh", {"-c", way, product.paths.app(), product.marker, product.dir.path()});
        ASSERT_TRUE(product.running("memberui", 5000));
        EXPECT_TRUE(Installer::checkIfUsingNow(product.paths));
        // Another applications folder sees nothing of it.
        EXPECT_FALSE(Installer::checkIfUsingNow(ProductPaths(product.dir.filePath("Apps"))));
    }
}

// Services and the helper are not the product in use, and stop around the
// reader; the helper's line runs even when the services' line fails.
TEST(Processes, ServicesStartAndStopAroundTheReader) {
    SKIP_WITHOUT_LINUX_TOOLS();
    for (const bool servicesLineFails : {false, true}) {
        SCOPED_TRACE(servicesLineFails ? "services' line fails" : "");
        RunningProduct product;
        LogCapture log;
        EXPECT_FALSE(Installer::startUse(ProductPaths(product.dir.path())));
        EXPECT_TRUE(log.lines().contains("open An error occurred"));
        Installer::resumeServices(product.paths);
        ASSERT_TRUE(product.running("lmguard", 5000));
        const QString macOS = product.paths.app() + "/Contents/MacOS/";
        for (const QString& path : {macOS + "lmconvert", macOS + "doccore", product.paths.helper()})
            ASSERT_TRUE(QProcess::startDetached(path, {}) && product.running(path, 5000))
                << path.toStdString();
        EXPECT_FALSE(Installer::checkIfUsingNow(product.paths));
        EXPECT_TRUE(Installer::startUse(product.paths));
        ASSERT_TRUE(product.running("docreader", 5000));
        EXPECT_TRUE(Installer::checkIfUsingNow(product.paths));
        const ServicesLineFails failing;
        Installer::shutDownServices(product.paths,
                                    servicesLineFails ? failing : SystemCommands::current());
        EXPECT_TRUE(product.stopped(product.paths.helper()));
        for (const char* name : {"lmguard", "lmconvert", "doccore"})
            EXPECT_TRUE(servicesLineFails ? product.running(name) : product.stopped(name)) << name;
        EXPECT_TRUE(product.running("docreader"));
        EXPECT_EQ(log.lines().count("shutDownServices An error occurred"), servicesLineFails);
        QStringList seen;
        for (const auto& launch : FakeProduct::launches(product.marker))
            seen << (launch.program + ' ' + launch.arguments).trimmed();
        EXPECT_EQ(seen, QStringList({"lmguard /start", "lmconvert", "doccore", "lmhelper",
                                     "docreader -from=5"}));
    }
}
