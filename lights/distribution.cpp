#include "lights/distribution.h"

#include <algorithm>
#include <cmath>

namespace glintor {

namespace {

std::vector<float> RowIntegrals(const std::vector<PiecewiseConstant1D>& rows) {
    std::vector<float> integrals;
    integrals.reserve(rows.size());
    for (const PiecewiseConstant1D& row : rows) {
        integrals.push_back(row.Integral);
    }
    return integrals;
}

}  // namespace

PiecewiseConstant1D::PiecewiseConstant1D(const float* values, uint32_t count)
    : Func(std::max(count, 1u), 0.0f),
      Cdf(std::max(count, 1u) + 1, 0.0f),
      Count(std::max(count, 1u)) {
    for (uint32_t i = 0; i < count; ++i) {
        if (std::isfinite(values[i]) && values[i] > 0.0f) {
            Func[i] = values[i];
        }
    }
    InvCount = 1.0f / static_cast<float>(Count);
    for (uint32_t i = 1; i <= Count; ++i) {
        Cdf[i] = Cdf[i - 1] + Func[i - 1] * InvCount;
    }
    Integral = Cdf[Count];
    InvIntegral = 1.0f / Integral;
    if (Integral > 0.0f && std::isfinite(Integral) && std::isfinite(InvIntegral)) {
        for (uint32_t i = 1; i <= Count; ++i) {
            Cdf[i] /= Integral;
        }
        return;
    }
    Integral = 0.0f;
    InvIntegral = 0.0f;
    for (uint32_t i = 1; i <= Count; ++i) {
        Cdf[i] = static_cast<float>(i) * InvCount;
    }
    Cdf[Count] = 1.0f;
}

ContinuousSample PiecewiseConstant1D::SampleContinuous(float u) const {
    // Numbers outside [0, 1) are not expected; below 0 they would name no piece at all.
    u = std::max(u, 0.0f);
    // First entry with Cdf[k] >= u. At u = 0 (or below) that is entry 0, and the piece it names
    // may have zero width; the first entry above u then names the first piece that can be hit.
    auto k = std::lower_bound(Cdf.begin(), Cdf.end(), u);
    if (k == Cdf.begin()) {
        k = std::upper_bound(Cdf.begin(), Cdf.end(), u);
    }
    // u is below 1, so k is at most Count; the clamp only guards against u >= 1.
    const uint32_t offset = std::min(static_cast<uint32_t>(k - Cdf.begin()), Count) - 1;
    const float du = (u - Cdf[offset]) / (Cdf[offset + 1] - Cdf[offset]);
    ContinuousSample sample;
    sample.offset = offset;
    sample.pdf = Integral > 0.0f ? Func[offset] * InvIntegral : 1.0f;
    sample.x = (static_cast<float>(offset) + du) * InvCount;
    return sample;
}

PiecewiseConstant2D::PiecewiseConstant2D(const float* values, uint32_t nu, uint32_t nv)
    : Marginal(nullptr, 0) {
    if (nu == 0 || nv == 0) {
        Conditionals.emplace_back(nullptr, 0);
    } else {
        Conditionals.reserve(nv);
        for (uint32_t i = 0; i < nv; ++i) {
            Conditionals.emplace_back(values + static_cast<size_t>(i) * nu, nu);
        }
    }
    const std::vector<float> integrals = RowIntegrals(Conditionals);
    Marginal = PiecewiseConstant1D(integrals.data(), static_cast<uint32_t>(integrals.size()));
}

}  // namespace glintor
