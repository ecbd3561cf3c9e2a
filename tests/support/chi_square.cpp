#include "tests/support/chi_square.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <sstream>

namespace glintor::testing {

namespace {

// Regularised upper incomplete gamma function Q(a, x): the series for P when x < a + 1, the
// continued fraction (modified Lentz) for Q otherwise, each converging fast on its side.
double UpperIncompleteGamma(double a, double x) {
    if (x <= 0.0) {
        return 1.0;
    }
    const double logPrefix = -x + a * std::log(x) - std::lgamma(a);
    if (x < a + 1.0) {
        double term = 1.0 / a;
        double sum = term;
        for (int n = 1; n < 10000; ++n) {
            term *= x / (a + n);
            sum += term;
            if (std::fabs(term) < std::fabs(sum) * 1e-16) {
                break;
            }
        }
        return std::max(0.0, 1.0 - sum * std::exp(logPrefix));
    }
    constexpr double tiny = 1e-300;
    double b = x + 1.0 - a;
    double c = 1.0 / tiny;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i < 10000; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < tiny) {
            d = tiny;
        }
        c = b + an / c;
        if (std::fabs(c) < tiny) {
            c = tiny;
        }
        d = 1.0 / d;
        const double step = d * c;
        h *= step;
        if (std::fabs(step - 1.0) < 1e-16) {
            break;
        }
    }
    return std::exp(logPrefix) * h;
}

Vector3 Direction(double theta, double phi) {
    const double sinTheta = std::sin(theta);
    return {static_cast<float>(sinTheta * std::cos(phi)),
            static_cast<float>(sinTheta * std::sin(phi)), static_cast<float>(std::cos(theta))};
}

// Composite three-point Gauss-Legendre rule of density * sin(theta) over one cell of the grid.
// Its nodes lie strictly inside the cell, so a density that jumps on a cell border (a hemisphere
// cut off at the equator) is integrated as if it were smooth.
double IntegrateCell(const DirectionDensity& density, double theta0, double theta1, double phi0,
                     double phi1, int steps) {
    steps = std::max(1, steps);
    const double nodes[3] = {-std::sqrt(0.6), 0.0, std::sqrt(0.6)};
    const double weights[3] = {5.0 / 9.0, 8.0 / 9.0, 5.0 / 9.0};
    const double dTheta = (theta1 - theta0) / steps;
    const double dPhi = (phi1 - phi0) / steps;
    double sum = 0.0;
    for (int i = 0; i < steps; ++i) {
        for (int a = 0; a < 3; ++a) {
            const double theta = theta0 + dTheta * (i + 0.5 + 0.5 * nodes[a]);
            const double sinTheta = std::sin(theta);
            for (int j = 0; j < steps; ++j) {
                for (int b = 0; b < 3; ++b) {
                    const double phi = phi0 + dPhi * (j + 0.5 + 0.5 * nodes[b]);
                    sum += weights[a] * weights[b] * density(Direction(theta, phi)) * sinTheta;
                }
            }
        }
    }
    return sum * dTheta * dPhi / 4.0;
}

std::string Figures(const ChiSquareResult& result, double level) {
    std::ostringstream text;
    text << "chi-square " << result.statistic << " with " << result.degreesOfFreedom
         << " degrees of freedom, p-value " << result.pValue << " against level " << level;
    return text.str();
}

}  // namespace

double ChiSquarePValue(double statistic, int degreesOfFreedom) {
    if (degreesOfFreedom <= 0) {
        return 1.0;
    }
    return UpperIncompleteGamma(0.5 * degreesOfFreedom, 0.5 * statistic);
}

ChiSquareResult CountsChiSquare(const std::vector<double>& observed,
                                const std::vector<double>& expected,
                                const ChiSquareOptions& options) {
    ChiSquareResult result;
    if (observed.size() != expected.size() || observed.empty()) {
        result.message = "observed and expected histograms differ in size or are empty";
        return result;
    }
    std::vector<size_t> order(observed.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return expected[a] < expected[b]; });

    // Cells are pooled from the smallest expectation upwards until the pool itself is large
    // enough, so that no bin has the tiny expectation that breaks the chi-square approximation.
    double pooledObserved = 0.0;
    double pooledExpected = 0.0;
    double worstContribution = -1.0;
    size_t worstCell = 0;
    int bins = 0;
    for (size_t cell : order) {
        const double o = observed[cell];
        const double e = expected[cell];
        if (e <= 0.0) {
            if (o > 0.0) {
                std::ostringstream text;
                text << o << " samples fell into cell " << cell
                     << " where the density integrates to 0";
                result.message = text.str();
                return result;
            }
            continue;
        }
        if (e < options.minExpected ||
            (pooledExpected > 0.0 && pooledExpected < options.minExpected)) {
            pooledObserved += o;
            pooledExpected += e;
            continue;
        }
        const double contribution = (o - e) * (o - e) / e;
        if (contribution > worstContribution) {
            worstContribution = contribution;
            worstCell = cell;
        }
        result.statistic += contribution;
        ++bins;
    }
    if (pooledExpected > 0.0) {
        result.statistic +=
            (pooledObserved - pooledExpected) * (pooledObserved - pooledExpected) / pooledExpected;
        ++bins;
    }
    result.degreesOfFreedom = bins - 1;
    result.pValue = ChiSquarePValue(result.statistic, result.degreesOfFreedom);
    const double level =
        1.0 - std::pow(1.0 - options.significance, 1.0 / std::max(1, options.testCount));
    result.passed = result.pValue >= level;
    result.message = Figures(result, level);
    if (!result.passed && worstContribution >= 0.0) {
        std::ostringstream text;
        text << "; worst cell " << worstCell << " observed " << observed[worstCell] << ", expected "
             << expected[worstCell];
        result.message += text.str();
    }
    return result;
}

ChiSquareResult DirectionChiSquare(const DirectionSampler& sampler, const DirectionDensity& density,
                                   const ChiSquareOptions& options) {
    const int thetaBins = options.thetaBins;
    const int phiBins = options.phiBins;
    const double pi = std::numbers::pi;
    std::vector<double> observed(static_cast<size_t>(thetaBins) * phiBins, 0.0);

    RandomGenerator generator;
    generator.Seed(options.seed);
    for (int s = 0; s < options.sampleCount; ++s) {
        const std::optional<Vector3> sample = sampler(generator);
        if (!sample) {
            continue;
        }
        const Vector3 d = *sample;
        const float length = d.Length();
        if (!std::isfinite(length) || std::fabs(length - 1.0f) > 1e-3f) {
            std::ostringstream text;
            text << "sample " << s << " is not a unit direction: (" << d.x << ", " << d.y << ", "
                 << d.z << ")";
            return {false, 0.0, 0.0, 0, text.str()};
        }
        const double theta = std::acos(std::clamp(static_cast<double>(d.z) / length, -1.0, 1.0));
        double phi = std::atan2(static_cast<double>(d.y), static_cast<double>(d.x));
        if (phi < 0.0) {
            phi += 2.0 * pi;
        }
        const int i = std::min(static_cast<int>(theta / pi * thetaBins), thetaBins - 1);
        const int j = std::min(static_cast<int>(phi / (2.0 * pi) * phiBins), phiBins - 1);
        observed[static_cast<size_t>(i) * phiBins + j] += 1.0;
    }

    std::vector<double> expected(observed.size());
    for (int i = 0; i < thetaBins; ++i) {
        for (int j = 0; j < phiBins; ++j) {
            const double integral = IntegrateCell(
                density, pi * i / thetaBins, pi * (i + 1) / thetaBins, 2.0 * pi * j / phiBins,
                2.0 * pi * (j + 1) / phiBins, options.integrationSteps);
            expected[static_cast<size_t>(i) * phiBins + j] = integral * options.sampleCount;
        }
    }
    ChiSquareResult result = CountsChiSquare(observed, expected, options);
    result.message += " (cell k is theta bin k / " + std::to_string(phiBins) + ", phi bin k % " +
                      std::to_string(phiBins) + ")";
    return result;
}

}  // namespace glintor::testing
