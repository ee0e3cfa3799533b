#pragma once
// What a whole-install test needs around the installer: a devserver serving the
// product and collecting telemetry, data files pointing at it, the installer's
// environment, and the checks of what a run left. The product dies with it.

#include "support/DevServer.h"
#include "support/ProgramRun.h"
#include "support/TreeSnapshot.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class InstallScenario {
public:
    // A devserver with `serverOptions`; telemetry goes to it unless to `telemetryUrl`.
    explicit InstallScenario(const QStringList& serverOptions = {},
                             const QString& telemetryUrl = {});
    ~InstallScenario();

    DevServer& server() { return *m_server; }

    // Serves a fake product of `version`, carrying payloadBytes, as both processor images.
    bool serveProduct(const QString& version = QStringLiteral("3.2.1"),
                      qint64 payloadBytes = 2 * 1024 * 1024);
    // The bundle serveProduct(version) put in the images.
    QString servedApp(const QString& version = QStringLiteral("3.2.1")) const;
    // Serves `bytes` as both images (a broken download, a bad image).
    void serveRaw(const QByteArray& bytes);
    // Puts an installed Lumadoc.app of `version` in the sandbox applications folder.
    QString installPrevious(const QString& version = QStringLiteral("1.0.0"));
    // Stops the product and puts a fresh previous application in place; its tree.
    Tree reinstallPrevious();

    // Points this process's installer at the server and resources, with configuration
    // and shared reporters made anew (none may be in use).
    void applyToThisProcess() const;
    // The same for a child process, on top of the sandbox's environment.
    QProcessEnvironment environment() const;
    // environment() with nothing listening at the download address.
    QProcessEnvironment offline() const;

    QString markerPath() const;   // where the fake product's programs record their starts
    QString settingsPath() const; // the product settings file in the sandbox
    QString resourceDir() const { return m_resources.path(); } // qfmt.dat, qctrl.dat

    // Telemetry posts received so far, in order of their "#time".
    QList<QJsonObject> reports() const;
    // A short label per report: "result 100", or the point's name and its click.
    QStringList labels() const;
    static QString label(const QJsonObject& report);
    // Waits for the posts, then: they are exactly `expected` (labels), and their own times
    // follow that order (the two reporters post on separate queues: arrival order says little).
    ::testing::AssertionResult sent(const QStringList& expected) const;

    // Telemetry off by `reason`: nothing posted, kept or said on standard error; the
    // log says why once.
    ::testing::AssertionResult telemetryOff(const ProgramRun& run, const QString& reason) const;

private:
    std::unique_ptr<DevServer> m_server;
    QTemporaryDir m_resources;
    QTemporaryDir m_work;
};

inline QString installJournalPath() {
    return sandbox::dataDir() + "/Lumadoc/install-journal.json";
}

// What installer runs left in the sandbox: entries in home but settings and
// preferences, packages and download folders in the temporary folder, the
// journal, anything beside Lumadoc.app in the applications folder.
QStringList leftovers();

// The run ended with `status` and its standard error matches `says`, the
// application at `app` is `tree`, and with `clean` nothing of the run is left.
::testing::AssertionResult ended(const ProgramRun& run, int status, const QString& says,
                                 const Tree& tree, const QString& app = installedApp(),
                                 bool clean = true);
