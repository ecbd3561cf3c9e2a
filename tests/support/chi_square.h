// Pearson's chi-square test for direction samplers: draws directions, histograms them over a
// (theta, phi) grid of the whole sphere (theta from +z, phi from +x towards +y), integrates the
// sampler's claimed solid-angle density over every cell, pools the cells whose expected count is
// small, and compares. Used for every warp and BxDF sampler; seeded, so a result is repeatable.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "math/random.h"
#include "math/vector.h"

namespace glintor::testing {

// One draw: a unit direction, or nothing for a rejected sample (a sampler that reports pdf 0).
// Rejected samples count towards sampleCount, so the density must integrate to the accepted
// fraction.
using DirectionSampler = std::function<std::optional<Vector3>(RandomGenerator& generator)>;
// Density per unit solid angle that the sampler claims for a unit direction.
using DirectionDensity = std::function<double(const Vector3& direction)>;

struct ChiSquareOptions {
    int thetaBins = 10;
    int phiBins = 20;
    int sampleCount = 200000;
    uint32_t seed = RandomGenerator::DefaultSeed;
    // Rejection level of the whole family of tests; with testCount > 1 each single test uses the
    // Sidak-corrected level 1 - (1 - significance)^(1 / testCount).
    double significance = 0.01;
    int testCount = 1;
    // Cells expecting fewer samples than this are pooled into one bin.
    double minExpected = 5.0;
    // Sub-intervals per cell edge when integrating the density (three Gauss-Legendre nodes
    // each, all inside the cell, so densities may jump on cell borders).
    int integrationSteps = 8;
};

struct ChiSquareResult {
    bool passed = false;
    double pValue = 0.0;
    double statistic = 0.0;
    int degreesOfFreedom = 0;
    // Why the test failed, or the figures when it passed; meant for a gtest failure message.
    std::string message;
};

ChiSquareResult DirectionChiSquare(const DirectionSampler& sampler, const DirectionDensity& density,
                                   const ChiSquareOptions& options = {});

// The same test over any histogram: observed and expected counts per cell (same length).
// Samples in a cell expecting none fail the test outright.
ChiSquareResult CountsChiSquare(const std::vector<double>& observed,
                                const std::vector<double>& expected,
                                const ChiSquareOptions& options = {});

// Probability that a chi-square variable with the given degrees of freedom exceeds statistic.
double ChiSquarePValue(double statistic, int degreesOfFreedom);

}  // namespace glintor::testing
