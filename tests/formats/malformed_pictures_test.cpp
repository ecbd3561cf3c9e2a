// Hostile picture files and the size limits every picture is held to.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/float_image.h"
#include "formats/picture_decoder.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using testing::ScratchFolder;
using testing::WriteFile;

// A complete float picture of one row, every texel (1, 2, 3).
std::string OneRowPfm(const std::string& path, int width) {
    std::string bytes = "PF\n" + std::to_string(width) + " 1\n-1.0\n";
    const float texel[3] = {1.0f, 2.0f, 3.0f};
    for (int x = 0; x < width; ++x) {
        bytes.append(reinterpret_cast<const char*>(texel), sizeof texel);
    }
    return WriteFile(path, bytes);
}

// An uncompressed 24-bit TGA header with the given size and no pixels after it.
std::string EmptyTga(const std::string& path, int width, int height) {
    std::string header(18, '\0');
    header[2] = 2;
    header[12] = static_cast<char>(width & 0xff);
    header[13] = static_cast<char>(width >> 8);
    header[14] = static_cast<char>(height & 0xff);
    header[15] = static_cast<char>(height >> 8);
    header[16] = 24;
    return WriteFile(path, header);
}

TEST(MalformedPicturesTest, SizeLimitsAreASideOf65536AndTwoToThe25Pixels) {
    EXPECT_TRUE(PictureSizeAllowed(1, 1));
    EXPECT_TRUE(PictureSizeAllowed(65536, 512));
    EXPECT_FALSE(PictureSizeAllowed(65536, 513));
    EXPECT_FALSE(PictureSizeAllowed(65537, 1));
    EXPECT_FALSE(PictureSizeAllowed(1, 65537));
    EXPECT_TRUE(PictureSizeAllowed(8192, 4096));
    EXPECT_TRUE(PictureSizeAllowed(4096, 8192));
    EXPECT_FALSE(PictureSizeAllowed(8193, 4096));
    EXPECT_FALSE(PictureSizeAllowed(4096, 8193));
    EXPECT_FALSE(PictureSizeAllowed(0, 1));
    EXPECT_FALSE(PictureSizeAllowed(1, 0));
    // 2^32 + 1 pixels: no wrap to a small count.
    EXPECT_FALSE(PictureSizeAllowed(65537, 65537));
}

TEST(MalformedPicturesTest, PicturesBeyondTheLimitsAreRefusedWhole) {
    const std::string folder = ScratchFolder("limits");
    FloatImage widest;
    ASSERT_TRUE(widest.Load(OneRowPfm(folder + "/widest.pfm", 65536), 1.0f));
    EXPECT_EQ(65536u, widest.Width);
    EXPECT_EQ(Vector3(1.0f, 2.0f, 3.0f), widest.Texels[65535]);

    for (const std::string& path :
         {OneRowPfm(folder + "/wider.pfm", 65537), EmptyTga(folder + "/huge.tga", 65535, 65535),
          EmptyTga(folder + "/tall.tga", 1024, 32769)}) {
        FloatImage image;
        EXPECT_FALSE(image.Load(path, 1.0f)) << path;
        EXPECT_TRUE(image.IsEmpty()) << path;
        EXPECT_EQ(0u, image.Width);
        EXPECT_EQ(0u, image.Height);
        EXPECT_EQ(path, image.Name);
    }
}

// Each kept file crashed, stalled or exhausted the decoder once. The loader refuses them and
// still decodes a sound picture afterwards.
TEST(MalformedPicturesTest, KeptHostileFilesAreRefused) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(GLINTOR_PICTURE_CASES)) {
        paths.push_back(entry.path().string());
    }
    ASSERT_FALSE(paths.empty());
    for (const std::string& path : paths) {
        FloatImage image;
        EXPECT_FALSE(image.Load(path, 2.2f)) << path;
        EXPECT_TRUE(image.IsEmpty()) << path;
        EXPECT_EQ(path, image.Name);
    }
    FloatImage sound;
    ASSERT_TRUE(sound.Load(OneRowPfm(ScratchFolder("after") + "/sound.pfm", 3), 2.0f));
    EXPECT_EQ(Vector3(1.0f, 4.0f, 9.0f), sound.Texels[2]);
}

}  // namespace
}  // namespace glintor
