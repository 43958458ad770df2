#include "contenthash.h"

#include <cstring>

namespace {

constexpr std::uint64_t Prime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t Prime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t Prime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t Prime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t Prime5 = 0x27D4EB2F165667C5ULL;

std::uint64_t rotl(std::uint64_t x, int r)
{
    return (x << r) | (x >> (64 - r));
}

std::uint64_t read64(const unsigned char *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8); // little-endian machines only, as the digest is kept
    return v;
}

std::uint32_t read32(const unsigned char *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::uint64_t round(std::uint64_t acc, std::uint64_t input)
{
    return rotl(acc + input * Prime2, 31) * Prime1;
}

std::uint64_t mergeRound(std::uint64_t acc, std::uint64_t lane)
{
    return (acc ^ round(0, lane)) * Prime1 + Prime4;
}

} // namespace

void ContentHash::stripe(const unsigned char *bytes)
{
    for (int i = 0; i < 4; ++i)
        lanes[i] = round(lanes[i], read64(bytes + 8 * i));
}

void ContentHash::addData(QByteArrayView data)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data.data());
    qsizetype size = data.size();
    total += std::uint64_t(size);
    if (pendingSize > 0) {
        const int take = int(qMin<qsizetype>(32 - pendingSize, size));
        std::memcpy(pending + pendingSize, p, size_t(take));
        pendingSize += take;
        p += take;
        size -= take;
        if (pendingSize < 32)
            return;
        stripe(pending);
        pendingSize = 0;
    }
    for (; size >= 32; p += 32, size -= 32)
        stripe(p);
    std::memcpy(pending, p, size_t(size));
    pendingSize = int(size);
}

QByteArray ContentHash::hex() const
{
    std::uint64_t h = total >= 32
        ? mergeRound(mergeRound(mergeRound(mergeRound(rotl(lanes[0], 1) + rotl(lanes[1], 7) + rotl(lanes[2], 12)
                                                          + rotl(lanes[3], 18),
                                                      lanes[0]),
                                           lanes[1]),
                                lanes[2]),
                     lanes[3])
        : lanes[2] + Prime5; // the seed (0) + Prime5
    h += total;
    const unsigned char *p = pending;
    int left = pendingSize;
    for (; left >= 8; p += 8, left -= 8)
        h = rotl(h ^ round(0, read64(p)), 27) * Prime1 + Prime4;
    if (left >= 4) {
        h = rotl(h ^ (std::uint64_t(read32(p)) * Prime1), 23) * Prime2 + Prime3;
        p += 4;
        left -= 4;
    }
    for (; left > 0; ++p, --left)
        h = rotl(h ^ (*p * Prime5), 11) * Prime1;
    h ^= h >> 33;
    h *= Prime2;
    h ^= h >> 29;
    h *= Prime3;
    h ^= h >> 32;
    return QByteArray::number(qulonglong(h), 16).rightJustified(16, '0');
}
