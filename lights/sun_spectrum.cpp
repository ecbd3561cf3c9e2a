#include "lights/sun_spectrum.h"

#include <cmath>
#include <cstdint>

#include "lights/spd.h"

namespace glintor {

namespace {

// The tables published with the daylight model; wavelengths in nm.

// Extraterrestrial solar spectral radiance at 380, 390, ..., 750 nm.
constexpr float SolarAmplitudes[] = {
    16559.0f, 16233.7f, 21127.5f, 25888.2f, 25829.1f, 24232.3f, 26760.5f, 29658.3f,
    30545.4f, 30057.5f, 30663.7f, 28830.4f, 28712.1f, 27825.0f, 27100.6f, 27233.6f,
    26361.3f, 25503.8f, 25060.2f, 25311.6f, 25355.9f, 25134.2f, 24631.5f, 24173.2f,
    23685.3f, 23212.1f, 22827.7f, 22339.8f, 21970.2f, 21526.7f, 21097.9f, 20728.3f,
    20240.4f, 19870.8f, 19427.2f, 19072.4f, 18628.9f, 18259.2f,
};

// Ozone absorption coefficients.
constexpr float OzoneWavelengths[] = {
    300, 305, 310, 315, 320, 325, 330, 335, 340, 345, 350, 355, 445, 450, 455, 460,
    465, 470, 475, 480, 485, 490, 495, 500, 505, 510, 515, 520, 525, 530, 535, 540,
    545, 550, 555, 560, 565, 570, 575, 580, 585, 590, 595, 600, 605, 610, 620, 630,
    640, 650, 660, 670, 680, 690, 700, 710, 720, 730, 740, 750, 760, 770, 780, 790,
};
constexpr float OzoneAbsorption[] = {
    10.0f,  4.8f,   2.7f,   1.35f,  0.8f,   0.38f,  0.16f,  0.075f, 0.04f,  0.019f, 0.007f,
    0.0f,   0.003f, 0.003f, 0.004f, 0.006f, 0.008f, 0.009f, 0.012f, 0.014f, 0.017f, 0.021f,
    0.025f, 0.03f,  0.035f, 0.04f,  0.045f, 0.048f, 0.057f, 0.063f, 0.07f,  0.075f, 0.08f,
    0.085f, 0.095f, 0.103f, 0.11f,  0.12f,  0.122f, 0.12f,  0.118f, 0.115f, 0.12f,  0.125f,
    0.13f,  0.12f,  0.105f, 0.09f,  0.079f, 0.067f, 0.057f, 0.048f, 0.036f, 0.028f, 0.023f,
    0.018f, 0.014f, 0.011f, 0.01f,  0.009f, 0.007f, 0.004f, 0.0f,   0.0f,
};

// Mixed-gas absorption coefficients.
constexpr float GasWavelengths[] = {759, 760, 770, 771};
constexpr float GasAbsorption[] = {0.0f, 3.0f, 0.21f, 0.0f};

// Water-vapour absorption coefficients.
constexpr float WaterWavelengths[] = {689, 690, 700, 710, 720, 730, 740,
                                      750, 760, 770, 780, 790, 800};
constexpr float WaterAbsorption[] = {0.0f,   0.016f,   0.024f,   0.0125f, 1.0f,    0.87f, 0.061f,
                                     0.001f, 0.00001f, 0.00001f, 0.0006f, 0.0175f, 0.036f};

template <typename T, uint32_t N>
constexpr uint32_t CountOf(const T (&)[N]) {
    return N;
}

static_assert(CountOf(SolarAmplitudes) == 38);
static_assert(CountOf(OzoneWavelengths) == 64 && CountOf(OzoneAbsorption) == 64);
static_assert(CountOf(WaterWavelengths) == 13 && CountOf(WaterAbsorption) == 13);

constexpr uint32_t SpectrumCount = 91;  // 350, 355, ..., 800 nm

// The absorption tables resampled once; read-only afterwards, so every caller may share them.
struct AbsorptionTables {
    IrregularSPD ozone{OzoneWavelengths, OzoneAbsorption, CountOf(OzoneWavelengths)};
    IrregularSPD gas{GasWavelengths, GasAbsorption, CountOf(GasWavelengths)};
    IrregularSPD water{WaterWavelengths, WaterAbsorption, CountOf(WaterWavelengths)};
};

const AbsorptionTables& Absorption() {
    static const AbsorptionTables tables;
    return tables;
}

}  // namespace

SunTransmittance SunTransmittanceAt(float lambda, float sunTheta, float turbidity) {
    const AbsorptionTables& tables = Absorption();
    const float beta = 0.04608366f * turbidity - 0.04586026f;
    const float mass =
        1.0f / (std::cos(sunTheta) + 0.00094f * std::pow(1.6386f - sunTheta, -1.253f));
    const float micrometres = lambda / 1000.0f;
    const float kg = tables.gas.ValueAt(lambda);
    const float kw = tables.water.ValueAt(lambda);
    SunTransmittance t;
    t.rayleigh = std::exp(-mass * 0.008735f * std::pow(micrometres, -4.08f));
    t.aerosol = std::exp(-mass * beta * std::pow(micrometres, -1.3f));
    t.ozone = std::exp(-mass * tables.ozone.ValueAt(lambda) * 0.35f);
    t.gas = std::exp(-1.41f * kg * mass / std::pow(1.0f + 118.93f * kg * mass, 0.45f));
    t.water = std::exp(-0.477f * kw * mass / std::pow(1.0f + 40.14f * kw * mass, 0.45f));
    return t;
}

RegularSPD SunSpectrum(float sunTheta, float turbidity) {
    const RegularSPD solar(380.0f, 750.0f, SolarAmplitudes, CountOf(SolarAmplitudes));
    float radiance[SpectrumCount];
    for (uint32_t i = 0; i < SpectrumCount; ++i) {
        const float lambda = 350.0f + 5.0f * static_cast<float>(i);
        const SunTransmittance t = SunTransmittanceAt(lambda, sunTheta, turbidity);
        radiance[i] = solar.ValueAt(lambda) * t.rayleigh * t.aerosol * t.ozone * t.gas * t.water;
    }
    RegularSPD spectrum(350.0f, 800.0f, radiance, SpectrumCount);
    for (float& value : spectrum.Values) {
        value *= 0.0005f;
    }
    return spectrum;
}

Vector3 SunSpectrumColor(float sunTheta, float turbidity) {
    if (!(1.6386f - sunTheta > 0.0f)) {
        return {};
    }
    return XYZToRGB(SunSpectrum(sunTheta, turbidity).ToXYZ());
}

}  // namespace glintor
