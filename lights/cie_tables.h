// The CIE 1931 2-degree standard observer: the colour matching functions x-bar, y-bar and z-bar
// at every whole nanometre from 360 to 830 nm, against which spectra are reduced to XYZ.
#pragma once

#include <array>
#include <vector>

namespace glintor {

inline constexpr int CieLambdaMin = 360;
inline constexpr int CieLambdaMax = 830;
inline constexpr int CieSampleCount = CieLambdaMax - CieLambdaMin + 1;  // 471

struct CieMatchingFunctions {
    // Entry i belongs to the wavelength CieLambdaMin + i nm.
    std::array<float, CieSampleCount> x;
    std::array<float, CieSampleCount> y;
    std::array<float, CieSampleCount> z;
};

// Built once, on first use, from the CIE 5 nm table; read-only afterwards and safe to share
// between threads.
const CieMatchingFunctions& Cie1931();

// Sprague's fifth-degree interpolation of values tabulated at equal steps, refined to five
// sub-steps per step (5 nm to 1 nm): the result has 5 * (count - 1) + 1 entries and passes
// through every node exactly. Each interval is a quintic through the six nearest nodes; two extra
// nodes beyond each end are extrapolated with the CIE's coefficients. Polynomials up to the
// fourth degree are reproduced exactly away from the two end intervals on each side, straight
// lines everywhere. Needs at least six nodes; fewer give an empty result.
std::vector<double> SpragueInterpolate(const double* values, int count);

}  // namespace glintor
