#include "install/PackageManifest.h"

#include "install/PackageCrypto.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

std::optional<QList<quint64>> versionParts(const QString& version) {
    QList<quint64> parts;
    for (const QString& part : version.split('.')) {
        bool ok = false;
        const quint64 n = part.toULongLong(&ok);
        // Digits only: no signs, blanks or empty parts.
        if (!ok || part.isEmpty() || part.size() > 18 ||
            std::any_of(part.begin(), part.end(), [](QChar c) { return c < '0' || c > '9'; }))
            return std::nullopt;
        parts << n;
    }
    return parts;
}

bool isLowerHex(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::optional<PackageManifest> refuse(QString* error, const QString& why) {
    if (error)
        *error = why;
    return std::nullopt;
}

} // namespace

std::optional<PackageManifest> PackageManifest::parse(const QByteArray& json, QString* error) {
    if (json.size() > kMaxFileSize)
        return refuse(error, "larger than 64 KiB");
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return refuse(error, "not a JSON object");
    const QJsonObject object = document.object();

    PackageManifest m;
    m.file = object.value("file").toString();
    if (m.file.isEmpty())
        return refuse(error, "no file name");

    // JSON numbers are doubles: whole, not negative, and exact (below 2^53).
    const QJsonValue size = object.value("size");
    const double bytes = size.toDouble(-1);
    if (!size.isDouble() || bytes < 0 || bytes > 9007199254740992.0 || std::floor(bytes) != bytes)
        return refuse(error, "no valid size");
    m.size = static_cast<qint64>(bytes);

    const QString hash = object.value("sha256").toString();
    if (hash.size() != 64 || !isLowerHex(hash))
        return refuse(error, "no valid sha256");
    m.sha256 = QByteArray::fromHex(hash.toLatin1());

    m.version = object.value("version").toString();
    if (!versionParts(m.version))
        return refuse(error, "no valid version");

    const QString expires = object.value("expires").toString();
    m.expires = QDateTime::fromString(expires, Qt::ISODate);
    if (expires.isEmpty() || !m.expires.isValid())
        return refuse(error, "no valid expiry time");
    m.expires = m.expires.toUTC();
    return m;
}

std::optional<PackageManifest>
PackageManifest::verify(const QByteArray& json, const QByteArray& signatureText,
                        const QByteArray& publicKey, const QString& fileName, const QDateTime& now,
                        const QString& installedVersion, QString* reason) {
    const auto signature = PackageCrypto::decodeBase64(signatureText);
    if (!signature || !PackageCrypto::verifyEd25519(publicKey, json, *signature))
        return refuse(reason, "bad signature");
    QString error;
    const std::optional<PackageManifest> manifest = parse(json, &error);
    if (!manifest)
        return refuse(reason, "bad manifest: " + error);
    if (manifest->file != fileName)
        return refuse(reason, "wrong file");
    if (manifest->expires <= now)
        return refuse(reason, "expired");
    // An installed version we cannot read does not block a repair.
    if (!installedVersion.isEmpty() &&
        compareVersions(manifest->version, installedVersion).value_or(0) < 0)
        return refuse(reason, "older than installed");
    return manifest;
}

std::optional<int> PackageManifest::compareVersions(const QString& a, const QString& b) {
    auto x = versionParts(a);
    auto y = versionParts(b);
    if (!x || !y)
        return std::nullopt;
    while (x->size() < y->size())
        x->append(0);
    while (y->size() < x->size())
        y->append(0);
    for (qsizetype i = 0; i < x->size(); ++i)
        if ((*x)[i] != (*y)[i])
            return (*x)[i] < (*y)[i] ? -1 : 1;
    return 0;
}
