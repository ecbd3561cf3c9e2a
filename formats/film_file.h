// A film saved as a file, so that a stopped render can go on and renders made apart can be added
// together: a 32-bit float OpenEXR that other tools open as a picture with extra layers.
//
// Channels, every one FLOAT, rows from the top of the picture down:
//   R, G, B     the pixel's summed radiance (not the mean: films add exactly)
//   weight      the pixel's summed sample weight; R / weight is the picture
//   albedo.R/G/B  the first diffuse hit's surface colour, mean over the pixel's samples
//   N.X/N.Y/N.Z   the shading normal at the first hit, mean over the pixel's samples
//   Z           the distance to the first hit, mean over the samples that hit (inf where none did)
//   Z.hits      how many of the pixel's samples hit something
// R, G, B, Z, albedo.* and N.* are the names compositing packages and denoisers look for.
//
// Header attributes (strings unless said): glintor.version, glintor.sceneHash (of the scene
// file's bytes), glintor.options (every option that changes the picture, "name=value" separated
// by spaces), glintor.seeds (the random streams rendered into it, decimal, separated by spaces),
// glintor.blockSize (int), glintor.samplesPerPixel (int, what the render asked for) and
// glintor.blockSamples (samples per pixel each block holds, in the blocks' build order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace glintor {

struct FilmFileHeader {
    std::string version;
    std::string sceneHash;
    std::string options;
    std::vector<uint32_t> seeds;
    int width = 0;
    int height = 0;
    int blockSize = 0;
    int samplesPerPixel = 0;
    std::vector<uint32_t> blockSamples;
};

// Per-pixel values in film order: pixel (x, y) is element y * width + x, row 0 the bottom row.
struct FilmFileContents {
    FilmFileHeader header;
    // r, g, b sums and the weight.
    std::vector<float> radiance;
    // albedo r, g, b sums, normal x, y, z sums, distance sum and hit count: sums, as the film
    // holds them; the file keeps their means.
    std::vector<float> passes;
};

constexpr int FilmPassCount = 8;
// The largest film edge a file may claim; more is refused before anything is allocated.
constexpr int MaxFilmFileEdge = 2048;
constexpr uint32_t MaxFilmFileSamples = 10000;

// Number of blocks of edge blockSize a width x height film splits into.
std::size_t FilmBlockCount(int width, int height, int blockSize);

// Writes the film to path (the caller renames it into place). Answers false with a reason.
bool WriteFilmFile(const std::string& path, const FilmFileContents& film, std::string& error);

// Writes the mean radiance and the passes' means as a picture for compositing: R, G, B and the
// pass layers above, all 32-bit floats, without the film's weights and attributes.
bool WriteLayeredPicture(const std::string& path, const FilmFileContents& film, std::string& error);

// Reads and checks a film file: everything the header claims must be consistent with itself and
// with the pixels (weights whole numbers no larger than their block's samples). A damaged file is
// refused with a reason; nothing in it can make the reader crash or allocate without bound.
bool ReadFilmFile(const std::string& path, FilmFileContents& film, std::string& error);
bool ReadFilmFile(const uint8_t* data, std::size_t size, FilmFileContents& film,
                  std::string& error);

}  // namespace glintor
