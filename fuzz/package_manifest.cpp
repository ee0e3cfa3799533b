// The package manifest parser and its checks on arbitrary bytes: never
// crashes, and whatever it accepts keeps its promises (a 32-byte hash, a
// readable version, a valid expiry, no negative size).
#include "install/PackageManifest.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const std::optional<PackageManifest> manifest = PackageManifest::parse(bytes, &error);
    if (manifest) {
        if (manifest->sha256.size() != 32 || manifest->size < 0 || manifest->file.isEmpty() ||
            !manifest->expires.isValid() ||
            PackageManifest::compareVersions(manifest->version, manifest->version) != 0)
            __builtin_trap();
    } else if (error.isEmpty()) {
        __builtin_trap();
    }
    // The same bytes as a signature, and split into two versions to compare.
    QString reason;
    const QByteArray key(32, '\x01');
    if (PackageManifest::verify(bytes, bytes, key, "p.dmg", QDateTime::currentDateTimeUtc(),
                                QString(), &reason))
        __builtin_trap(); // no signature of these bytes under this key is expected
    const qsizetype half = bytes.size() / 2;
    const QString a = QString::fromLatin1(bytes.left(half));
    const QString b = QString::fromLatin1(bytes.mid(half));
    const auto ab = PackageManifest::compareVersions(a, b);
    const auto ba = PackageManifest::compareVersions(b, a);
    if (ab.has_value() != ba.has_value() || (ab && *ab != -*ba))
        __builtin_trap();
    return 0;
}
