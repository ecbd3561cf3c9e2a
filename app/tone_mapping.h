// The two live display values: gamma and a linear exposure scale. They start from the scene's
// film settings, change with the preview's keys and are reset by its reset key; whoever changes
// them must hand them to the film at once (its gamma table and scale follow these values).
#pragma once

#include <string>

namespace glintor {

struct ToneMapping {
    float gamma = 2.2f;
    float linearScale = 1.0f;

    void Reset(float sceneGamma, float sceneLinearScale) {
        gamma = sceneGamma;
        linearScale = sceneLinearScale;
    }
    // Steps of 0.1 and 0.05 with lower bounds of 0.1 and 0.05 and no upper bounds.
    void IncreaseGamma() { gamma += 0.1f; }
    void DecreaseGamma() {
        gamma -= 0.1f;
        if (gamma < 0.1f) {
            gamma = 0.1f;
        }
    }
    void IncreaseScale() { linearScale += 0.05f; }
    void DecreaseScale() {
        linearScale -= 0.05f;
        if (linearScale < 0.05f) {
            linearScale = 0.05f;
        }
    }

    // The preview's top overlay line: "Gamma: %2.1f Linear Scale: %2.2f".
    std::string ToneLine() const;
};

}  // namespace glintor
