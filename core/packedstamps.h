#ifndef PACKEDSTAMPS_H
#define PACKEDSTAMPS_H

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

// The stamps of a block's records as naive seconds of the wall clock
// written, beside the block's packed values and in the same order: a byte a
// record for a step forward of less than 255 seconds, nine for any other.
// Kept only where every record of the block is stamped in the instrument's
// plain layout, so that the walk through a window reads a record's time and
// value without its row.
class PackedStamps
{
public:
    static QByteArray pack(const std::vector<qint64> &seconds);
    // False when the bytes are no packed stamps.
    bool open(QByteArrayView bytes);
    const std::vector<qint64> &seconds() const { return stamps; }

private:
    std::vector<qint64> stamps;
};

#endif
