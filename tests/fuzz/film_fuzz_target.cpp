// Fuzz target for film files: any byte string must be read or refused with a message, never
// crash or allocate without bound; a film that is read must hold what its header claims and
// come back the same after being written again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/film_file.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "Film fuzz: broken guarantee: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    glintor::FilmFileContents film;
    std::string error;
    if (!glintor::ReadFilmFile(data, size, film, error)) {
        Require(!error.empty() && film.radiance.empty(), "a refusal carries a message only");
        return 0;
    }
    const glintor::FilmFileHeader& h = film.header;
    const size_t pixels = static_cast<size_t>(h.width) * h.height;
    Require(
        film.radiance.size() == pixels * 4 && film.passes.size() == pixels * glintor::FilmPassCount,
        "arrays sized by the film");
    Require(h.blockSamples.size() == glintor::FilmBlockCount(h.width, h.height, h.blockSize),
            "one entry per block");
    for (size_t i = 0; i < pixels; ++i) {
        Require(film.radiance[i * 4 + 3] <= static_cast<float>(h.samplesPerPixel),
                "no pixel holds more samples than the film");
    }

    static const std::string path = "/tmp/glintor-film-fuzz-" + std::to_string(getpid()) + ".exr";
    Require(glintor::WriteFilmFile(path, film, error), "a film that was read can be written");
    glintor::FilmFileContents again;
    Require(glintor::ReadFilmFile(path, again, error), "a written film reads back");
    unlink(path.c_str());
    Require(again.header.blockSamples == h.blockSamples && again.header.seeds == h.seeds &&
                again.header.options == h.options && again.radiance == film.radiance,
            "a film reads back as it was written");
    return 0;
}
