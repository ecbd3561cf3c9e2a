// Spectral power distributions: a function of wavelength (nm) sampled at equal steps and read
// with linear interpolation. Spectra exist only while the sun's colour is worked out at load;
// nothing spectral is left at render time.
#pragma once

#include <cstdint>
#include <vector>

#include "math/vector.h"

namespace glintor {

class SPD {
public:
    SPD() = default;
    virtual ~SPD() = default;

    // Linear interpolation between the two neighbouring samples; 0 outside [LambdaMin,
    // LambdaMax] and everywhere for a spectrum of fewer than two samples.
    float ValueAt(float lambda) const;

    // CIE XYZ: the spectrum read at every whole nanometre from 360 to 830 nm, weighed with the
    // 1931 2-degree matching functions, summed with a 1 nm step and scaled by 683.
    Vector3 ToXYZ() const;

    uint32_t Count = 0;
    float LambdaMin = 0.0f;  // wavelength of Values[0], nm
    float LambdaMax = 0.0f;  // wavelength of Values[Count - 1], nm
    float Step = 0.0f;       // (LambdaMax - LambdaMin) / (Count - 1)
    float InvStep = 0.0f;
    std::vector<float> Values;  // Values[i] lies at LambdaMin + i * Step

protected:
    void Initialise(float lambdaMin, float lambdaMax, const float* values, uint32_t count);
};

// Built from samples already at equal steps from lambdaMin to lambdaMax.
class RegularSPD : public SPD {
public:
    RegularSPD(float lambdaMin, float lambdaMax, const float* values, uint32_t count);
};

// Built from n (wavelength, value) pairs in increasing wavelength order, resampled by linear
// interpolation onto a 5 nm grid that starts at the first wavelength. The grid's last point may
// lie past the last wavelength; samples outside the pairs' range are 0.
class IrregularSPD : public SPD {
public:
    IrregularSPD(const float* wavelengths, const float* values, uint32_t n);
};

// CIE XYZ to linear RGB with the matrix the sun and the sky share (sRGB primaries, D65 white).
inline Vector3 XYZToRGB(const Vector3& xyz) {
    return {3.241f * xyz.x - 1.5374f * xyz.y - 0.4986f * xyz.z,
            -0.9692f * xyz.x + 1.876f * xyz.y + 0.0416f * xyz.z,
            0.0556f * xyz.x - 0.204f * xyz.y + 1.057f * xyz.z};
}

}  // namespace glintor
