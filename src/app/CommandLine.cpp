#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace {

constexpr char kDescription[] =
    "Installs the Lumadoc PDF reader: downloads the disk image for this processor,\n"
    "replaces the installed application, records the installation and starts it.";

#ifdef Q_OS_MACOS
constexpr char kLogFile[] = "~/Library/Logs/Lumadoc/installer.log";
constexpr char kApplications[] = "/Applications";
#else
constexpr char kLogFile[] =
    "$XDG_STATE_HOME/lumadoc/installer.log (~/.local/state/lumadoc/installer.log)";
constexpr char kApplications[] = "~/Applications";
#endif

constexpr char kEpilog[] = R"(
Exit statuses:
  0  Lumadoc was installed and started (--screenshot: every picture was written)
  1  --screenshot could not write every picture, or the window's module
     (../lib/<multiarch>/lumadoc-installer) is missing: reinstall the installer
  2  bad command line or configuration (for example an unreadable download
     address, or no display for the window)
  3  Lumadoc is running; quit it and run the installer again
  4  the download failed (after one automatic retry)
  5  the installation failed; the previous installation is left as it was
  6  another Lumadoc installer is running
  128+N  stopped by signal N (143 SIGTERM, 130 SIGINT, 129 SIGHUP, also when the
     window's display closes): what the run made is removed; the previous
     Lumadoc (if any) is unchanged, or the new one in place

Lumadoc goes into %1 (created when missing).
Log file: %2, the last five runs.

Telemetry is off with --no-telemetry, DO_NOT_TRACK=1 or LUMADOC_NO_TELEMETRY=1.
Environment (staging and tests): LUMADOC_APPLICATIONS_DIR, LUMADOC_DOWNLOAD_BASE_URL,
LUMADOC_WEB_BASE_URL, LUMADOC_RESOURCE_DIR, LUMADOC_PACKAGE_PUBLIC_KEY; HOME, TMPDIR and
XDG_STATE_HOME as usual.
)";

// Options QGuiApplication takes for itself, with and without a value.
constexpr const char* kQtValueOptions[] = {"platform",        "platformpluginpath",
                                           "platformtheme",   "plugin",
                                           "qwindowgeometry", "geometry",
                                           "qwindowicon",     "icon",
                                           "qwindowtitle",    "title",
                                           "display",         "name",
                                           "style",           "stylesheet",
                                           "session",         "qmljsdebugger",
                                           "fontengine"};
constexpr const char* kQtFlagOptions[] = {"reverse", "widgetcount", "nograb",
                                          "dograb",  "sync",        "testability"};

struct Options {
    QCommandLineOption help{{"h", "help"}, "Show this help and exit."};
    QCommandLineOption version{"version", "Show the version and exit."};
    QCommandLineOption silent{"silent",
                              "Install without a window: start at once and show the progress "
                              "on the terminal (plain lines when it is not a terminal)."};
    QCommandLineOption autostart{"autostart",
                                 "Open the window and start installing at once, as if Install "
                                 "had been pressed (unattended runs with a window)."};
    QCommandLineOption screenshot{"screenshot",
                                  "Draw every screen of the window in English and German into "
                                  "<dir> as PNG files. Nothing is downloaded, installed or "
                                  "reported.",
                                  "dir"};
    QCommandLineOption scale{
        "scale", "With --screenshot: draw at <n> device pixels per point (1 to 4).", "n", "1"};
    QCommandLineOption verbose{"verbose", "Also copy every log line to standard error."};
    QCommandLineOption logFile{
        "log-file", "Write the log to <path> instead of the log file named below.", "path"};
    QCommandLineOption noTelemetry{"no-telemetry",
                                   "Send no telemetry reports and keep none for later."};

    void addTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(kDescription);
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions(
            {help, version, silent, autostart, screenshot, scale, verbose, logFile, noTelemetry});
        for (const char* name : kQtValueOptions) {
            QCommandLineOption option(QString::fromLatin1(name), {}, "value");
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
        for (const char* name : kQtFlagOptions) {
            QCommandLineOption option(QString::fromLatin1(name));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    }
};

CommandLine failure(const QString& message) {
    CommandLine line;
    line.mode = CommandLine::Mode::Error;
    line.error = message;
    return line;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    const Options o;
    o.addTo(parser);
    if (!parser.parse(arguments))
        return failure(parser.errorText());
    CommandLine line;
    if (parser.isSet(o.help)) {
        line.mode = Mode::Help;
        return line;
    }
    if (parser.isSet(o.version)) {
        line.mode = Mode::Version;
        return line;
    }
    if (!parser.positionalArguments().isEmpty())
        return failure("Unexpected argument '" + parser.positionalArguments().first() + "'.");
    const int modes = int(parser.isSet(o.silent)) + int(parser.isSet(o.autostart)) +
                      int(parser.isSet(o.screenshot));
    if (modes > 1)
        return failure("--autostart, --silent and --screenshot exclude each other.");
    line.verbose = parser.isSet(o.verbose);
    line.noTelemetry = parser.isSet(o.noTelemetry);
    if (parser.isSet(o.logFile)) {
        line.logFile = parser.value(o.logFile);
        if (line.logFile.isEmpty())
            return failure("--log-file needs a path.");
    }
    if (parser.isSet(o.scale)) {
        bool ok = false;
        line.scale = parser.value(o.scale).toInt(&ok);
        if (!ok || line.scale < 1 || line.scale > 4)
            return failure("--scale needs a whole number from 1 to 4.");
        if (!parser.isSet(o.screenshot))
            return failure("--scale goes with --screenshot.");
    }
    if (parser.isSet(o.screenshot)) {
        line.mode = Mode::Screenshots;
        line.screenshotDir = parser.value(o.screenshot);
        if (line.screenshotDir.isEmpty())
            return failure("--screenshot needs a folder.");
    } else if (parser.isSet(o.silent)) {
        line.mode = Mode::Silent;
    } else {
        line.autostart = parser.isSet(o.autostart);
    }
    return line;
}

QString CommandLine::helpText() {
    QCommandLineParser parser;
    Options().addTo(parser);
    QString text = parser.helpText();
    // Qt names the program by the path it was started with; the help names it.
    const qsizetype firstLineEnd = text.indexOf('\n');
    text.replace(0, firstLineEnd, "Usage: lumadoc-installer [options]");
    return text +
           QString::fromLatin1(kEpilog).arg(QLatin1String(kApplications), QLatin1String(kLogFile));
}

QString CommandLine::versionText() {
    return QStringLiteral("lumadoc-installer " LUMADOC_VERSION);
}
