// Writes the film fuzzer's starting inputs: small film files of a few shapes, with and without
// pixels in their blocks. Usage: glintor_film_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/film_file.h"
#include "formats/files_read.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    const struct {
        int width, height, blockSize, samples;
    } shapes[] = {{1, 1, 1, 1}, {3, 2, 2, 4}, {5, 3, 4, 2}};
    int written = 0;
    for (const auto& shape : shapes) {
        glintor::FilmFileContents film;
        glintor::FilmFileHeader& h = film.header;
        h.version = "0.4.409";
        h.sceneHash = glintor::HashText(written);
        h.options = "maxDepth=5 gamma=2.2 linearScale=1";
        h.seeds = {12345678u, static_cast<uint32_t>(written)};
        h.width = shape.width;
        h.height = shape.height;
        h.blockSize = shape.blockSize;
        h.samplesPerPixel = shape.samples;
        const size_t blocks = glintor::FilmBlockCount(h.width, h.height, h.blockSize);
        h.blockSamples.assign(blocks, static_cast<uint32_t>(shape.samples));
        h.blockSamples.back() = 0;
        const size_t pixels = static_cast<size_t>(h.width) * h.height;
        film.radiance.assign(pixels * 4, 0.0f);
        film.passes.assign(pixels * glintor::FilmPassCount, 0.0f);
        for (int y = 0; y < h.height; ++y) {
            for (int x = 0; x < h.width; ++x) {
                const size_t block = static_cast<size_t>(y / h.blockSize) *
                                         ((h.width + h.blockSize - 1) / h.blockSize) +
                                     x / h.blockSize;
                const float weight = static_cast<float>(h.blockSamples[block]);
                const size_t i = static_cast<size_t>(y) * h.width + x;
                film.radiance[i * 4] = weight * 0.5f;
                film.radiance[i * 4 + 3] = weight;
                film.passes[i * glintor::FilmPassCount] = weight * 0.25f;
                film.passes[i * glintor::FilmPassCount + 6] = weight * 3.0f;
                film.passes[i * glintor::FilmPassCount + 7] = weight;
            }
        }
        std::string error;
        const std::string path = std::string(argv[1]) + "/film-" + std::to_string(written) + ".exr";
        if (!glintor::WriteFilmFile(path, film, error)) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            return 1;
        }
        ++written;
    }
    return 0;
}
