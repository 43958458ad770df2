#ifndef SHA256_H
#define SHA256_H

#include <QByteArray>
#include <QByteArrayView>

struct evp_md_ctx_st;

// SHA-256 of a stream of bytes, fed in pieces of any size, through the
// system's libcrypto: it uses the processor's SHA instructions where there
// are any, several times quicker than QCryptographicHash, so that digesting
// every imported file and every record of a year stays cheap.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void addData(QByteArrayView data);
    // The digest as 64 hex digits; the hash then starts again.
    QByteArray hex();

private:
    evp_md_ctx_st *context;
};

#endif
