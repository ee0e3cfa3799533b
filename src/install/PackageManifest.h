#pragma once
// The signed description the download server publishes beside each package,
// as "<package URL>.json" with its Ed25519 signature in "<package URL>.json.sig":
//
//   {"file": "lumadoc_x86_64.dmg", "size": 123456789, "sha256": "<64 lower-case hex>",
//    "version": "3.2.1", "expires": "2027-01-31T00:00:00Z"}
//
// Further members are ignored. The signature covers the exact bytes of the
// .json file and is standard padded base64, optionally followed by a newline.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

struct PackageManifest {
    QString file;
    qint64 size = 0;
    QByteArray sha256; // 32 raw bytes
    QString version;   // dotted numbers
    QDateTime expires; // UTC

    // The largest .json or .json.sig the installer reads.
    static constexpr qint64 kMaxFileSize = 64 * 1024;

    // Parses the .json bytes; no value, with the reason in `error`, when a
    // member is missing or malformed.
    static std::optional<PackageManifest> parse(const QByteArray& json, QString* error = nullptr);

    // Checks the signature and then the contents for the package `fileName`,
    // at `now`, against the installed application's version (empty: none
    // installed). Returns the manifest, or no value with the reason in
    // `reason`: "bad signature", "bad manifest: <what>", "wrong file",
    // "expired" or "older than installed".
    static std::optional<PackageManifest> verify(const QByteArray& json,
                                                 const QByteArray& signatureText,
                                                 const QByteArray& publicKey,
                                                 const QString& fileName, const QDateTime& now,
                                                 const QString& installedVersion, QString* reason);

    // Dotted numbers compared numerically, missing parts counting as 0
    // ("3.2" == "3.2.0" < "3.10"); no value when either is not dotted numbers.
    static std::optional<int> compareVersions(const QString& a, const QString& b);
};
