#include "packedrecords.h"

#include "meankinetic.h"

// A packed value's kind is a point's of the same name.
static_assert(int(PackedValues::Kind::Number) == ExcursionPoint::Number && int(PackedValues::Kind::High) == ExcursionPoint::High
              && int(PackedValues::Kind::Low) == ExcursionPoint::Low
              && int(PackedValues::Kind::Unreadable) == ExcursionPoint::Unreadable);

CodeNumbers::Number CodeNumbers::work(quint32 code)
{
    if (code >= CachedCodes) {
        const double number = values.numberOf(code);
        return {number, kineticTerm(number)};
    }
    if (code >= known.size())
        known.resize(code + 1, Known{{0, 0}, false});
    Known &k = known[code];
    if (!k.worked) {
        k.number.value = values.numberOf(code);
        k.number.kinetic = kineticTerm(k.number.value);
        k.worked = true;
    }
    return k.number;
}

ExcursionPoint PackedRecords::pointAt(qint64 i) const
{
    ExcursionPoint point;
    point.time = seconds[i];
    point.rowid = rowidAt(i);
    point.kind = ExcursionPoint::Kind(int(values->kindAt(i, &point.value)));
    return point;
}
