#ifndef MEANKINETIC_H
#define MEANKINETIC_H

#include <QtGlobal>

// Mean kinetic temperature, every reading weighing the same, with
// ΔH/R = 10,000 K (ΔH = 83.144 kJ/mol, R = 8.3144 J/(mol·K)).
constexpr double KineticActivation = 10000.0; // ΔH/R, in kelvin
constexpr double CelsiusZero = 273.15;        // in kelvin

// exp(-ΔH/RT) of one reading in °C; NaN at or below absolute zero, which
// leaves the whole window without a mean kinetic temperature.
double kineticTerm(double celsius);
// In °C, from the sum of the readings' terms; NaN for no reading.
double meanKineticTemperature(double termSum, qint64 readings);

#endif
