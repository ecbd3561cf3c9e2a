#include "app/film_merge.h"

#include <algorithm>
#include <cstdio>

#include "app/command_line.h"
#include "app/film_files.h"
#include "app/image_output.h"
#include "app/save_sequence.h"
#include "render/film.h"

namespace glintor {

namespace {

// Adds b into a when the two may be added; answers why not otherwise.
std::string AddInto(FilmFileContents& a, const FilmFileContents& b) {
    const std::string mismatch = FilmMismatch(b.header, a.header);
    if (!mismatch.empty()) {
        return "they differ in " + mismatch;
    }
    for (const uint32_t seed : b.header.seeds) {
        if (std::find(a.header.seeds.begin(), a.header.seeds.end(), seed) != a.header.seeds.end()) {
            return "both were rendered with seed " + std::to_string(seed) +
                   ", so their samples are not independent";
        }
    }
    const int samples = a.header.samplesPerPixel + b.header.samplesPerPixel;
    if (samples > static_cast<int>(MaxFilmFileSamples)) {
        return "together they would have more than " + std::to_string(MaxFilmFileSamples) +
               " samples per pixel";
    }
    a.header.samplesPerPixel = samples;
    a.header.seeds.insert(a.header.seeds.end(), b.header.seeds.begin(), b.header.seeds.end());
    for (std::size_t i = 0; i < a.header.blockSamples.size(); ++i) {
        a.header.blockSamples[i] += b.header.blockSamples[i];
    }
    for (std::size_t i = 0; i < a.radiance.size(); ++i) {
        a.radiance[i] += b.radiance[i];
    }
    for (std::size_t i = 0; i < a.passes.size(); ++i) {
        a.passes[i] += b.passes[i];
    }
    return "";
}

}  // namespace

int RunMerge(const CommandLine& options) {
    FilmFileContents sum;
    for (std::size_t i = 0; i < options.mergeInputs.size(); ++i) {
        const std::string& name = options.mergeInputs[i];
        FilmFileContents film;
        std::string error;
        if (!ReadFilmFile(name, film, error)) {
            std::fprintf(stderr, "Cannot use the film '%s': %s\n", name.c_str(), error.c_str());
            return 2;
        }
        if (i == 0) {
            sum = std::move(film);
            continue;
        }
        const std::string refusal = AddInto(sum, film);
        if (!refusal.empty()) {
            std::fprintf(stderr, "Cannot merge '%s' with '%s': %s\n", name.c_str(),
                         options.mergeInputs.front().c_str(), refusal.c_str());
            return 2;
        }
    }
    if (!SaveFilmFile(options.mergeOutput, sum)) {
        return 1;
    }
    std::printf("Merged %zu films into '%s': %d samples per pixel\n", options.mergeInputs.size(),
                options.mergeOutput.c_str(), sum.header.samplesPerPixel);

    Film film(sum.header.width, sum.header.height);
    if (!sum.passes.empty()) {
        film.EnablePasses();
    }
    RestoreFilm(film, sum);
    float gamma = 2.2f, linearScale = 1.0f;
    ToneOfOptions(sum.header.options, gamma, linearScale);
    std::vector<ImageOutput> outputs;
    for (const std::string& name : options.outputs) {
        outputs.push_back({name, FormatOfName(name)});
    }
    return SaveAndLog(
        outputs,
        [&](const ImageOutput& output) {
            return SaveOutput(film, output.name, output.format, gamma, linearScale, options.passes);
        },
        {}, !outputs.empty());
}

}  // namespace glintor
