// What the preview window and the headless run share once rendering has started: the scene and
// film, the live tone mapping, and the one way of saving the picture and logging the statistics.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/image_output.h"
#include "app/status_line.h"
#include "app/tone_mapping.h"
#include "formats/film_file.h"

namespace glintor {

class Film;
class RenderGroupBase;
struct RenderJob;
struct Scene;

struct ImageOutput {
    std::string name;
    PictureFormat format = PictureFormat::Png;
};

struct RenderSession {
    Scene* scene = nullptr;
    Film* film = nullptr;
    RenderJob* job = nullptr;
    ToneMapping tone;
    std::string title;
    int threadCount = 1;
    // The pictures to write; the first one also names the statistics log. None: the scene's
    // SavedImage as a PNG.
    std::vector<ImageOutput> outputs;
    RenderGroupBase* group = nullptr;
    // Samples per pixel of the whole picture, which the log reports even where this process
    // renders only its share of them.
    int samplesPerPixel = 1;
    bool quiet = false;
    // The film file to keep (empty: none) and what its header says of this run; blockSamples
    // is filled at each write.
    std::string filmPath;
    FilmFileHeader filmHeader;
    int checkpointSeconds = 0;
    // The .exr outputs carry the guide passes.
    bool passesInOutputs = false;
    // The film went on from a film file.
    bool resumed = false;

    // Tone mapping back to the scene's film settings, and the film's table and scale with it.
    void ResetTone();
    // Hands the current tone mapping to the film.
    void ApplyTone();

    StatusFigures Figures() const;
    // The first output's name.
    const std::string& ImageName() const;
    // Writes every output, the PNG ones with the current tone mapping. Answers the name of the
    // first that could not be written, or nothing when all were.
    std::optional<std::string> SaveImages() const;
    // Appends the statistics row for these figures beside the image.
    bool AppendStatistics(const StatusFigures& figures) const;
    // Writes the film file with blockSamples as what each block holds; a failure is reported on
    // standard error. Answers whether it was written.
    bool SaveFilm(const std::vector<uint32_t>& blockSamples) const;
    // Writes the film file from a copy of the film taken while no block is in flight.
    bool SaveCheckpoint() const;
    // Says on standard error how many samples were left out for a non-finite radiance, if any.
    void ReportDroppedSamples() const;
};

}  // namespace glintor
