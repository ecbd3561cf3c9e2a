#include "lights/spd.h"

#include <algorithm>
#include <cmath>

#include "lights/cie_tables.h"

namespace glintor {

void SPD::Initialise(float lambdaMin, float lambdaMax, const float* values, uint32_t count) {
    Count = count;
    LambdaMin = lambdaMin;
    LambdaMax = lambdaMax;
    Values.assign(values, values + count);
    // One sample, or a zero-width range, has no step; a zero InvStep keeps ValueAt away from the
    // division by zero (it reads the first sample, or answers 0 for a single sample).
    Step = count > 1 ? (lambdaMax - lambdaMin) / static_cast<float>(count - 1) : 0.0f;
    InvStep = Step != 0.0f ? 1.0f / Step : 0.0f;
}

float SPD::ValueAt(float lambda) const {
    if (Count < 2 || lambda < LambdaMin || lambda > LambdaMax) {
        return 0.0f;
    }
    const float x = (lambda - LambdaMin) * InvStep;
    // Rounding can carry x a hair past the last index at LambdaMax; min keeps i inside.
    const uint32_t i = x > 0.0f ? std::min(static_cast<uint32_t>(x), Count - 1) : 0u;
    const float f = x - static_cast<float>(i);
    return (1.0f - f) * Values[i] + f * Values[std::min(i + 1, Count - 1)];
}

Vector3 SPD::ToXYZ() const {
    const CieMatchingFunctions& cie = Cie1931();
    Vector3 xyz;
    for (int i = 0; i < CieSampleCount; ++i) {
        const float s = ValueAt(static_cast<float>(CieLambdaMin + i));
        xyz.x += cie.x[i] * s;
        xyz.y += cie.y[i] * s;
        xyz.z += cie.z[i] * s;
    }
    return xyz * 683.0f;
}

RegularSPD::RegularSPD(float lambdaMin, float lambdaMax, const float* values, uint32_t count) {
    Initialise(lambdaMin, lambdaMax, values, count);
}

IrregularSPD::IrregularSPD(const float* wavelengths, const float* values, uint32_t n) {
    if (n == 0) {
        return;  // nothing to resample: the empty spectrum, 0 everywhere
    }
    const float first = wavelengths[0];
    const float last = wavelengths[n - 1];
    const uint32_t m = last > first ? static_cast<uint32_t>(std::ceil((last - first) * 0.2f)) : 0;
    std::vector<float> samples(m + 1, 0.0f);
    uint32_t k = 0;
    for (uint32_t j = 0; j <= m; ++j) {
        const float lambda = first + 5.0f * static_cast<float>(j);
        if (lambda < first || lambda > last) {
            continue;
        }
        // The grid only moves upward, so the search goes on from where the last one stopped.
        while (wavelengths[k] < lambda) {
            ++k;
        }
        if (wavelengths[k] == lambda) {
            samples[j] = values[k];
        } else {
            const float t = (lambda - wavelengths[k - 1]) / (wavelengths[k] - wavelengths[k - 1]);
            samples[j] = values[k - 1] + t * (values[k] - values[k - 1]);
        }
    }
    Initialise(first, first + 5.0f * static_cast<float>(m), samples.data(), m + 1);
}

}  // namespace glintor
