#include "meankinetic.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

double computedTerm(double celsius)
{
    const double kelvin = celsius + CelsiusZero;
    return kelvin > 0 ? std::exp(-KineticActivation / kelvin) : std::numeric_limits<double>::quiet_NaN();
}

// A channel's readings take few values: each thread remembers the terms of
// the last ones it met, by their bits, sparing the exponential that took a
// third of the overview's build. An empty entry holds the bits of a NaN and
// its term, NaN, so that a thread's entries start without any computing.
struct KineticEntry {
    quint64 bits = ~quint64(0);
    double term = std::numeric_limits<double>::quiet_NaN();
};

constexpr int KineticEntries = 1024;

} // namespace

double kineticTerm(double celsius)
{
    thread_local KineticEntry entries[KineticEntries];
    quint64 bits;
    memcpy(&bits, &celsius, sizeof bits);
    KineticEntry &entry = entries[(bits * 0x9E3779B97F4A7C15ull) >> 54];
    if (entry.bits != bits)
        entry = {bits, computedTerm(celsius)};
    return entry.term;
}

double meanKineticTemperature(double termSum, qint64 readings)
{
    if (readings <= 0)
        return std::numeric_limits<double>::quiet_NaN();
    return KineticActivation / -std::log(termSum / double(readings)) - CelsiusZero;
}
