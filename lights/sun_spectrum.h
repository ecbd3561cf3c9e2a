// The colour of direct sunlight after its way through the atmosphere, from the sun model of
// Preetham, Shirley and Smits ("A Practical Analytic Model for Daylight", 1999): the
// extraterrestrial solar spectrum attenuated by Rayleigh scattering, aerosols, ozone, mixed
// gases and water vapour along the sun's relative optical mass, reduced to linear RGB.
#pragma once

#include "lights/spd.h"
#include "math/vector.h"

namespace glintor {

// The share of sunlight at wavelength lambda (nm) that each process lets through along the sun's
// path at zenith angle sunTheta (radians) and the given atmospheric turbidity.
struct SunTransmittance {
    float rayleigh = 1.0f;
    float aerosol = 1.0f;
    float ozone = 1.0f;
    float gas = 1.0f;    // mixed gases
    float water = 1.0f;  // water vapour
};
SunTransmittance SunTransmittanceAt(float lambda, float sunTheta, float turbidity);

// The attenuated extraterrestrial spectrum at 350, 355, ..., 800 nm, scaled by 0.0005; meaningful
// only while the sun has not set (see below).
RegularSPD SunSpectrum(float sunTheta, float turbidity);

// Linear RGB of the attenuated solar spectrum (scaled by 0.0005 before its reduction to XYZ),
// for the sun at zenith angle sunTheta (radians) and the given atmospheric turbidity; the sun
// light divides it by 2 pi and applies its gain.
//
// The optical-mass formula has no real value once the sun is more than about 3.9 degrees below
// the horizon (sunTheta >= 1.6386); the sun has set there and the colour is black.
Vector3 SunSpectrumColor(float sunTheta, float turbidity);

}  // namespace glintor
