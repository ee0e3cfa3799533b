#pragma once
// The installer's command line, read with QCommandLineParser before any
// application object exists. Qt's own options (-platform offscreen, -style,
// ...) are accepted and left for Qt to take.

#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Mode { Window, Silent, Screenshots, Help, Version, Error };

    Mode mode = Mode::Window;
    bool autostart = false;   // Window: press Install at once
    QString screenshotDir;    // Screenshots
    int scale = 1;            // Screenshots: device pixels per point
    bool verbose = false;     // log lines also on standard error
    QString logFile;          // --log-file; empty for the default
    bool noTelemetry = false; // --no-telemetry
    QString error;            // Error: the parser's one-line message

    // `arguments` as the process got them, the program first.
    static CommandLine parse(const QStringList& arguments);

    // --help's text: the options, the exit statuses, this platform's folders
    // and the environment.
    static QString helpText();
    // "lumadoc-installer <version>"
    static QString versionText();
};
