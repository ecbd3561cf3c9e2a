#include "lights/cie_tables.h"

#include <algorithm>

namespace glintor {

namespace {

constexpr int NodeCount = 95;  // 360, 365, ..., 830 nm

// The CIE 1931 2-degree colour matching functions as published by the CIE at 5 nm steps. The
// 1 nm functions that spectra are weighed with are interpolated from these nodes.
constexpr double XBar5nm[NodeCount] = {
    0.0001299,      0.0002321,      0.0004149,      0.0007416,      0.001368,       0.002236,
    0.004243,       0.00765,        0.01431,        0.02319,        0.04351,        0.07763,
    0.13438,        0.21477,        0.2839,         0.3285,         0.34828,        0.34806,
    0.3362,         0.3187,         0.2908,         0.2511,         0.19536,        0.1421,
    0.09564,        0.05795001,     0.03201,        0.0147,         0.0049,         0.0024,
    0.0093,         0.0291,         0.06327,        0.1096,         0.1655,         0.2257499,
    0.2904,         0.3597,         0.4334499,      0.5120501,      0.5945,         0.6784,
    0.7621,         0.8425,         0.9163,         0.9786,         1.0263,         1.0567,
    1.0622,         1.0456,         1.0026,         0.9384,         0.8544499,      0.7514,
    0.6424,         0.5419,         0.4479,         0.3608,         0.2835,         0.2187,
    0.1649,         0.1212,         0.0874,         0.0636,         0.04677,        0.0329,
    0.0227,         0.01584,        0.01135916,     0.008110916,    0.005790346,    0.004109457,
    0.002899327,    0.00204919,     0.001439971,    0.0009999493,   0.0006900786,   0.0004760213,
    0.0003323011,   0.0002348261,   0.0001661505,   0.000117413,    0.00008307527,  0.00005870652,
    0.00004150994,  0.00002935326,  0.00002067383,  0.00001455977,  0.00001025398,  0.000007221456,
    0.000005085868, 0.000003581652, 0.000002522525, 0.000001776509, 0.000001251141,
};

constexpr double YBar5nm[NodeCount] = {
    0.000003917,  0.000006965,  0.00001239,    0.00002202,    0.000039,      0.000064,
    0.00012,      0.000217,     0.000396,      0.00064,       0.00121,       0.00218,
    0.004,        0.0073,       0.0116,        0.01684,       0.023,         0.0298,
    0.038,        0.048,        0.06,          0.0739,        0.09098,       0.1126,
    0.13902,      0.1693,       0.20802,       0.2586,        0.323,         0.4073,
    0.503,        0.6082,       0.71,          0.7932,        0.862,         0.9148501,
    0.954,        0.9803,       0.9949501,     1.0,           0.995,         0.9786,
    0.952,        0.9154,       0.87,          0.8163,        0.757,         0.6949,
    0.631,        0.5668,       0.503,         0.4412,        0.381,         0.321,
    0.265,        0.217,        0.175,         0.1382,        0.107,         0.0816,
    0.061,        0.04458,      0.032,         0.0232,        0.017,         0.01192,
    0.00821,      0.005723,     0.004102,      0.002929,      0.002091,      0.001484,
    0.001047,     0.00074,      0.00052,       0.0003611,     0.0002492,     0.0001719,
    0.00012,      0.0000848,    0.00006,       0.0000424,     0.00003,       0.0000212,
    0.00001499,   0.0000106,    0.0000074657,  0.0000052578,  0.0000037029,  0.0000026078,
    0.0000018366, 0.0000012934, 0.00000091093, 0.00000064153, 0.00000045181,
};

constexpr double ZBar5nm[NodeCount] = {
    0.0006061, 0.001086,   0.001946,    0.003486,    0.006450001, 0.01054999,    0.02005001,
    0.03621,   0.06785001, 0.1102,      0.2074,      0.3713,      0.6456,        1.0390501,
    1.3856,    1.62296,    1.74706,     1.7826,      1.77211,     1.7441,        1.6692,
    1.5281,    1.28764,    1.0419,      0.8129501,   0.6162,      0.46518,       0.3533,
    0.272,     0.2123,     0.1582,      0.1117,      0.07824999,  0.05725001,    0.04216,
    0.02984,   0.0203,     0.0134,      0.008749999, 0.005749999, 0.0039,        0.002749999,
    0.0021,    0.0018,     0.001650001, 0.0014,      0.0011,      0.001,         0.0008,
    0.0006,    0.00034,    0.00024,     0.00019,     0.0001,      0.00004999999, 0.00003,
    0.00002,   0.00001,    0.0,         0.0,         0.0,         0.0,           0.0,
    0.0,       0.0,        0.0,         0.0,         0.0,         0.0,           0.0,
    0.0,       0.0,        0.0,         0.0,         0.0,         0.0,           0.0,
    0.0,       0.0,        0.0,         0.0,         0.0,         0.0,           0.0,
    0.0,       0.0,        0.0,         0.0,         0.0,         0.0,           0.0,
    0.0,       0.0,        0.0,         0.0,
};

void Refine(const double* nodes, std::array<float, CieSampleCount>& out) {
    const std::vector<double> fine = SpragueInterpolate(nodes, NodeCount);
    for (int i = 0; i < CieSampleCount; ++i) {
        // The fifth-degree curve dips a hair below zero where z-bar drops to zero at 650 nm; a
        // matching function is never negative, so those ripples are cut off.
        out[i] = static_cast<float>(std::max(0.0, fine[i]));
    }
}

}  // namespace

std::vector<double> SpragueInterpolate(const double* values, int count) {
    constexpr int Steps = 5;
    if (count < 6) {
        return {};
    }
    // Two nodes before the first and two after the last, extrapolated with the coefficients the
    // CIE recommends for Sprague interpolation (CIE 167), then the table itself in between.
    const double* f = values;
    const double* b = values + count - 6;
    std::vector<double> g(count + 4);
    g[0] = (884 * f[0] - 1960 * f[1] + 3033 * f[2] - 2648 * f[3] + 1080 * f[4] - 180 * f[5]) / 209;
    g[1] = (508 * f[0] - 540 * f[1] + 488 * f[2] - 367 * f[3] + 144 * f[4] - 24 * f[5]) / 209;
    std::copy(values, values + count, g.begin() + 2);
    g[count + 2] =
        (-24 * b[0] + 144 * b[1] - 367 * b[2] + 488 * b[3] - 540 * b[4] + 508 * b[5]) / 209;
    g[count + 3] =
        (-180 * b[0] + 1080 * b[1] - 2648 * b[2] + 3033 * b[3] - 1960 * b[4] + 884 * b[5]) / 209;

    std::vector<double> out;
    out.reserve(Steps * (count - 1) + 1);
    for (int i = 0; i + 1 < count; ++i) {
        // The quintic through the six nodes around the interval [values[i], values[i + 1]].
        const double* p = &g[i];
        const double a0 = p[2];
        const double a1 = (2 * p[0] - 16 * p[1] + 16 * p[3] - 2 * p[4]) / 24;
        const double a2 = (-p[0] + 16 * p[1] - 30 * p[2] + 16 * p[3] - p[4]) / 24;
        const double a3 =
            (-9 * p[0] + 39 * p[1] - 70 * p[2] + 66 * p[3] - 33 * p[4] + 7 * p[5]) / 24;
        const double a4 =
            (13 * p[0] - 64 * p[1] + 126 * p[2] - 124 * p[3] + 61 * p[4] - 12 * p[5]) / 24;
        const double a5 =
            (-5 * p[0] + 25 * p[1] - 50 * p[2] + 50 * p[3] - 25 * p[4] + 5 * p[5]) / 24;
        out.push_back(a0);  // the node itself, exactly
        for (int k = 1; k < Steps; ++k) {
            const double t = static_cast<double>(k) / Steps;
            out.push_back(a0 + t * (a1 + t * (a2 + t * (a3 + t * (a4 + t * a5)))));
        }
    }
    out.push_back(values[count - 1]);
    return out;
}

const CieMatchingFunctions& Cie1931() {
    static const CieMatchingFunctions tables = [] {
        CieMatchingFunctions t;
        Refine(XBar5nm, t.x);
        Refine(YBar5nm, t.y);
        Refine(ZBar5nm, t.z);
        return t;
    }();
    return tables;
}

}  // namespace glintor
