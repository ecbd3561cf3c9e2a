// Pictures of extreme shapes, through every user of a picture: a texture lookup and an
// environment light that samples by brightness. Nothing may read out of bounds or give NaN.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cmath>

#include "formats/float_image.h"
#include "lights/env_light.h"
#include "materials/texture_map_image.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

std::string WritePicture(const std::string& name, int width, int height) {
    InitialiseFreeImage();
    const std::string path = testing::ScratchFolder("picture_sizes_" + name) + "/" + name + ".png";
    FIBITMAP* bitmap = FreeImage_Allocate(width, height, 24);
    for (int y = 0; y < height; ++y) {
        BYTE* row = FreeImage_GetScanLine(bitmap, y);
        for (int x = 0; x < width; ++x) {
            row[3 * x + FI_RGBA_RED] = static_cast<BYTE>(x % 256);
            row[3 * x + FI_RGBA_GREEN] = 200;
            row[3 * x + FI_RGBA_BLUE] = static_cast<BYTE>((x * 7) % 256);
        }
    }
    EXPECT_TRUE(FreeImage_Save(FIF_PNG, bitmap, path.c_str(), 0));
    FreeImage_Unload(bitmap);
    return path;
}

bool Finite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

void Exercise(const std::string& path, uint32_t width, uint32_t height) {
    TextureMapImage texture;
    ASSERT_TRUE(texture.Image.Load(path, 1.0f));
    EXPECT_EQ(texture.Image.Width, width);
    EXPECT_EQ(texture.Image.Height, height);
    texture.Scale = {3.0f, 3.0f};
    ASSERT_TRUE(texture.Prepare());

    EnvLight light;
    ASSERT_TRUE(light.Image.Load(path, 1.0f));
    light.Prepare();

    RandomGenerator generator;
    Intersection hit;
    Ray shadowRay;
    for (int i = 0; i < 20000; ++i) {
        hit.u = generator.UniformFloat() * 4.0f - 2.0f;
        hit.v = generator.UniformFloat() * 4.0f - 2.0f;
        ASSERT_TRUE(Finite(texture.Evaluate(generator, hit, Vector3(1, 1, 1))));

        PathSample sample;
        sample.lightU = generator.UniformFloat();
        sample.lightV = generator.UniformFloat();
        Vector3 radiance;
        float pdf = -1.0f;
        light.Sample(radiance, sample, generator, shadowRay, Vector3(), Vector3(0, 0, 1), pdf);
        ASSERT_TRUE(Finite(radiance));
        ASSERT_TRUE(std::isfinite(pdf));
        ASSERT_GE(pdf, 0.0f);
        light.Emitted(radiance, shadowRay.direction.Normalized(), nullptr);
        ASSERT_TRUE(Finite(radiance));
    }
}

TEST(PictureSizes, OnePixelPicture) {
    Exercise(WritePicture("one", 1, 1), 1, 1);
}

TEST(PictureSizes, PictureOneRowHigh) {
    Exercise(WritePicture("row", 65536, 1), 65536, 1);
}

}  // namespace
}  // namespace glintor
