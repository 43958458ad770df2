#include "packedrecords.h"

// A packed value's kind is a point's of the same name.
static_assert(int(PackedValues::Kind::Number) == ExcursionPoint::Number && int(PackedValues::Kind::High) == ExcursionPoint::High
              && int(PackedValues::Kind::Low) == ExcursionPoint::Low
              && int(PackedValues::Kind::Unreadable) == ExcursionPoint::Unreadable);

ExcursionPoint PackedRecords::pointAt(qint64 i) const
{
    ExcursionPoint point;
    point.time = seconds[i];
    point.rowid = rowidAt(i);
    point.kind = ExcursionPoint::Kind(int(values->kindAt(i, &point.value)));
    return point;
}
