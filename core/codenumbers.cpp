#include "codenumbers.h"

#include "meankinetic.h"

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
