// What the preview window and the headless run share once rendering has started: the scene and
// film, the live tone mapping, and the one way of saving the picture and logging the statistics.
#pragma once

#include <string>

#include "app/status_line.h"
#include "app/tone_mapping.h"

namespace glintor {

class Film;
struct RenderJob;
struct Scene;

struct RenderSession {
    Scene* scene = nullptr;
    Film* film = nullptr;
    RenderJob* job = nullptr;
    ToneMapping tone;
    std::string title;
    int threadCount = 1;

    // Tone mapping back to the scene's film settings, and the film's table and scale with it.
    void ResetTone();
    // Hands the current tone mapping to the film.
    void ApplyTone();

    StatusFigures Figures() const;
    const std::string& ImageName() const;
    // Saves under the scene's image name with the current tone mapping.
    bool SaveImage() const;
    // Appends the statistics row for these figures beside the image.
    bool AppendStatistics(const StatusFigures& figures) const;
    // Says on standard error how many samples were left out for a non-finite radiance, if any.
    void ReportDroppedSamples() const;
};

}  // namespace glintor
