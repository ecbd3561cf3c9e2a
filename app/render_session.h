// What the preview window and the headless run share once rendering has started: the scene and
// film, the live tone mapping, and the one way of saving the picture and logging the statistics.
#pragma once

#include <string>
#include <vector>

#include "app/save_sequence.h"
#include "app/status_line.h"
#include "app/tone_mapping.h"
#include "formats/film_file.h"

namespace glintor {

class Film;
class RenderGroupBase;
struct RenderJob;
struct Scene;

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
    // The status of the last save: the process ends with it.
    int exitStatus = 0;
    // The film file to keep (empty: none) and what its header says of this run; blockSamples
    // is filled at each write. filmSaved tells whether the last write succeeded.
    std::string filmPath;
    FilmFileHeader filmHeader;
    bool filmSaved = false;
    int checkpointSeconds = 0;
    // The .exr outputs carry the guide passes.
    bool passesInOutputs = false;
    // The film went on from a film file; on rank 0, startFilm holds it.
    bool resumed = false;
    const FilmFileContents* startFilm = nullptr;

    // Tone mapping back to the scene's film settings, and the film's table and scale with it.
    void ResetTone();
    // Hands the current tone mapping to the film.
    void ApplyTone();

    StatusFigures Figures() const;
    // The pictures to write: the outputs, or the scene's SavedImage as a PNG.
    std::vector<ImageOutput> Targets() const;
    // Writes every picture, the PNG ones with the current tone mapping, and with figures the
    // statistics row beside the first (see SaveAndLog); with blockSamples (what each block holds)
    // the film file too, when one is asked for. Sets and answers exitStatus.
    int Save(const StatusFigures* figures, bool announceSaved,
             const std::vector<uint32_t>* blockSamples = nullptr);
    // Writes the film file from a copy of the film taken while no block is in flight, summed over
    // the group's ranks; called by every rank, rank 0 alone writes.
    bool SaveCheckpoint() const;
    // Appends the statistics row for these figures to the log of imageName; 0 or an errno.
    int AppendStatistics(const std::string& imageName, const StatusFigures& figures) const;
    // Says on standard error how many samples were left out for a non-finite radiance, if any.
    void ReportDroppedSamples() const;
};

}  // namespace glintor
