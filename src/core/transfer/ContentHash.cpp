#include "core/transfer/ContentHash.h"
#include "core/transfer/InetTypes.h"

#ifdef Q_OS_WIN

ContentHash::ContentHash(QCryptographicHash::Algorithm algorithm) : hash_(algorithm) {}
ContentHash::~ContentHash() = default;
void ContentHash::Add(const char* data, qint64 size) { hash_.addData(QByteArrayView(data, size)); }
QByteArray ContentHash::Result() { return hash_.result().toHex(); }

#else
#include <openssl/evp.h>

namespace {

const EVP_MD* Digest(QCryptographicHash::Algorithm algorithm)
{
    switch (algorithm) {
    case QCryptographicHash::Sha512: return EVP_sha512();
    case QCryptographicHash::Sha1: return EVP_sha1();
    case QCryptographicHash::Md5: return EVP_md5();
    default: return EVP_sha256();
    }
}

}  // namespace

ContentHash::ContentHash(QCryptographicHash::Algorithm algorithm) : context_(EVP_MD_CTX_new())
{
    if (!context_ || !EVP_DigestInit_ex(context_, Digest(algorithm), nullptr)) {
        EVP_MD_CTX_free(context_);
        throw InetError("calcolo dell'impronta del file non disponibile");
    }
}

ContentHash::~ContentHash()
{
    EVP_MD_CTX_free(context_);
}

void ContentHash::Add(const char* data, qint64 size)
{
    EVP_DigestUpdate(context_, data, size_t(size));
}

QByteArray ContentHash::Result()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_, digest, &length);
    return QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex();
}

#endif
