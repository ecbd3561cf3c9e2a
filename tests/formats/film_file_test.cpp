#include "formats/film_file.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/files_read.h"
#include "formats/float_image.h"
#include "tests/support/child_process.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

// A 40 x 24 film in blocks of 16 (3 x 2 blocks), the top right block still empty; every value
// differs, so a swapped row, channel or block shows.
FilmFileContents SampleFilm() {
    FilmFileContents film;
    FilmFileHeader& h = film.header;
    h.version = "0.4.409";
    h.sceneHash = HashText(0x5ca1ab1e0ddba11ull);
    h.options = "maxDepth=5 gamma=2.2 linearScale=1";
    h.seeds = {7, 4000000000u};
    h.width = 40;
    h.height = 24;
    h.blockSize = 16;
    h.samplesPerPixel = 4;
    h.blockSamples = {4, 4, 2, 4, 4, 0};
    const std::size_t pixels = 40 * 24;
    film.radiance.resize(pixels * 4);
    film.passes.resize(pixels * FilmPassCount);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 40; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * 40 + x;
            const uint32_t samples = h.blockSamples[(y / 16) * 3 + x / 16];
            const float weight = samples == 0 ? 0.0f : static_cast<float>(samples - (x == 3));
            float* p = &film.radiance[i * 4];
            float* q = &film.passes[i * FilmPassCount];
            if (weight > 0.0f) {
                p[0] = 0.5f * x + 0.25f, p[1] = 0.125f * y, p[2] = 1000.0f + i, p[3] = weight;
                // Means times the weight, exactly representable, as the reader rebuilds them.
                q[0] = 0.5f * weight, q[1] = 0.25f * weight, q[2] = 0.125f * weight;
                q[3] = 0.0f, q[4] = weight, q[5] = 0.0f;
                const float hits = x % 2 == 0 ? weight : 0.0f;
                q[6] = 2.5f * hits, q[7] = hits;
            }
        }
    }
    return film;
}

std::string Write(const std::string& name, const FilmFileContents& film) {
    const std::string path = testing::ScratchFolder("film_file") + "/" + name;
    std::string error;
    EXPECT_TRUE(WriteFilmFile(path, film, error)) << error;
    return path;
}

TEST(FilmFile, RoundTripsExactlyAndOtherReadersSeeAnUprightPictureWithNamedLayers) {
    const FilmFileContents film = SampleFilm();
    const std::string path = Write("sample.exr", film);
    FilmFileContents read;
    std::string error;
    ASSERT_TRUE(ReadFilmFile(path, read, error)) << error;
    EXPECT_EQ(read.header.version, film.header.version);
    EXPECT_EQ(read.header.sceneHash, film.header.sceneHash);
    EXPECT_EQ(read.header.options, film.header.options);
    EXPECT_EQ(read.header.seeds, film.header.seeds);
    EXPECT_EQ(read.header.blockSamples, film.header.blockSamples);
    EXPECT_EQ(read.header.samplesPerPixel, 4);
    EXPECT_EQ(read.header.blockSize, 16);
    EXPECT_EQ(read.radiance, film.radiance);
    EXPECT_EQ(read.passes, film.passes);

    // FreeImage reads the R, G, B channels; its scanline 0 is the bottom row, like the film's.
    InitialiseFreeImage();
    FIBITMAP* bitmap = FreeImage_Load(FIF_EXR, path.c_str(), 0);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(FreeImage_GetWidth(bitmap), 40u);
    const auto* row = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(bitmap, 1));
    EXPECT_EQ(row[5].red, 2.75f);
    EXPECT_EQ(row[5].green, 0.125f);
    EXPECT_EQ(row[5].blue, 1045.0f);
    FreeImage_Unload(bitmap);

    const testing::CommandResult header = testing::RunCommand("exrheader '" + path + "'");
    if (header.status == -1 || header.output.empty()) {
        GTEST_SKIP() << "exrheader (Debian: openexr) is not installed";
    }
    for (const char* channel : {"R,", "G,", "B,", "weight,", "albedo.R,", "albedo.G,", "albedo.B,",
                                "N.X,", "N.Y,", "N.Z,", "Z,", "Z.hits,"}) {
        EXPECT_NE(header.output.find(std::string("    ") + channel + " 32-bit floating-point"),
                  std::string::npos)
            << channel << "\n"
            << header.output;
    }
    EXPECT_NE(header.output.find("glintor.seeds (type string): \"7 4000000000\""),
              std::string::npos)
        << header.output;
    EXPECT_NE(header.output.find("glintor.blockSamples (type string): \"4 4 2 4 4 0\""),
              std::string::npos);
}

TEST(FilmFile, RefusesFilmsThatClaimWhatTheyDoNotHold) {
    struct Case {
        const char* reason;
        void (*spoil)(FilmFileContents&);
    };
    const Case cases[] = {
        {"pixel 0, 20 holds more or other than its block's samples",
         [](FilmFileContents& f) { f.radiance[(20 * 40) * 4 + 3] = 5.0f; }},
        {"pixel 39, 20 holds more or other than its block's samples",
         [](FilmFileContents& f) { f.radiance[(20 * 40 + 39) * 4] = 1.0f; }},
        {"pixel 1, 0 holds more or other than its block's samples",
         [](FilmFileContents& f) { f.radiance[1 * 4 + 3] = 1.5f; }},
        {"pixel 2, 0 has passes that are not valid",
         [](FilmFileContents& f) { f.passes[2 * FilmPassCount + 7] = 9.0f; }},
        {"its list of samples per block does not match its size and samples per pixel",
         [](FilmFileContents& f) { f.header.blockSamples.pop_back(); }},
        {"its list of samples per block does not match its size and samples per pixel",
         [](FilmFileContents& f) { f.header.blockSamples[5] = 5; }},
        {"its list of seeds is not valid", [](FilmFileContents& f) { f.header.seeds.clear(); }},
        {"its block size or samples per pixel is out of range",
         [](FilmFileContents& f) { f.header.samplesPerPixel = 10001; }},
        {"its version or scene hash is not valid",
         [](FilmFileContents& f) { f.header.sceneHash = "12"; }},
    };
    for (const Case& c : cases) {
        FilmFileContents film = SampleFilm();
        c.spoil(film);
        FilmFileContents read;
        std::string error;
        EXPECT_FALSE(ReadFilmFile(Write("spoilt.exr", film), read, error)) << c.reason;
        EXPECT_EQ(error, c.reason);
        EXPECT_TRUE(read.radiance.empty());
    }
}

TEST(FilmFile, RefusesDamagedAndTruncatedFilesWithAMessage) {
    const std::string bytes = testing::ReadWholeFile(Write("whole.exr", SampleFilm()));
    ASSERT_GT(bytes.size(), 1000u);
    const auto refused = [](const std::string& data) {
        FilmFileContents film;
        std::string error;
        const bool read =
            ReadFilmFile(reinterpret_cast<const uint8_t*>(data.data()), data.size(), film, error);
        return !read && !error.empty();
    };
    for (std::size_t length = 0; length < bytes.size(); length += 97) {
        EXPECT_TRUE(refused(bytes.substr(0, length))) << length;
    }
    // A byte of the pixel data changed: the decompression or the checks must notice.
    std::string damaged = bytes;
    damaged[bytes.size() - 40] ^= 0x5a;
    EXPECT_TRUE(refused(damaged));
    FilmFileContents film;
    std::string error;
    EXPECT_FALSE(ReadFilmFile("/nonexistent/film.exr", film, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace glintor
