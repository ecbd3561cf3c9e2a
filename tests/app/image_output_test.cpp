#include "app/image_output.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "render/film.h"
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
    ASSERT_TRUE(SaveImage(film, path, 2.2f, 1.0f));

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
    EXPECT_FALSE(SaveImage(film, "", 2.2f, 1.0f));
    const std::string folder = testing::ScratchFolder("image_output_missing");
    EXPECT_FALSE(SaveImage(film, folder + "/no/such/folder/out.png", 2.2f, 1.0f));
    EXPECT_TRUE(std::filesystem::is_empty(folder));

    // An existing picture survives a save that cannot complete (target is a folder).
    const std::string blocked = folder + "/blocked.png";
    std::filesystem::create_directory(blocked);
    EXPECT_FALSE(SaveImage(film, blocked, 2.2f, 1.0f));
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(folder)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

}  // namespace
}  // namespace glintor
