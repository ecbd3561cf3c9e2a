#include "math/float_trig.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace glintor {
namespace {

// A float has 24 bits, a double 53. The polynomials below are good to about 2^-50 of the value
// and the library to better than 2^-52, so when every double within 2^-40 of ours rounds to the
// one float, the library's double rounds to it too. When ours is too close to the halfway point
// between two floats for that (one value in 32,768), the library is asked: the answer is
// exact without trusting either error to the last bit.

// The samplers' angles lie within a turn or two. Up to this size every float angle has been
// checked against the library; larger ones go to the library.
constexpr double ReducibleLimit = 64.0;

// pi/2 as a 33-bit head and the rest: k times the head is exact for |k| <= 2^20, and x minus it
// is exact by Sterbenz's lemma, since x lies within a factor of two of it for every k != 0.
constexpr double PiOver2Head = 0x1.921fb544p+0;
constexpr double PiOver2Tail = 0x1.0b4611a626331p-34;
constexpr double TwoOverPi = 0x1.45f306dc9c883p-1;
// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51 to an integer.
constexpr double RoundingShift = 0x1.8p52;

// Taylor series on [-pi/4, pi/4], in powers of z = r^2 grouped in pairs (Estrin's scheme) so
// that the multiplications overlap instead of waiting on one another; the first omitted terms are
// below 2^-54 of the value.
double SinNearZero(double r) {
    const double z = r * r;
    const double z2 = z * z;
    const double p =
        (-1.0 / 6 + z * (1.0 / 120)) + z2 * (-1.0 / 5040 + z * (1.0 / 362880)) +
        z2 * z2 * ((-1.0 / 39916800 + z * (1.0 / 6227020800)) + z2 * (-1.0 / 1307674368000));
    return r + r * z * p;
}

double CosNearZero(double r) {
    const double z = r * r;
    const double z2 = z * z;
    const double p = (-1.0 / 2 + z * (1.0 / 24)) + z2 * (-1.0 / 720 + z * (1.0 / 40320)) +
                     z2 * z2 *
                         ((-1.0 / 3628800 + z * (1.0 / 479001600)) +
                          z2 * (-1.0 / 87178291200 + z * (1.0 / 20922789888000)));
    return 1.0 + z * p;
}

// True when every double within 2^-40 of y rounds to the same float as y. A double in the binade
// [2^e, 2^(e+1)) has steps of 2^(e-52), so 2^-40 of it is less than 2^13 steps: the patterns of
// the 29 bits that rounding to a float drops within 2^13 of the halfway point are in doubt.
// Results that would be subnormal floats, zero among them, are left to the library.
bool SafelyRounded(double y) {
    constexpr uint64_t Dropped = (uint64_t{1} << 29) - 1;
    constexpr uint64_t Halfway = uint64_t{1} << 28;
    constexpr uint64_t Doubt = uint64_t{1} << 13;
    const uint64_t dropped = std::bit_cast<uint64_t>(y) & Dropped;
    return std::fabs(y) >= 0x1p-126 && dropped - (Halfway - Doubt) >= 2 * Doubt;
}

}  // namespace

CosSin CosSinOf(float angle) {
    const double x = angle;
    if (!(std::fabs(x) <= ReducibleLimit)) {
        return {static_cast<float>(std::cos(x)), static_cast<float>(std::sin(x))};
    }
    const double k = (x * TwoOverPi + RoundingShift) - RoundingShift;
    const double r = (x - k * PiOver2Head) - k * PiOver2Tail;
    // Quadrant q turns (sin, cos) of r into those of x; a table instead of a switch, since q is
    // as random as the angle and a mispredicted branch would cost more than the polynomials.
    static constexpr double SineSign[4] = {1.0, 1.0, -1.0, -1.0};
    static constexpr double CosineSign[4] = {1.0, -1.0, -1.0, 1.0};
    const int q = static_cast<int>(k) & 3;
    const double values[2] = {SinNearZero(r), CosNearZero(r)};
    const double sine = SineSign[q] * values[q & 1];
    const double cosine = CosineSign[q] * values[(q & 1) ^ 1];
    return {static_cast<float>(SafelyRounded(cosine) ? cosine : std::cos(x)),
            static_cast<float>(SafelyRounded(sine) ? sine : std::sin(x))};
}

}  // namespace glintor
