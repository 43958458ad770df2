#include "meankinetic.h"

#include <cmath>
#include <limits>

double kineticTerm(double celsius)
{
    const double kelvin = celsius + CelsiusZero;
    return kelvin > 0 ? std::exp(-KineticActivation / kelvin) : std::numeric_limits<double>::quiet_NaN();
}

double meanKineticTemperature(double termSum, qint64 readings)
{
    if (readings <= 0)
        return std::numeric_limits<double>::quiet_NaN();
    return KineticActivation / -std::log(termSum / double(readings)) - CelsiusZero;
}
