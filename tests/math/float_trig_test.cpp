#include "math/float_trig.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

namespace glintor {
namespace {

// The library's answer, which the samplers gave before and which images are compared against.
CosSin Reference(float angle) {
    return {static_cast<float>(std::cos(static_cast<double>(angle))),
            static_cast<float>(std::sin(static_cast<double>(angle)))};
}

// Bit patterns, so that -0 against +0 and one NaN against another are told apart or matched as
// they should be.
int CountDifferences(const std::vector<float>& angles) {
    int differences = 0;
    for (float angle : angles) {
        const CosSin fast = CosSinOf(angle);
        const CosSin reference = Reference(angle);
        const bool same =
            std::bit_cast<uint32_t>(fast.cosine) == std::bit_cast<uint32_t>(reference.cosine) &&
            std::bit_cast<uint32_t>(fast.sine) == std::bit_cast<uint32_t>(reference.sine);
        if (!same && ++differences <= 5) {
            ADD_FAILURE() << "angle " << std::hexfloat << angle << ": cos " << fast.cosine
                          << " sin " << fast.sine << ", library cos " << reference.cosine << " sin "
                          << reference.sine;
        }
    }
    return differences;
}

TEST(CosSinOf, MatchesTheLibraryBitForBit) {
    std::vector<float> angles;
    // A spread over every binade up to 64 on both sides, zero and subnormals included: every
    // 997th float.
    const uint32_t limit = std::bit_cast<uint32_t>(64.0f);
    for (uint32_t bits = 0; bits <= limit; bits += 997) {
        angles.push_back(std::bit_cast<float>(bits));
        angles.push_back(-std::bit_cast<float>(bits));
    }
    // Next to multiples of pi/4, where the quadrant changes and one of the two values is tiny.
    for (int k = -81; k <= 81; ++k) {
        const float centre = static_cast<float>(k * std::numbers::pi / 4);
        float below = centre;
        float above = centre;
        for (int i = 0; i < 2000; ++i) {
            angles.push_back(below = std::nextafter(below, -1000.0f));
            angles.push_back(above = std::nextafter(above, 1000.0f));
        }
    }
    // The ends of the fast range, and what only the library handles.
    const float inf = std::numeric_limits<float>::infinity();
    for (float angle : {0.0f, -0.0f, std::numeric_limits<float>::denorm_min(), 64.0f, -64.0f,
                        std::nextafter(64.0f, inf), 1e4f, -3e7f, 1e38f, inf, -inf}) {
        angles.push_back(angle);
    }
    EXPECT_EQ(CountDifferences(angles), 0) << "of " << angles.size() << " angles";

    const CosSin nan = CosSinOf(std::numeric_limits<float>::quiet_NaN());
    EXPECT_TRUE(std::isnan(nan.cosine) && std::isnan(nan.sine));
}

}  // namespace
}  // namespace glintor
