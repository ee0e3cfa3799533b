#include "install/PackageCrypto.h"

#include <openssl/evp.h>

namespace PackageCrypto {

std::optional<QByteArray> decodeBase64(QByteArray text) {
    if (text.endsWith('\n'))
        text.chop(1);
    if (text.isEmpty() || text.size() % 4 != 0)
        return std::nullopt;
    const auto decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    // Qt accepts a few forms that are not the canonical encoding; the round trip refuses them.
    if (decoded.decoded.toBase64() != text)
        return std::nullopt;
    return decoded.decoded;
}

std::optional<QByteArray> decodePublicKey(const QString& base64) {
    const auto key = decodeBase64(base64.trimmed().toLatin1());
    if (!key || key->size() != 32)
        return std::nullopt;
    return key;
}

bool verifyEd25519(const QByteArray& publicKey, const QByteArray& message,
                   const QByteArray& signature) {
    if (publicKey.size() != 32 || signature.size() != 64)
        return false;
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.constData()),
        static_cast<size_t>(publicKey.size()));
    if (!key)
        return false;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool ok =
        context && EVP_DigestVerifyInit(context, nullptr, nullptr, nullptr, key) == 1 &&
        EVP_DigestVerify(context, reinterpret_cast<const unsigned char*>(signature.constData()),
                         static_cast<size_t>(signature.size()),
                         reinterpret_cast<const unsigned char*>(message.constData()),
                         static_cast<size_t>(message.size())) == 1;
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(key);
    return ok;
}

} // namespace PackageCrypto

struct Sha256::Context {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
};

Sha256::Sha256()
    : m_context(new Context) {
    reset();
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(m_context->md);
    delete m_context;
}

void Sha256::reset() {
    EVP_DigestInit_ex(m_context->md, EVP_sha256(), nullptr);
}

void Sha256::add(const char* data, qint64 size) {
    if (size > 0)
        EVP_DigestUpdate(m_context->md, data, static_cast<size_t>(size));
}

QByteArray Sha256::result() {
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context->md, reinterpret_cast<unsigned char*>(digest.data()), &length);
    digest.resize(length);
    reset();
    return digest;
}
