// Cosine and sine of a float angle for the samplers, which call them on every bounce.
#pragma once

namespace glintor {

struct CosSin {
    float cosine;
    float sine;
};

// Exactly static_cast<float>(std::cos(double(angle))) and the same for the sine, bit for bit:
// images are compared byte for byte, so a faster sine may not move a single sample. Angles of at
// most 64 in size take a short polynomial path; the library gives everything else.
CosSin CosSinOf(float angle);

}  // namespace glintor
