#pragma once
// The two primitives that make a package authentic, from OpenSSL's libcrypto:
// Ed25519 signature checks and an incremental SHA-256.

#include <QByteArray>
#include <QString>
#include <optional>

namespace PackageCrypto {

// Standard padded base64 decoded strictly (an optional trailing newline is
// allowed); no value for any other text.
std::optional<QByteArray> decodeBase64(QByteArray text);

// The raw 32-byte Ed25519 public key in `base64`; no value when it is not one.
std::optional<QByteArray> decodePublicKey(const QString& base64);

// True when `signature` (64 bytes) is the Ed25519 signature of `message`
// under the raw 32-byte `publicKey`.
bool verifyEd25519(const QByteArray& publicKey, const QByteArray& message,
                   const QByteArray& signature);

} // namespace PackageCrypto

// SHA-256 of a stream of bytes fed in pieces.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void reset();
    void add(const char* data, qint64 size);
    // The 32-byte digest of everything added since the last reset.
    QByteArray result();

private:
    struct Context;
    Context* m_context;
};
