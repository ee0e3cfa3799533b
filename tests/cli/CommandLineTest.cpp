// The command lines of the installer and its two tools: what each accepts and
// refuses, as parsed and as a user runs them; --help and the man page agree.

#include "app/CommandLine.h"
#include "base/LogFile.h"
#include "flow/SilentInstall.h"
#include "support/Files.h"
#include "support/ProgramRun.h"
#include "support/Sandbox.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Mode = CommandLine::Mode;

// The installer may be inside a bundle; the tools are in the bin folder.
ProgramRun run(const QString& program, const QStringList& arguments) {
    return runProgram(program == "lumadoc-installer" ? LUMADOC_INSTALLER_EXE
                                                     : LUMADOC_BIN_DIR "/" + program,
                      arguments);
}

// The "--name" words of a text, sorted, each once; the man page writes "\-\-name".
QStringList longOptions(QString text) {
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    QStringList names;
    static const QRegularExpression word(QStringLiteral("(?<![\\w-])--[a-z][a-z-]*"));
    for (const QRegularExpressionMatch& m : word.globalMatch(text))
        names << m.captured();
    names.sort();
    names.removeDuplicates();
    return names;
}

// A parsed line in a few words: the mode, then only what differs from the defaults;
// a refused one as "error: " and its reason.
QString described(const CommandLine& line) {
    if (line.mode == Mode::Error)
        return "error: " + line.error;
    static const char* const modes[] = {"window", "silent", "stills", "help", "version"};
    QStringList words{modes[int(line.mode)]};
    if (line.autostart)
        words << "autostart";
    if (!line.screenshotDir.isEmpty())
        words << "in " + line.screenshotDir;
    if (line.scale != 1)
        words << QString("x%1").arg(line.scale);
    if (line.verbose)
        words << "verbose";
    if (!line.logFile.isEmpty())
        words << "log " + line.logFile;
    if (line.noTelemetry)
        words << "no telemetry";
    return words.join(", ");
}

} // namespace

// Accepted lines in full; a refused one by the words of its reason.
TEST(CommandLine, ParsedLines) {
    const std::pair<QStringList, const char*> cases[] = {
        {{}, "window"},
        {{"--autostart"}, "window, autostart"},
        {{"--silent", "--verbose"}, "silent, verbose"},
        {{"--silent", "--log-file", "/tmp/x.log"}, "silent, log /tmp/x.log"},
        {{"--log-file=rel.log", "--no-telemetry"}, "window, log rel.log, no telemetry"},
        {{"--screenshot", "out"}, "stills, in out"},
        {{"--screenshot=out dir", "--scale", "2"}, "stills, in out dir, x2"},
        // Qt's own options, one dash or two, with their values, stay Qt's.
        {{"-platform", "offscreen", "--autostart"}, "window, autostart"},
        {{"--platform=offscreen", "-reverse", "--silent"}, "silent"},
        {{"--help"}, "help"},
        {{"--silent", "--version"}, "version"},
        {{"-h", "--bogus"}, "error: Unknown option 'bogus'"},
        {{"--screenshot"}, "error: Missing value after '--screenshot'"},
        {{"--screenshot="}, "error: --screenshot needs a folder"},
        {{"--silent", "--autostart"}, "exclude each other"},
        {{"--silent", "--screenshot", "d"}, "exclude each other"},
        {{"--scale", "2"}, "error: --scale goes with --screenshot"},
        {{"--screenshot", "d", "--scale", "5"}, "from 1 to 4"},
        {{"--screenshot", "d", "--scale", "2x"}, "from 1 to 4"},
        {{"--log-file="}, "error: --log-file needs a path"},
        {{"install"}, "error: Unexpected argument 'install'"},
    };
    for (const auto& [arguments, expected] : cases) {
        const QString got =
            described(CommandLine::parse(QStringList{"lumadoc-installer"} + arguments));
        EXPECT_TRUE(got.startsWith("error: ") ? got.contains(QString::fromUtf8(expected))
                                              : got == expected)
            << arguments.join(' ').toStdString() << ": " << got.toStdString();
    }
}

// --help and the man page name the same options (and, for the installer, the
// same exit statuses); the help names where this platform's log goes.
TEST(CommandLine, ProgramsAnswerVersionHelpAndUsageErrors) {
    const QString version = QStringLiteral(LUMADOC_VERSION);
    for (const QString program :
         {"lumadoc-installer", "lumadoc-devserver", "lumadoc-fakeproduct"}) {
        SCOPED_TRACE(program.toStdString());
        const ProgramRun v = run(program, {"--version"});
        EXPECT_EQ(v.status, 0);
        EXPECT_EQ(v.out, program + ' ' + version + '\n');
        const ProgramRun bad = run(program, {"--bogus"});
        EXPECT_EQ(bad.status, 2);
        EXPECT_EQ(bad.out, "");
        EXPECT_TRUE(bad.err.contains("Unknown option 'bogus'")) << bad.err.toStdString();

        const ProgramRun help = run(program, {"--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.out.contains("--version")) << help.out.toStdString();
        const QString man =
            QString::fromUtf8(readFile(LUMADOC_SOURCE_DIR "/docs/" + program + ".1"));
        EXPECT_EQ(longOptions(man), longOptions(help.out));
        EXPECT_TRUE(man.contains('"' + program + ' ' + version + '"'));
        if (program != "lumadoc-installer")
            continue;
        EXPECT_EQ(longOptions(help.out).size(), 9);
        // The exit statuses: "  <n>  " in the help, ".B <n>" in the page.
        for (int status = 0; status <= 9; ++status)
            EXPECT_EQ(help.out.contains(QString("\n  %1  ").arg(status)),
                      man.contains(QString("\n.B %1\n").arg(status)))
                << status;
        // The numbers scripts test for are the ones the installer exits with.
        const std::pair<int, const char*> statuses[] = {
            {SilentInstall::Installed, "Lumadoc was installed"},
            {SilentInstall::BadUsage, "bad command line"},
            {SilentInstall::ProductRunning, "Lumadoc is running"},
            {SilentInstall::DownloadFailed, "the download failed"},
            {SilentInstall::InstallFailed, "the installation failed"},
            {SilentInstall::AnotherInstaller, "another Lumadoc installer"}};
        for (const auto& [status, meaning] : statuses)
            EXPECT_TRUE(help.out.contains(QString("\n  %1  %2").arg(status).arg(meaning)))
                << meaning;
        const QString logPath = "~" + LogFile::defaultPath().mid(sandbox::home().size());
        EXPECT_TRUE(help.out.contains(logPath)) << logPath.toStdString();
    }
}

TEST(CommandLine, FakeProductNamesAMissingGenisoimage) {
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", dir.path()); // nothing to run there
    const ProgramRun r = runProgram(LUMADOC_BIN_DIR "/lumadoc-fakeproduct",
                                    {dir.filePath("out.dmg")}, env, {}, 20000);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "lumadoc-fakeproduct: genisoimage not found (install the genisoimage package)\n");
}

// A window needs its module beside the installer (not on macOS) and a window
// system: without either, the installer says which instead of aborting.
#ifndef __APPLE__
TEST(CommandLine, AWindowNeedsItsModuleAndADisplay) {
    QTemporaryDir dir;
    const QString copied = dir.filePath("lumadoc-installer");
    ASSERT_TRUE(QFile::copy(LUMADOC_INSTALLER_EXE, copied));
    const std::tuple<QString, const char*, int, const char*> cases[] = {
        {copied, ":0", 1, "cannot load the window: "},
        {LUMADOC_INSTALLER_EXE, "", 2, "the window cannot open (DISPLAY is not set)"},
        {LUMADOC_INSTALLER_EXE, ":9999", 2,
         "the window cannot open (could not connect to display :9999)"},
    };
    for (const auto& [installer, display, status, says] : cases) {
        SCOPED_TRACE(display);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        env.insert("DISPLAY", display);
        const ProgramRun window = runProgram(installer, {}, env, {}, 20000);
        EXPECT_EQ(window.status, status);
        EXPECT_TRUE(window.err.startsWith("lumadoc-installer: error: " + QString(says)))
            << window.err.toStdString();
    }
}
#endif
