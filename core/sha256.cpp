#include "sha256.h"

#include <openssl/evp.h>

Sha256::Sha256() : context(EVP_MD_CTX_new())
{
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(context);
}

void Sha256::addData(QByteArrayView data)
{
    EVP_DigestUpdate(context, data.data(), size_t(data.size()));
}

QByteArray Sha256::hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(context, digest, &size);
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    return QByteArray(reinterpret_cast<const char *>(digest), int(size)).toHex();
}
