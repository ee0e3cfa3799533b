#pragma once
// Makes the signed manifest of each package the devserver serves: the
// "<name>.json" (file, size, sha256, version, expires) and its Ed25519
// signature "<name>.json.sig" in padded base64 with a newline. Each file's
// pair is computed once and kept until the file changes.

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <memory>
#include <optional>

struct ServerOptions;

class ManifestSigner {
public:
    struct Signed {
        QByteArray json;
        QByteArray signature;
    };

    // Reads the PEM private key at options.signKey; check isValid().
    explicit ManifestSigner(const ServerOptions& options);
    ~ManifestSigner();

    bool isValid() const { return m_key != nullptr; }
    const QString& error() const { return m_error; }

    // The manifest and signature of the package at `path`, served as `name`.
    std::optional<Signed> manifestFor(const QString& path, const QString& name);

    // Writes a new key pair into `dir`: package-key.pem (private, PKCS#8 PEM)
    // and package-key.pub (base64 of the raw 32-byte public key). Returns the
    // public key's base64, or an empty text with the reason in `error`.
    static QByteArray generateKeyPair(const QString& dir, QString* error);

private:
    struct Entry {
        qint64 size = -1;
        QDateTime modified;
        Signed result;
    };
    QByteArray sign(const QByteArray& message) const;

    const ServerOptions& m_options;
    struct KeyFree {
        void operator()(void* key) const;
    };
    std::unique_ptr<void, KeyFree> m_key;
    QString m_error;
    QHash<QString, Entry> m_cache;
};
