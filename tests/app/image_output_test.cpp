#include "app/image_output.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "render/film.h"
#include "tests/support/child_process.h"
#include "tests/support/pfm_reader.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

TEST(ImageOutput, ChannelBytesForTheListedMeans) {
    EXPECT_EQ(SavedChannelByte(0.5f, 1.0f, 1.0f, 2.2f), 186);
    EXPECT_EQ(SavedChannelByte(4.0f * 32, 32.0f, 0.25f, 2.2f), 255);
    EXPECT_EQ(SavedChannelByte(4.0f, 1.0f, 0.05f, 2.2f), 123);
    EXPECT_EQ(SavedChannelByte(0.25f, 1.0f, 1.0f, 1.0f), 64);
    EXPECT_EQ(SavedChannelByte(1.0f, 0.0f, 1.0f, 2.2f), 0);
    EXPECT_EQ(SavedChannelByte(-1.0f, 1.0f, 1.0f, 2.2f), 0);
    EXPECT_EQ(SavedChannelByte(std::nanf(""), 1.0f, 1.0f, 2.2f), 0);
}

TEST(ImageOutput, WritesUprightPngWhateverTheExtension) {
    Film film(128, 128);
    film.AddPixel(0, 0, Vector3(0.5f, 0.0f, 1.0f), 1.0f);    // bottom-left: film row 0
    film.AddPixel(5, 127, Vector3(0.0f, 2.0f, 0.0f), 2.0f);  // top row
    const std::string path = testing::ScratchFolder("image_output") + "/picture.jpg";
    ASSERT_EQ(SaveImage(film, path, 2.2f, 1.0f), 0);

    ASSERT_EQ(FreeImage_GetFileType(path.c_str(), 0), FIF_PNG);
    FIBITMAP* bitmap = FreeImage_Load(FIF_PNG, path.c_str(), 0);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(bitmap), 128u);
    EXPECT_EQ(FreeImage_GetBPP(bitmap), 24u);
    RGBQUAD c;
    FreeImage_GetPixelColor(bitmap, 0, 0, &c);  // FreeImage's y = 0 is the bottom row
    EXPECT_EQ(c.rgbRed, 186);
    EXPECT_EQ(c.rgbGreen, 0);
    EXPECT_EQ(c.rgbBlue, 255);
    FreeImage_GetPixelColor(bitmap, 5, 127, &c);
    EXPECT_EQ(c.rgbGreen, 255);
    FreeImage_Unload(bitmap);
}

TEST(ImageOutput, FailedSaveIsReportedAndLeavesNothingBehind) {
    Film film(128, 128);
    EXPECT_EQ(SaveImage(film, "", 2.2f, 1.0f), ENOENT);
    const std::string folder = testing::ScratchFolder("image_output_missing");
    EXPECT_EQ(SaveImage(film, folder + "/no/such/folder/out.png", 2.2f, 1.0f), ENOENT);
    EXPECT_TRUE(std::filesystem::is_empty(folder));

    // An existing picture survives a save that cannot complete (target is a folder).
    const std::string blocked = folder + "/blocked.png";
    std::filesystem::create_directory(blocked);
    EXPECT_EQ(SaveImage(film, blocked, 2.2f, 1.0f), EISDIR);
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

// A film whose means are known: (x, y) holds the sum (x + 0.1, y + 1/3, -2 x) over weight 4, with
// the pixel (2, 1) left unrendered; the linear files must hold sum / weight there, 0 where nothing
// was added.
std::unique_ptr<Film> LinearTestFilm() {
    auto film = std::make_unique<Film>(3, 2);
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 3; ++x) {
            if (x == 2 && y == 1) {
                continue;
            }
            film->AddPixel(x, y, Vector3(4.0f * (x + 0.1f), 4.0f * (y + 1.0f / 3.0f), -8.0f * x),
                           4.0f);
        }
    }
    return film;
}

Vector3 FilmMean(const Film& film, int x, int y) {
    const float* p = film.accumulation + (static_cast<size_t>(y) * film.width + x) * 4;
    return p[3] > 0.0f ? Vector3(p[0] / p[3], p[1] / p[3], p[2] / p[3]) : Vector3();
}

TEST(ImageOutput, PfmHoldsTheFilmMeansAsFloatsBottomRowFirst) {
    const auto film = LinearTestFilm();
    const std::string path = testing::ScratchFolder("image_output_pfm") + "/linear.PFM";
    ASSERT_EQ(FormatOfName(path), PictureFormat::Pfm);
    ASSERT_EQ(SaveLinearImage(*film, path, PictureFormat::Pfm), 0);

    // Read by hand: the rows from the bottom of the picture up, which is film row 0 first.
    const testing::PfmPicture picture = testing::ReadPfm(path);
    ASSERT_EQ(picture.width, 3);
    ASSERT_EQ(picture.height, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const float* rgb = &picture.rgb[(y * 3 + x) * 3];
            const Vector3 mean = FilmMean(*film, x, y);
            EXPECT_EQ(rgb[0], mean.x) << x << "," << y;
            EXPECT_EQ(rgb[1], mean.y) << x << "," << y;
            EXPECT_EQ(rgb[2], mean.z) << x << "," << y;
        }
    }
    EXPECT_EQ(FilmMean(*film, 2, 1).x, 0.0f);
}

TEST(ImageOutput, ExrKeepsEveryFiniteMeanAsFloats) {
    auto film = LinearTestFilm();
    // Far above the largest half float, 65504: a half would hold infinity.
    film->AddPixel(2, 1, Vector3(4.0e6f, 1.0e30f, 65520.0f), 1.0f);
    const std::string folder = testing::ScratchFolder("image_output_exr");
    const std::string path = folder + "/linear.exr";
    ASSERT_EQ(FormatOfName(path), PictureFormat::Exr);
    ASSERT_EQ(SaveLinearImage(*film, path, PictureFormat::Exr), 0);

    ASSERT_EQ(FreeImage_GetFileType(path.c_str(), 0), FIF_EXR);
    FIBITMAP* bitmap = FreeImage_Load(FIF_EXR, path.c_str(), 0);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(FreeImage_GetImageType(bitmap), FIT_RGBF);
    ASSERT_EQ(FreeImage_GetWidth(bitmap), 3u);
    ASSERT_EQ(FreeImage_GetHeight(bitmap), 2u);
    for (int y = 0; y < 2; ++y) {
        const auto* row = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(bitmap, y));
        for (int x = 0; x < 3; ++x) {
            const Vector3 mean = FilmMean(*film, x, y);
            EXPECT_EQ(row[x].red, mean.x) << x << "," << y;
            EXPECT_EQ(row[x].green, mean.y) << x << "," << y;
            EXPECT_EQ(row[x].blue, mean.z) << x << "," << y;
        }
    }
    FreeImage_Unload(bitmap);

    // OpenEXR's own tool, not FreeImage, tells how the channels are stored.
    const testing::CommandResult header = testing::RunCommand("exrheader '" + path + "' 2>&1");
    if (header.status == 127) {
        GTEST_SKIP() << "exrheader (Debian package openexr) is not installed";
    }
    EXPECT_NE(header.output.find("B, 32-bit floating-point"), std::string::npos) << header.output;
    EXPECT_EQ(header.output.find("16-bit floating-point"), std::string::npos) << header.output;
}

}  // namespace
}  // namespace glintor
