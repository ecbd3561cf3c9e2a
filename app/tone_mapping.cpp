#include "app/tone_mapping.h"

#include <cstdio>

namespace glintor {

std::string ToneMapping::ToneLine() const {
    char text[64];
    std::snprintf(text, sizeof text, "Gamma: %2.1f Linear Scale: %2.2f", gamma, linearScale);
    return text;
}

}  // namespace glintor
