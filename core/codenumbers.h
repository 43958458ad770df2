#ifndef CODENUMBERS_H
#define CODENUMBERS_H

#include "packedvalues.h"

#include <vector>

// Each code's number and kinetic term of a block's packed values, worked
// out once a block.
class CodeNumbers
{
public:
    struct Number {
        double value, kinetic;
    };
    explicit CodeNumbers(const PackedValues &values) : values(values) {}
    // Of a code below numberCodes().
    Number of(quint32 code)
    {
        if (code < known.size() && known[code].worked)
            return known[code].number;
        return work(code);
    }

private:
    Number work(quint32 code);

    struct Known {
        Number number;
        bool worked;
    };
    static constexpr quint32 CachedCodes = 1u << 16; // those of two bytes
    const PackedValues &values;
    std::vector<Known> known;
};

#endif
