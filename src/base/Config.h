#pragma once
// Where the installer finds its data files and servers. Production values are
// compiled in; a few environment variables override them for staging, tests
// and the demo. Read once, on first use.

#include <QString>

struct Config {
    QString resourceDir;     // qfmt.dat, qctrl.dat; LUMADOC_RESOURCE_DIR
    QString downloadBaseUrl; // LUMADOC_DOWNLOAD_BASE_URL
    QString webBaseUrl;      // LUMADOC_WEB_BASE_URL
    // LUMADOC_APPLICATIONS_DIR; by default "/Applications" on macOS and
    // "$HOME/Applications" elsewhere, where no system-wide one exists.
    QString applicationsDir;
    // No LUMADOC_APPLICATIONS_DIR: the default folder, which the installer makes
    // when missing (a configured one that is missing is a wrong setting).
    bool applicationsDirIsDefault = true;
    // Base64 of the raw Ed25519 key that signs package manifests; empty: none.
    QString packagePublicKey; // LUMADOC_PACKAGE_PUBLIC_KEY
    // Why telemetry is off ("DO_NOT_TRACK=1", "LUMADOC_NO_TELEMETRY=1",
    // "--no-telemetry"); empty while it is on.
    QString telemetryOffBy;

    static const Config& get();
    // The next get() reads the environment again (a test process that points the
    // installer at a new server). References already handed out stay valid.
    static void reload();
    // The user's --no-telemetry: this and every later configuration has
    // telemetry off, whatever the environment says.
    static void turnTelemetryOff(const QString& reason);

    // Built from the environment now, bypassing the cached value (for tests).
    static Config fromEnvironment();

    // Full path of a file in the resources folder.
    QString resourcePath(const QString& fileName) const;
};
