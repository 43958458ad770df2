#ifndef CONTENTHASH_H
#define CONTENTHASH_H

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

// XXH64 of a stream of bytes, fed in pieces of any size: tells a record
// file's content from another's at many gigabytes a second, so that hashing
// every file as it is imported costs next to nothing.
class ContentHash
{
public:
    void addData(QByteArrayView data);
    // The digest as 16 hex digits; the hash may go on taking data.
    QByteArray hex() const;

private:
    void stripe(const unsigned char *bytes);

    std::uint64_t lanes[4] = {0x9E3779B185EBCA87ULL + 0xC2B2AE3D27D4EB4FULL, 0xC2B2AE3D27D4EB4FULL, 0,
                              0 - 0x9E3779B185EBCA87ULL};
    unsigned char pending[32];
    int pendingSize = 0;
    std::uint64_t total = 0;
};

#endif
