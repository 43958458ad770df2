#include "packedstamps.h"

#include <cstring>
#include <limits>

namespace {

struct Head {
    quint8 version, unused[3];
    qint32 records;
    qint64 first;
};
constexpr quint8 Version = 1;
constexpr quint8 Whole = 0xff; // a whole stamp of eight bytes follows

} // namespace

QByteArray PackedStamps::pack(const std::vector<qint64> &seconds)
{
    if (seconds.empty() || seconds.size() > size_t(std::numeric_limits<qint32>::max()))
        return QByteArray();
    const Head head{Version, {}, qint32(seconds.size()), seconds.front()};
    QByteArray bytes(reinterpret_cast<const char *>(&head), sizeof head);
    qint64 previous = seconds.front();
    for (qint64 stamp : seconds) {
        const quint64 step = quint64(stamp) - quint64(previous);
        if (step < Whole) {
            bytes.append(char(step));
        } else {
            bytes.append(char(Whole));
            bytes.append(reinterpret_cast<const char *>(&stamp), sizeof stamp);
        }
        previous = stamp;
    }
    return bytes;
}

bool PackedStamps::open(QByteArrayView bytes)
{
    Head head;
    if (bytes.size() < qsizetype(sizeof head)) {
        stamps.clear();
        return false;
    }
    memcpy(&head, bytes.data(), sizeof head);
    if (head.version != Version || head.records <= 0 || head.records > bytes.size()) {
        stamps.clear();
        return false;
    }
    // Blocks of one size follow each other: their stamps take the room of the last one's, unset.
    stamps.resize(size_t(head.records));
    const auto *at = reinterpret_cast<const uchar *>(bytes.data()) + sizeof head;
    const auto *end = reinterpret_cast<const uchar *>(bytes.data()) + bytes.size();
    qint64 previous = head.first;
    qint64 *stamp = stamps.data(), *const last = stamp + head.records;
    for (; at < end && stamp < last; ++stamp) {
        if (*at != Whole) {
            previous = qint64(quint64(previous) + *at++);
        } else {
            if (end - at < qsizetype(1 + sizeof previous))
                break;
            memcpy(&previous, at + 1, sizeof previous);
            at += 1 + sizeof previous;
        }
        *stamp = previous;
    }
    if (at != end || stamp != last) {
        stamps.clear();
        return false;
    }
    return true;
}
