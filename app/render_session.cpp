#include "app/render_session.h"

#include <cstdio>

#include "app/film_files.h"
#include "app/image_output.h"
#include "app/render_group.h"
#include "app/statistics_log.h"
#include "app/whole_blocks.h"
#include "platform/platform.h"
#include "render/film.h"
#include "render/render_job.h"
#include "render/scene.h"

namespace glintor {

void RenderSession::ResetTone() {
    tone.Reset(scene->gamma, scene->linearScale);
    ApplyTone();
}

void RenderSession::ApplyTone() {
    film->BuildGammaTable(tone.gamma);
    film->linearScale = tone.linearScale;
}

StatusFigures RenderSession::Figures() const {
    return ComputeStatusFigures(job->clock.total, job->sampleTotal, job->rayTotal,
                                static_cast<uint64_t>(film->pixelCount));
}

std::vector<ImageOutput> RenderSession::Targets() const {
    return outputs.empty() ? std::vector<ImageOutput>{{scene->settings.savedImage}} : outputs;
}

int RenderSession::Save(const StatusFigures* figures, bool announceSaved,
                        const std::vector<uint32_t>* blockSamples) {
    auto write = [this](const ImageOutput& output) {
        return SaveOutput(*film, output.name, output.format, tone.gamma, tone.linearScale,
                          passesInOutputs);
    };
    LogWriter log;
    if (figures != nullptr) {
        log = [this, figures](const std::string& imageName) {
            return AppendStatistics(imageName, *figures);
        };
    }
    // The film goes first: after a stop it is what the run is resumed from, and a scheduler's
    // kill may follow the stop signal within seconds.
    const bool keepFilm = blockSamples != nullptr && !filmPath.empty();
    if (keepFilm) {
        FilmFileContents contents = CaptureFilm(*film, filmHeader);
        contents.header.blockSamples = *blockSamples;
        filmSaved = SaveFilmFile(filmPath, contents);
    }
    exitStatus = SaveAndLog(Targets(), write, log, announceSaved);
    if (keepFilm && !filmSaved) {
        exitStatus = 1;
    }
    return exitStatus;
}

bool RenderSession::SaveCheckpoint() const {
    FilmFileContents contents;
    std::vector<uint8_t> done;
    // Under the job's lock: partsDone is read directly.
    job->WithWholeBlocks([&] {
        contents = CaptureFilm(*film, filmHeader);
        done = job->partsDone;
    });
    float* passes = contents.passes.empty() ? nullptr : contents.passes.data();
    contents.header.blockSamples = KeepBlocksEveryRankRendered(
        *group, *job, done, {contents.radiance.data(), passes}, startFilm);
    group->CombineSnapshot(contents);
    return group->Rank() != 0 || SaveFilmFile(filmPath, contents);
}

int RenderSession::AppendStatistics(const std::string& imageName,
                                    const StatusFigures& figures) const {
    RenderStatistics stats;
    stats.seconds = figures.seconds;
    stats.samplesPerPixel = figures.samplesPerPixel;
    stats.kiloSamplesPerSecond = figures.kiloSamplesPerSecond;
    stats.kiloRaysPerSecond = figures.kiloRaysPerSecond;
    const RenderSettings& settings = scene->settings;
    stats.samples = static_cast<uint32_t>(samplesPerPixel);
    stats.shadowRays = static_cast<uint32_t>(settings.shadowRays);
    stats.maxDepth = static_cast<uint32_t>(settings.maxDepth);
    stats.lights = static_cast<uint32_t>(scene->lights.size());
    stats.objects = static_cast<uint32_t>(scene->objects.size());
    stats.triangles = static_cast<uint32_t>(scene->meshTriangleCount);
    stats.width = static_cast<uint32_t>(film->width);
    stats.height = static_cast<uint32_t>(film->height);
    stats.threads = static_cast<uint32_t>(threadCount);
    stats.resumed = resumed;
    return glintor::AppendStatistics(imageName, stats, LocalDate());
}

void RenderSession::ReportDroppedSamples() const {
    if (job->droppedSamples > 0) {
        std::fprintf(stderr, "Dropped %llu samples whose radiance was not a finite number\n",
                     static_cast<unsigned long long>(job->droppedSamples));
    }
}

}  // namespace glintor
