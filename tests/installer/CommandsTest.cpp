// The command lines per platform, the runner and the system probes.
#include "install/Installer.h"
#include "install/MacOSVersion.h"
#include "install/ProcessRunner.h"
#include "platform/LinuxCommands.h"
#include "platform/MacCommands.h"
#include "support/Files.h"
#include "support/LogCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Puts a folder holding a fake tool first on PATH for the test's lifetime.
class FakeTool {
public:
    FakeTool(const QString& name, const QString& body)
        : m_oldPath(qgetenv("PATH")) {
        QFile::setPermissions(writeFile(m_dir.path() + '/' + name, ("#!/bin/sh\n" + body).toUtf8()),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_oldPath);
    }
    ~FakeTool() { qputenv("PATH", m_oldPath); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};
} // namespace

TEST(SystemCommands, QuotedTextReachesTheShellVerbatimAndRunsNothing) {
    QTemporaryDir dir;
    for (const QString& text : QStringList{"with blank", "it's", "say \"hi\"", "$(touch INJECTED)",
                                           "`touch INJECTED`", "a;b|c&d>e<f", "back\\slash",
                                           "star * and ~ and $HOME", "line\nbreak", "-n", ""}) {
        const ProcessRunner::Result r =
            ProcessRunner::run({"/bin/sh",
                                {"-c", "cd " + SystemCommands::quote(dir.path()) +
                                           " && printf '%s' " + SystemCommands::quote(text)}});
        EXPECT_TRUE(r.succeeded()) << text.toStdString();
        EXPECT_EQ(QString::fromUtf8(r.output), text);
    }
    EXPECT_FALSE(QFile::exists(dir.path() + "/INJECTED"));
}

// The Mac lines whole, the Linux ones (rows ending in a blank) up to where they
// stop quoting paths.
TEST(SystemCommands, LinesQuotePathsAndEscapePatterns) {
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
        {linux.findRunning({"/A (1)/Lumadoc.app/x+y", "/b"}),
         "pgrep -lf '[/]A \\(1\\)/Lumadoc.app/x\\+y|[/]b' | "},
        {linux.stopRunning({"/b"}), "for pid in $(pgrep -f '[/]b'); do "},
    };
    for (const auto& [line, expected] : lines)
        EXPECT_EQ(expected.endsWith(' ') ? line.left(expected.size()) : line, expected);
    EXPECT_EQ(mac.launch("/Applications/Lumadoc.app", "docreader").program, "/bin/zsh");
    const ProgramCall launch = linux.launch("/A/Lumadoc.app", "docreader");
    EXPECT_EQ(launch.program + ' ' + launch.arguments.join(' '),
              "/A/Lumadoc.app/Contents/MacOS/docreader -from=5");
    EXPECT_TRUE(launch.detached);
    EXPECT_FALSE(linux.launch("/A/Lumadoc.app", "").isValid());
    EXPECT_FALSE(linux.launch("/A/Lumadoc.app", "../../../bin/sh").isValid());
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
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(output->size(), 4000000);
    EXPECT_EQ(output->count('b'), 1000000);
}

TEST(Probes, ProcessorKindFromTheHardwareNotTheTranslatedProcess) {
    // The Mac line under zsh where there is one, else under sh (it is both).
    class MacProbe : public MacCommands {
    public:
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
    const struct {
        const char* text;
        int major;
        std::int64_t combined; // starting from the never-read state
    } cases[] = {
        // clang-format off
        {"14.5.1", 14, 1405}, {"15", 15, 1500}, {"", 0, 0}, {"13.a", 13, 0}, {"300.1", 0, 30001},
        {"-5.1", 0, 0}, {"..12..3", 12, 1203}, {"99999999999999999999.1", 0, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        MacOSVersion::reset();
        MacOSVersion::updateOsVersion(c.text);
        EXPECT_EQ(MacOSVersion::getMainOsVersion(), c.major) << c.text;
        EXPECT_EQ(MacOSVersion::combinedVersion(), c.combined) << c.text;
    }
    // The system's version is read once; on Linux the kernel release stands in.
#ifdef __APPLE__
    FakeTool version("sw_vers", "[ \"$1\" = -productVersion ] && echo 6.1.0-18-amd64");
#else
    FakeTool version("uname", "[ \"$1\" = -r ] && echo 6.1.0-18-amd64");
#endif
    MacOSVersion::reset();
    LogCapture log;
    EXPECT_EQ(MacOSVersion::getMainOsVersion(), 6);
    EXPECT_EQ(MacOSVersion::getMainOsVersion(), 6);
    EXPECT_EQ(MacOSVersion::combinedVersion(), 601);
    EXPECT_EQ(log.lines().filter("os_version: ").size(), 1);
    MacOSVersion::reset();
}
