#pragma once
// Stills of every screen for the documentation: `lumadoc-installer --screenshot DIR`.
// The view, bound to no flow, draws states set for the picture; nothing is
// downloaded, installed or reported.

#include "ui/ScreenState.h"

#include <QList>
#include <QString>
#include <functional>

struct Screenshots {
    struct Still {
        QString name;            // file name stem: "<name>-<language>.png"
        ScreenState state;       // what the view shows
        bool closePanel = false; // the close-confirmation panel over it
    };

    // Languages drawn, in order.
    static QStringList languages();
    // Every screen and state drawn, in order.
    static QList<Still> stills();

    // Points every folder and server the installer could touch into `scratch`
    // (an empty folder): home, data, settings, applications and resources (no
    // telemetry data files there, so every report is refused), and the download
    // and web servers to a closed loopback port. Call before the application
    // object exists.
    static void isolate(const QString& scratch);

    // Writes stills() in languages() to `dir` (created when missing) as PNG files,
    // one log line each, while keepGoing() says so. Empty, or what stopped it:
    // "cannot create|write <path>: <why>", or "stopped".
    static QString writeAll(const QString& dir, const std::function<bool()>& keepGoing);
};
