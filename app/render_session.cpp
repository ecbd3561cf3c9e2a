#include "app/render_session.h"

#include <cstdio>

#include "app/image_output.h"
#include "app/statistics_log.h"
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

int RenderSession::Save(const StatusFigures* figures, bool announceSaved) {
    auto write = [this](const ImageOutput& output) {
        return output.format == PictureFormat::Png
                   ? SaveImage(*film, output.name, tone.gamma, tone.linearScale)
                   : SaveLinearImage(*film, output.name, output.format);
    };
    LogWriter log;
    if (figures != nullptr) {
        log = [this, figures](const std::string& imageName) {
            return AppendStatistics(imageName, *figures);
        };
    }
    exitStatus = SaveAndLog(Targets(), write, log, announceSaved);
    return exitStatus;
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
    return glintor::AppendStatistics(imageName, stats, LocalDate());
}

void RenderSession::ReportDroppedSamples() const {
    if (job->droppedSamples > 0) {
        std::fprintf(stderr, "Dropped %llu samples whose radiance was not a finite number\n",
                     static_cast<unsigned long long>(job->droppedSamples));
    }
}

}  // namespace glintor
