#include "ManifestSigner.h"

#include "ServerOptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <openssl/evp.h>
#include <openssl/pem.h>

void ManifestSigner::KeyFree::operator()(void* key) const {
    EVP_PKEY_free(static_cast<EVP_PKEY*>(key));
}

ManifestSigner::ManifestSigner(const ServerOptions& options)
    : m_options(options) {
    FILE* file = std::fopen(QFile::encodeName(options.signKey).constData(), "rb");
    if (!file) {
        m_error = "cannot read " + options.signKey;
        return;
    }
    EVP_PKEY* key = PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    if (!key || EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(key);
        m_error = options.signKey + " is not an Ed25519 private key in PEM";
        return;
    }
    m_key.reset(key);
}

ManifestSigner::~ManifestSigner() = default;

QByteArray ManifestSigner::sign(const QByteArray& message) const {
    auto* key = static_cast<EVP_PKEY*>(m_key.get());
    QByteArray signature(64, '\0');
    size_t length = static_cast<size_t>(signature.size());
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool ok =
        context && EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key) == 1 &&
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(message.constData()),
                       static_cast<size_t>(message.size())) == 1;
    EVP_MD_CTX_free(context);
    return ok ? signature.left(static_cast<qsizetype>(length)) : QByteArray();
}

std::optional<ManifestSigner::Signed> ManifestSigner::manifestFor(const QString& path,
                                                                  const QString& name) {
    if (!m_key)
        return std::nullopt;
    const QFileInfo info(path);
    Entry& entry = m_cache[path];
    if (entry.size == info.size() && entry.modified == info.lastModified())
        return entry.result;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    QByteArray chunk(1024 * 1024, '\0');
    qint64 n = 0;
    while ((n = file.read(chunk.data(), chunk.size())) > 0)
        EVP_DigestUpdate(context, chunk.constData(), static_cast<size_t>(n));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    EVP_DigestFinal_ex(context, digest, &digestLength);
    EVP_MD_CTX_free(context);
    if (n < 0)
        return std::nullopt;

    const QDateTime expires = m_options.manifestExpires.isValid()
                                  ? m_options.manifestExpires
                                  : QDateTime::currentDateTimeUtc().addDays(30);
    const QJsonObject manifest{
        {"file", m_options.manifestWrongFile ? "other_" + name : name},
        {"size", static_cast<double>(info.size())},
        {"sha256", QString::fromLatin1(
                       QByteArray(reinterpret_cast<const char*>(digest), digestLength).toHex())},
        {"version", m_options.manifestVersion},
        {"expires", expires.toUTC().toString(Qt::ISODate)},
    };
    entry.size = info.size();
    entry.modified = info.lastModified();
    entry.result.json = QJsonDocument(manifest).toJson(QJsonDocument::Compact);
    entry.result.signature = sign(entry.result.json).toBase64() + '\n';
    return entry.result;
}

QByteArray ManifestSigner::generateKeyPair(const QString& dir, QString* error) {
    EVP_PKEY* key = nullptr;
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
    const bool made =
        context && EVP_PKEY_keygen_init(context) == 1 && EVP_PKEY_keygen(context, &key) == 1;
    EVP_PKEY_CTX_free(context);
    if (!made) {
        *error = "cannot make an Ed25519 key";
        return {};
    }
    QByteArray publicKey(32, '\0');
    size_t length = 32;
    EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(publicKey.data()), &length);
    QDir().mkpath(dir);
    const QString privatePath = QDir(dir).filePath("package-key.pem");
    FILE* file = std::fopen(QFile::encodeName(privatePath).constData(), "wb");
    const bool written =
        file && PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (file)
        std::fclose(file);
    EVP_PKEY_free(key);
    QFile::setPermissions(privatePath, QFile::ReadOwner | QFile::WriteOwner);
    QFile pub(QDir(dir).filePath("package-key.pub"));
    const QByteArray encoded = publicKey.toBase64();
    if (!written || !pub.open(QIODevice::WriteOnly) || pub.write(encoded + '\n') < 0) {
        *error = "cannot write the key pair into " + dir;
        return {};
    }
    return encoded;
}
