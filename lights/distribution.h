// Piecewise-constant distributions over [0, 1] and [0, 1]^2, for sampling a picture in
// proportion to its brightness (the environment light's importance sampling).
//
// Degenerate input is given a usable distribution rather than a division by zero:
//  - entries that are negative or not finite cannot be densities and are stored as 0;
//  - a function with no positive integral (all zero, or too small or too large to normalise in
//    float) is sampled uniformly; its Integral is 0, so that a 2D marginal never picks such a row
//    while any other row has weight, and the pdf reported is 1, the density actually used;
//  - an empty function is treated as one zero entry.
#pragma once

#include <cstdint>
#include <vector>

namespace glintor {

struct ContinuousSample {
    float x = 0.0f;       // in [0, 1]
    float pdf = 0.0f;     // density of x over [0, 1]
    uint32_t offset = 0;  // index of the piece x lies in
};

struct PiecewiseConstant1D {
    PiecewiseConstant1D(const float* values, uint32_t count);

    // u in [0, 1). Never picks a piece of zero probability, so pdf > 0 and x is finite.
    ContinuousSample SampleContinuous(float u) const;

    std::vector<float> Func;  // the function values, Count of them
    std::vector<float> Cdf;   // Count + 1 entries, Cdf[0] = 0, Cdf[Count] = 1
    float Integral = 0.0f;    // integral over [0, 1]: sum of Func / Count
    float InvIntegral = 0.0f;
    float InvCount = 0.0f;
    uint32_t Count = 0;
};

struct PiecewiseConstant2D {
    // nv rows of nu values each, row after row. Either count 0 gives a single zero cell.
    PiecewiseConstant2D(const float* values, uint32_t nu, uint32_t nv);

    std::vector<PiecewiseConstant1D> Conditionals;  // one per row, over the row's values
    PiecewiseConstant1D Marginal;                   // over the rows' integrals
};

}  // namespace glintor
