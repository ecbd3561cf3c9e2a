#include "formats/float_image.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using testing::HasSharedData;
using testing::ScratchFolder;
using testing::SharedDataPath;
using testing::WriteFile;

const Vector3 kA{0.1f, 0.2f, 0.3f};
const Vector3 kB{1.0f, 2.0f, 4.0f};
const Vector3 kC{0.5f, 0.0f, 8.0f};
const Vector3 kD{3.0f, 0.25f, 0.75f};

void ExpectNear(const Vector3& expected, const Vector3& actual, float tolerance = 1e-5f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// Builds a picture with FreeImage, row 0 being the top row (FreeImage itself stores the bottom
// row first), and saves it; the pixel writer gets the top-down row's scanline and the column.
std::string SavePicture(const std::string& path, FREE_IMAGE_FORMAT format, FREE_IMAGE_TYPE type,
                        int width, int height, int bitsPerPixel,
                        const std::function<void(BYTE* scanline, int x, int row)>& writePixel,
                        int flags = 0, const std::function<void(FIBITMAP*)>& prepare = nullptr) {
    InitialiseFreeImage();
    FIBITMAP* bitmap = FreeImage_AllocateT(type, width, height, bitsPerPixel);
    if (prepare) {
        prepare(bitmap);
    }
    for (int row = 0; row < height; ++row) {
        BYTE* scanline = FreeImage_GetScanLine(bitmap, height - 1 - row);
        for (int x = 0; x < width; ++x) {
            writePixel(scanline, x, row);
        }
    }
    const bool saved = FreeImage_Save(format, bitmap, path.c_str(), flags);
    FreeImage_Unload(bitmap);
    EXPECT_TRUE(saved) << path;
    return path;
}

// Float RGB picture, exact in a portable float map.
std::string SaveRgbf(const std::string& path, int width, int height,
                     const std::vector<Vector3>& topRowFirst) {
    return SavePicture(path, FIF_PFM, FIT_RGBF, width, height, 96,
                       [&](BYTE* scanline, int x, int row) {
                           const Vector3& c = topRowFirst[x + width * row];
                           reinterpret_cast<FIRGBF*>(scanline)[x] = {c.x, c.y, c.z};
                       });
}

// 24- or 32-bit bitmap; each pixel's bytes come as red, green, blue (and alpha).
std::string SaveBytes(const std::string& path, FREE_IMAGE_FORMAT format, int width, int height,
                      int bitsPerPixel, const std::vector<std::vector<BYTE>>& topRowFirst) {
    const int bytesPerPixel = bitsPerPixel / 8;
    return SavePicture(path, format, FIT_BITMAP, width, height, bitsPerPixel,
                       [&](BYTE* scanline, int x, int row) {
                           const std::vector<BYTE>& p = topRowFirst[x + width * row];
                           BYTE* out = scanline + bytesPerPixel * x;
                           out[FI_RGBA_RED] = p[0];
                           out[FI_RGBA_GREEN] = p[1];
                           out[FI_RGBA_BLUE] = p[2];
                           if (bytesPerPixel == 4) {
                               out[FI_RGBA_ALPHA] = p[3];
                           }
                       });
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

float Luminance(const Vector3& c) {
    return 0.2126f * c.x + 0.7152f * c.y + 0.0722f * c.z;
}

const Vector3& TexelAt(const FloatImage& image, uint32_t x, uint32_t y) {
    return image.Texels[x + static_cast<std::size_t>(image.Width) * y];
}

TEST(FloatImageTest, NewImageIsEmptyAndAnswersBlack) {
    const FloatImage image;
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ("", image.Name);
    EXPECT_EQ(0u, image.Width);
    EXPECT_EQ(0u, image.Height);
    EXPECT_EQ(0.0f, image.InvWidth);
    EXPECT_EQ(0.0f, image.InvHeight);
    EXPECT_EQ(Vector3(), image.Lookup(0.3f, 0.7f));
}

TEST(FloatImageTest, SingleTexelAnswersEverywhere) {
    const std::string path = SaveRgbf(ScratchFolder("single") + "/one.pfm", 1, 1, {kB});
    FloatImage image;
    ASSERT_TRUE(image.Load(path, 1.0f));
    EXPECT_EQ(1u, image.Width);
    EXPECT_EQ(1.0f, image.InvWidth);
    for (const float u : {0.0f, 0.5f, 0.99f, -3.2f, 17.25f}) {
        for (const float v : {0.0f, 0.25f, 1.0f, -0.6f}) {
            ExpectNear(kB, image.Lookup(u, v));
        }
    }
}

TEST(FloatImageTest, TwoByOneInterpolatesAndWraps) {
    const std::string path = SaveRgbf(ScratchFolder("two") + "/two.pfm", 2, 1, {kA, kB});
    FloatImage image;
    ASSERT_TRUE(image.Load(path, 1.0f));
    EXPECT_EQ(0.5f, image.InvWidth);
    EXPECT_EQ(1.0f, image.InvHeight);
    ExpectNear(kA, image.Lookup(0.25f, 0.5f));
    ExpectNear((kA + kB) * 0.5f, image.Lookup(0.5f, 0.5f));
    ExpectNear((kA + kB) * 0.5f, image.Lookup(0.0f, 0.5f));
    ExpectNear(kB, image.Lookup(0.75f, 0.5f));
    ExpectNear(kA * 0.75f + kB * 0.25f, image.Lookup(0.375f, 0.5f));
}

TEST(FloatImageTest, TwoByTwoIsStoredTopRowFirstAndRepeats) {
    // Top row A B, bottom row C D.
    const std::string path = SaveRgbf(ScratchFolder("quad") + "/quad.pfm", 2, 2, {kA, kB, kC, kD});
    FloatImage image;
    ASSERT_TRUE(image.Load(path, 1.0f));
    ASSERT_EQ(4u, image.Texels.size());
    EXPECT_EQ(kA, image.Texels[0]);
    EXPECT_EQ(kB, image.Texels[1]);
    EXPECT_EQ(kC, image.Texels[2]);
    EXPECT_EQ(kD, image.Texels[3]);

    ExpectNear(kA, image.Lookup(0.25f, 0.25f));
    ExpectNear(kB, image.Lookup(0.75f, 0.25f));
    ExpectNear(kC, image.Lookup(0.25f, 0.75f));
    ExpectNear(kD, image.Lookup(0.75f, 0.75f));
    ExpectNear((kA + kB) * 0.5f, image.Lookup(0.5f, 0.25f));
    ExpectNear((kA + kC) * 0.5f, image.Lookup(0.25f, 0.5f));
    const Vector3 average = (kA + kB + kC + kD) * 0.25f;
    ExpectNear(average, image.Lookup(0.5f, 0.5f));
    ExpectNear(average, image.Lookup(0.0f, 0.0f));
    ExpectNear(average, image.Lookup(1.0f, 1.0f));
    // Whole periods away, in either direction.
    ExpectNear(kA, image.Lookup(-0.75f, 1.25f));
    ExpectNear(kD, image.Lookup(3.75f, -2.25f));
    // A general point: x = 0.3, y = 0.7 inside the cell spanned by the four texel centres.
    const Vector3 expected =
        kA * (0.7f * 0.3f) + kC * (0.7f * 0.7f) + kB * (0.3f * 0.3f) + kD * (0.3f * 0.7f);
    ExpectNear(expected, image.Lookup(0.4f, 0.6f));
}

TEST(FloatImageTest, ExtremeCoordinatesNeverLeaveTheTexels) {
    const std::string path =
        SaveRgbf(ScratchFolder("extreme") + "/quad.pfm", 2, 2, {kA, kB, kC, kD});
    FloatImage image;
    ASSERT_TRUE(image.Load(path, 1.0f));
    const float infinity = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Far coordinates land on texel centres of one of the four texels.
    for (const float u : {1e10f, -1e10f, 1e30f, -1e30f}) {
        const Vector3 c = image.Lookup(u, 0.25f);
        EXPECT_TRUE(c == kA || c == kB) << u;
    }
    // Coordinates that overflow or are not numbers give non-finite colours but must not read out of
    // bounds.
    for (const float u : {3e38f, infinity, -infinity, nan}) {
        image.Lookup(u, 0.5f);
        image.Lookup(0.5f, u);
    }
}

TEST(FloatImageTest, FloatPicturesKeepTheirRangeAndTakeGamma) {
    const std::string path = SaveRgbf(ScratchFolder("gamma") + "/hdr.pfm", 2, 1,
                                      {{4.0f, 0.5f, 0.0f}, {-1.0f, 9.0f, 1.0f}});
    FloatImage linear;
    ASSERT_TRUE(linear.Load(path, 1.0f));
    EXPECT_EQ(Vector3(4.0f, 0.5f, 0.0f), linear.Texels[0]);
    EXPECT_EQ(Vector3(-1.0f, 9.0f, 1.0f), linear.Texels[1]);

    FloatImage squared;
    ASSERT_TRUE(squared.Load(path, 2.0f));
    EXPECT_EQ(Vector3(16.0f, 0.25f, 0.0f), squared.Texels[0]);
    // A negative value has no real power for most gammas; it becomes 0 rather than NaN.
    EXPECT_EQ(Vector3(0.0f, 81.0f, 1.0f), squared.Texels[1]);

    FloatImage display;
    ASSERT_TRUE(display.Load(path, 2.2f));
    EXPECT_FLOAT_EQ(static_cast<float>(std::pow(4.0, static_cast<double>(2.2f))),
                    display.Texels[0].x);
    EXPECT_EQ(0.0f, display.Texels[1].x);
}

TEST(FloatImageTest, RgbaFloatDropsAlpha) {
    const std::string path = SavePicture(
        ScratchFolder("rgbaf") + "/rgba.exr", FIF_EXR, FIT_RGBAF, 2, 1, 128,
        [](BYTE* scanline, int x, int) {
            reinterpret_cast<FIRGBAF*>(scanline)[x] = {x == 0 ? 2.5f : 0.125f, 0.5f, 7.0f, 0.25f};
        },
        EXR_FLOAT | EXR_NONE);
    FloatImage image;
    ASSERT_TRUE(image.Load(path, 1.0f));
    EXPECT_EQ(Vector3(2.5f, 0.5f, 7.0f), image.Texels[0]);
    EXPECT_EQ(Vector3(0.125f, 0.5f, 7.0f), image.Texels[1]);
}

TEST(FloatImageTest, ByteChannelsAreDividedBy255ThenTakeGamma) {
    const std::string path = SaveBytes(ScratchFolder("bytes") + "/rgb.bmp", FIF_BMP, 2, 1, 24,
                                       {{255, 128, 0}, {1, 254, 64}});
    FloatImage linear;
    ASSERT_TRUE(linear.Load(path, 1.0f));
    EXPECT_EQ(1.0f, linear.Texels[0].x);
    EXPECT_EQ(128.0f * 0.003921569f, linear.Texels[0].y);
    EXPECT_EQ(0.0f, linear.Texels[0].z);
    EXPECT_EQ(1.0f * 0.003921569f, linear.Texels[1].x);

    FloatImage squared;
    ASSERT_TRUE(squared.Load(path, 2.0f));
    EXPECT_EQ(1.0f, squared.Texels[0].x);
    EXPECT_NEAR(0.252f, squared.Texels[0].y, 0.0005f);
    EXPECT_EQ(static_cast<float>(std::pow(static_cast<double>(128.0f * 0.003921569f), 2.0)),
              squared.Texels[0].y);
}

TEST(FloatImageTest, ThirtyTwoBitTopLeftRedIsTheFirstTexel) {
    // Alpha differs per pixel and must leave no trace.
    const std::string path =
        SaveBytes(ScratchFolder("bgra") + "/rgba.bmp", FIF_BMP, 2, 2, 32,
                  {{255, 0, 0, 0}, {0, 255, 0, 255}, {0, 0, 255, 17}, {255, 255, 255, 128}});
    FloatImage image;
    ASSERT_TRUE(image.Load(path, 2.2f));
    EXPECT_EQ(Vector3(1.0f, 0.0f, 0.0f), image.Texels[0]);
    EXPECT_EQ(Vector3(0.0f, 1.0f, 0.0f), image.Texels[1]);
    EXPECT_EQ(Vector3(0.0f, 0.0f, 1.0f), image.Texels[2]);
    EXPECT_EQ(Vector3(1.0f, 1.0f, 1.0f), image.Texels[3]);
}

// Palettised and greyscale pictures are converted to 24-bit colour and then read like any
// 24-bit picture: same scaling, same gamma, same orientation.
TEST(FloatImageTest, SmallIntegerPicturesAreReadLikeTwentyFourBit) {
    const std::string folder = ScratchFolder("small");
    const float byte = 0.003921569f;
    const auto greyRamp = [](BYTE* scanline, int x, int row) {
        scanline[x] = static_cast<BYTE>(row == 0 ? 255 * x : 128);
    };

    FloatImage grey;
    ASSERT_TRUE(
        grey.Load(SavePicture(folder + "/grey.png", FIF_PNG, FIT_BITMAP, 2, 2, 8, greyRamp), 1.0f));
    EXPECT_EQ(Vector3(0.0f, 0.0f, 0.0f), grey.Texels[0]);
    EXPECT_EQ(Vector3(1.0f, 1.0f, 1.0f), grey.Texels[1]);
    EXPECT_EQ(Vector3(128 * byte, 128 * byte, 128 * byte), grey.Texels[2]);
    FloatImage greySquared;
    ASSERT_TRUE(greySquared.Load(folder + "/grey.png", 2.0f));
    EXPECT_NEAR(0.252f, greySquared.Texels[2].x, 0.0005f);

    // A colour palette: entry 0 orange, entry 1 blue; top-left pixel orange.
    const auto colourPalette = [](FIBITMAP* bitmap) {
        RGBQUAD* palette = FreeImage_GetPalette(bitmap);
        palette[0] = {};
        palette[0].rgbRed = 255;
        palette[0].rgbGreen = 140;
        palette[1] = {};
        palette[1].rgbBlue = 255;
    };
    const auto firstEntryTopLeft = [](BYTE* scanline, int x, int row) {
        scanline[x] = static_cast<BYTE>(x == 0 && row == 0 ? 0 : 1);
    };
    FloatImage palettised;
    ASSERT_TRUE(palettised.Load(SavePicture(folder + "/palette.bmp", FIF_BMP, FIT_BITMAP, 2, 2, 8,
                                            firstEntryTopLeft, 0, colourPalette),
                                1.0f));
    EXPECT_EQ(Vector3(1.0f, 140 * byte, 0.0f), palettised.Texels[0]);
    EXPECT_EQ(Vector3(0.0f, 0.0f, 1.0f), palettised.Texels[3]);

    // 4 bits: two pixels per byte, the first in the high nibble.
    const auto fourBit = [](BYTE* scanline, int x, int row) {
        if (x == 0) {
            scanline[0] = static_cast<BYTE>(row == 0 ? 0x01 : 0x11);
        }
    };
    FloatImage nibbles;
    ASSERT_TRUE(nibbles.Load(
        SavePicture(folder + "/four.bmp", FIF_BMP, FIT_BITMAP, 2, 2, 4, fourBit, 0, colourPalette),
        1.0f));
    EXPECT_EQ(Vector3(1.0f, 140 * byte, 0.0f), nibbles.Texels[0]);
    EXPECT_EQ(Vector3(0.0f, 0.0f, 1.0f), nibbles.Texels[1]);
    EXPECT_EQ(Vector3(0.0f, 0.0f, 1.0f), nibbles.Texels[2]);

    // 1 bit: the top-left pixel is the most significant bit of the top row's first byte.
    const auto oneBit = [](BYTE* scanline, int x, int row) {
        if (x == 0) {
            scanline[0] = static_cast<BYTE>(row == 0 ? 0x80 : 0x00);
        }
    };
    FloatImage bits;
    ASSERT_TRUE(bits.Load(
        SavePicture(folder + "/one.bmp", FIF_BMP, FIT_BITMAP, 2, 2, 1, oneBit, 0, colourPalette),
        1.0f));
    EXPECT_EQ(Vector3(0.0f, 0.0f, 1.0f), bits.Texels[0]);
    EXPECT_EQ(Vector3(1.0f, 140 * byte, 0.0f), bits.Texels[1]);
    EXPECT_EQ(Vector3(1.0f, 140 * byte, 0.0f), bits.Texels[3]);
}

// Sixteen-bit channels become float RGB scaled to 0..1 with their full precision; single floats
// are spread over the three channels unclamped.
TEST(FloatImageTest, SixteenBitAndSingleFloatPicturesAreScaled) {
    const std::string folder = ScratchFolder("wide");

    FloatImage grey;
    ASSERT_TRUE(grey.Load(SavePicture(folder + "/grey16.png", FIF_PNG, FIT_UINT16, 3, 2, 16,
                                      [](BYTE* scanline, int x, int row) {
                                          const uint16_t values[3] = {0, 65535, 1000};
                                          reinterpret_cast<uint16_t*>(scanline)[x] =
                                              static_cast<uint16_t>(row == 0 ? values[x] : 32768);
                                      }),
                          1.0f));
    EXPECT_EQ(3u, grey.Width);
    EXPECT_EQ(Vector3(0.0f, 0.0f, 0.0f), grey.Texels[0]);
    EXPECT_EQ(Vector3(1.0f, 1.0f, 1.0f), grey.Texels[1]);
    EXPECT_NEAR(1000.0f / 65535.0f, grey.Texels[2].x, 1e-7f);
    EXPECT_EQ(grey.Texels[2].x, grey.Texels[2].z);
    EXPECT_NEAR(32768.0f / 65535.0f, grey.Texels[3].y, 1e-7f);
    FloatImage greySquared;
    ASSERT_TRUE(greySquared.Load(folder + "/grey16.png", 2.0f));
    EXPECT_NEAR(std::pow(32768.0 / 65535.0, 2.0), greySquared.Texels[3].y, 1e-6);

    FloatImage rgb;
    ASSERT_TRUE(rgb.Load(SavePicture(folder + "/rgb16.png", FIF_PNG, FIT_RGB16, 1, 2, 48,
                                     [](BYTE* scanline, int, int row) {
                                         *reinterpret_cast<FIRGB16*>(scanline) =
                                             row == 0 ? FIRGB16{65535, 0, 13107}
                                                      : FIRGB16{0, 65535, 0};
                                     }),
                         1.0f));
    EXPECT_NEAR(1.0f, rgb.Texels[0].x, 1e-7f);
    EXPECT_NEAR(0.2f, rgb.Texels[0].z, 1e-7f);
    EXPECT_NEAR(1.0f, rgb.Texels[1].y, 1e-7f);

    FloatImage rgba;
    ASSERT_TRUE(
        rgba.Load(SavePicture(folder + "/rgba16.png", FIF_PNG, FIT_RGBA16, 1, 1, 64,
                              [](BYTE* scanline, int, int) {
                                  *reinterpret_cast<FIRGBA16*>(scanline) = {0, 13107, 65535, 0};
                              }),
                  1.0f));
    ExpectNear({0.0f, 0.2f, 1.0f}, rgba.Texels[0], 1e-7f);

    FloatImage single;
    ASSERT_TRUE(single.Load(SavePicture(folder + "/grey.pfm", FIF_PFM, FIT_FLOAT, 1, 2, 32,
                                        [](BYTE* scanline, int, int row) {
                                            *reinterpret_cast<float*>(scanline) =
                                                row == 0 ? 3.5f : 0.25f;
                                        }),
                            1.0f));
    EXPECT_EQ(Vector3(3.5f, 3.5f, 3.5f), single.Texels[0]);
    EXPECT_EQ(Vector3(0.25f, 0.25f, 0.25f), single.Texels[1]);
    FloatImage singleSquared;
    ASSERT_TRUE(singleSquared.Load(folder + "/grey.pfm", 2.0f));
    EXPECT_EQ(Vector3(12.25f, 12.25f, 12.25f), singleSquared.Texels[0]);
}

TEST(FloatImageTest, PicturesWithoutColourMeaningAreRejected) {
    const std::string folder = ScratchFolder("meaningless");
    const std::string signedPath = SavePicture(
        folder + "/signed.tif", FIF_TIFF, FIT_INT16, 2, 2, 16,
        [](BYTE* scanline, int x, int) { reinterpret_cast<int16_t*>(scanline)[x] = -5; });
    const std::string doublePath = SavePicture(
        folder + "/double.tif", FIF_TIFF, FIT_DOUBLE, 2, 2, 64,
        [](BYTE* scanline, int x, int) { reinterpret_cast<double*>(scanline)[x] = 0.5; });
    // 128 bits a pixel like float RGBA, but two doubles.
    const std::string complexPath = SavePicture(
        folder + "/complex.tif", FIF_TIFF, FIT_COMPLEX, 2, 2, 128, [](BYTE* scanline, int x, int) {
            reinterpret_cast<FICOMPLEX*>(scanline)[x] = {0.5, 0.25};
        });
    for (const std::string& path : {signedPath, doublePath, complexPath}) {
        // FreeImage itself reads them; the refusal is ours.
        FIBITMAP* bitmap = FreeImage_Load(FIF_TIFF, path.c_str(), 0);
        ASSERT_NE(nullptr, bitmap) << path;
        const FREE_IMAGE_TYPE type = FreeImage_GetImageType(bitmap);
        FreeImage_Unload(bitmap);
        EXPECT_TRUE(type == FIT_INT16 || type == FIT_DOUBLE || type == FIT_COMPLEX) << path;
        FloatImage image;
        EXPECT_FALSE(image.Load(path, 1.0f)) << path;
        EXPECT_TRUE(image.IsEmpty());
        EXPECT_EQ(0u, image.Width);
        EXPECT_EQ(path, image.Name);
    }
}

TEST(FloatImageTest, UndecodableFilesFailAndKeepTheName) {
    const std::string folder = ScratchFolder("broken");
    // A real PNG cut short inside its image data.
    uint32_t noise = 12345u;
    const std::string whole = SavePicture(
        folder + "/whole.png", FIF_PNG, FIT_BITMAP, 64, 64, 24, [&](BYTE* scanline, int x, int) {
            for (int c = 0; c < 3; ++c) {
                noise = noise * 1664525u + 1013904223u;
                scanline[3 * x + c] = static_cast<BYTE>(noise >> 24);
            }
        });
    const std::string bytes = ReadBytes(whole);
    ASSERT_GT(bytes.size(), 10000u);
    const std::vector<std::string> paths = {
        folder + "/missing.png",
        WriteFile(folder + "/text.png", "This is not a picture.\n"),
        WriteFile(folder + "/text.xyz", "Neither is this.\n"),
        WriteFile(folder + "/empty.png", ""),
        WriteFile(folder + "/truncated.png", bytes.substr(0, bytes.size() / 2)),
        folder,
        "",
    };
    for (const std::string& path : paths) {
        FloatImage image;
        EXPECT_FALSE(image.Load(path, 1.0f)) << path;
        EXPECT_EQ(path, image.Name);
        EXPECT_TRUE(image.IsEmpty());
        EXPECT_EQ(0u, image.Height);
        EXPECT_EQ(0.0f, image.InvWidth);
        EXPECT_EQ(Vector3(), image.Lookup(0.5f, 0.5f));
    }
    FloatImage image;
    EXPECT_TRUE(image.Load(whole, 1.0f));
}

TEST(FloatImageTest, BackslashesInTheNameAreReadAsSlashes) {
    const std::string folder = ScratchFolder("windows");
    SaveRgbf(folder + "/tex.pfm", 1, 1, {kC});
    const std::string written = folder + "\\tex.pfm";
    FloatImage image;
    ASSERT_TRUE(image.Load(written, 1.0f));
    EXPECT_EQ(written, image.Name);
    EXPECT_EQ(kC, image.Texels[0]);
}

TEST(FloatImageTest, LoadingAgainReplacesEverything) {
    const std::string folder = ScratchFolder("again");
    const std::string quad = SaveRgbf(folder + "/quad.pfm", 2, 2, {kA, kB, kC, kD});
    FloatImage image;
    ASSERT_TRUE(image.Load(quad, 1.0f));
    EXPECT_FALSE(image.Load(image.Name + ".gone", 1.0f));
    EXPECT_EQ(quad + ".gone", image.Name);
    EXPECT_TRUE(image.IsEmpty());
    ASSERT_TRUE(image.Load(quad, 1.0f));
    EXPECT_EQ(4u, image.Texels.size());
}

class RealPicturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HasSharedData()) {
            GTEST_SKIP() << "shared test data not found at " << SharedDataPath("");
        }
    }
    static FloatImage LoadShared(const std::string& relative) {
        FloatImage image;
        EXPECT_TRUE(image.Load(SharedDataPath(relative), 1.0f)) << relative;
        return image;
    }
};

TEST_F(RealPicturesTest, EveryFileLoadsWithItsSizeAndFiniteValues) {
    struct Expected {
        const char* file;
        uint32_t width;
        uint32_t height;
        bool lowDynamicRange;
    };
    const Expected files[] = {
        {"images/coffee.png", 600, 400, true},
        {"images/rocket.jpg", 640, 427, true},
        {"images/rosewood_veneer1_diff_1k.jpg", 1024, 1024, true},
        {"images/rosewood_veneer1_nor_gl_1k.png", 1024, 1024, true},
        {"images/metal_plate_disp_1k.png", 1024, 1024, true},
        {"images/kenney_prototype_orange_texture_01.png", 1024, 1024, true},
        {"images/TacentTestPattern32.tga", 1280, 720, true},
        {"images/TacentTestPattern.jpg", 1280, 720, true},
        {"images/Desk.exr", 644, 874, false},
        {"env/rooitou_park_1k.hdr", 1024, 512, false},
        {"env/studio_small_03_1k.hdr", 1024, 512, false},
        {"env/KernerEnvLatLong.exr", 1024, 512, false},
        {"env/OrientationLatLong.exr", 1024, 512, false},
        {"env/WavyLinesLatLong.exr", 1024, 512, false},
    };
    for (const Expected& expected : files) {
        const FloatImage image = LoadShared(expected.file);
        EXPECT_EQ(expected.width, image.Width) << expected.file;
        EXPECT_EQ(expected.height, image.Height) << expected.file;
        ASSERT_EQ(static_cast<std::size_t>(expected.width) * expected.height, image.Texels.size());
        EXPECT_EQ(1.0f / static_cast<float>(expected.width), image.InvWidth);
        bool allFinite = true;
        bool inUnitRange = true;
        for (const Vector3& t : image.Texels) {
            for (int c = 0; c < 3; ++c) {
                allFinite = allFinite && std::isfinite(t[c]);
                inUnitRange = inUnitRange && t[c] >= 0.0f && t[c] <= 1.0f;
            }
        }
        EXPECT_TRUE(allFinite) << expected.file;
        if (expected.lowDynamicRange) {
            EXPECT_TRUE(inUnitRange) << expected.file;
        }
    }
}

// The TGA stores its bottom row first; read upright it matches its JPEG twin in the two opaque
// photo quadrants (top-right and bottom-left), and read upside down it does not.
TEST_F(RealPicturesTest, BottomUpTgaMatchesItsJpegTwin) {
    const FloatImage tga = LoadShared("images/TacentTestPattern32.tga");
    const FloatImage jpeg = LoadShared("images/TacentTestPattern.jpg");
    ASSERT_EQ(jpeg.Texels.size(), tga.Texels.size());
    const auto rootMeanSquare = [&](bool flipped) {
        double sum = 0.0;
        std::size_t count = 0;
        for (uint32_t y = 0; y < tga.Height; ++y) {
            for (uint32_t x = 0; x < tga.Width; ++x) {
                const bool topRight = x >= tga.Width / 2 && y < tga.Height / 2;
                const bool bottomLeft = x < tga.Width / 2 && y >= tga.Height / 2;
                if (!topRight && !bottomLeft) {
                    continue;
                }
                const Vector3 d =
                    TexelAt(tga, x, flipped ? tga.Height - 1 - y : y) - TexelAt(jpeg, x, y);
                sum += d.LengthSquared();
                count += 3;
            }
        }
        return std::sqrt(sum / static_cast<double>(count));
    };
    EXPECT_LT(rootMeanSquare(false), 0.03);
    EXPECT_GT(rootMeanSquare(true), 0.2);
}

// The white "WALL" lettering sits in the top-left corner of the orange palettised grid.
TEST_F(RealPicturesTest, PalettisedPngIsUpright) {
    const FloatImage image = LoadShared("images/kenney_prototype_orange_texture_01.png");
    ExpectNear({1.0f, 140.0f / 255.0f, 0.0f}, TexelAt(image, 300, 300));
    int lettering = 0;
    int mirroredDown = 0;
    int mirroredAcross = 0;
    for (uint32_t y = 36; y < 62; ++y) {
        for (uint32_t x = 32; x < 122; ++x) {
            lettering += TexelAt(image, x, y).z > 0.8f;
            mirroredDown += TexelAt(image, x, image.Height - 1 - y).z > 0.8f;
            mirroredAcross += TexelAt(image, image.Width - 1 - x, y).z > 0.8f;
        }
    }
    EXPECT_GT(lettering, 500);
    EXPECT_EQ(0, mirroredDown);
    EXPECT_EQ(0, mirroredAcross);
}

// Greyscale 16-bit heights keep every level: the file's extremes are 122 and 64956 of 65535.
TEST_F(RealPicturesTest, SixteenBitGreyHeightsKeepTheirPrecision) {
    const FloatImage image = LoadShared("images/metal_plate_disp_1k.png");
    float low = 1.0f;
    float high = 0.0f;
    for (const Vector3& t : image.Texels) {
        ASSERT_EQ(t.x, t.y);
        ASSERT_EQ(t.x, t.z);
        low = std::min(low, t.x);
        high = std::max(high, t.x);
    }
    EXPECT_NEAR(122.0 / 65535.0, low, 1e-7);
    EXPECT_NEAR(64956.0 / 65535.0, high, 1e-7);
}

// A tangent-space normal map: red and green hover around one half, blue near one.
TEST_F(RealPicturesTest, SixteenBitNormalMapIsNearlyFlat) {
    const FloatImage image = LoadShared("images/rosewood_veneer1_nor_gl_1k.png");
    Vector3 sum;
    bool finerThanBytes = false;
    for (const Vector3& t : image.Texels) {
        EXPECT_NEAR(0.5f, t.x, 0.05f);
        EXPECT_NEAR(0.5f, t.y, 0.05f);
        EXPECT_GT(t.z, 0.95f);
        const float level = t.x * 65535.0f;
        finerThanBytes = finerThanBytes || std::fmod(std::round(level), 257.0f) != 0.0f;
        sum += t;
    }
    const Vector3 mean = sum * (1.0f / static_cast<float>(image.Texels.size()));
    EXPECT_NEAR(0.5f, mean.x, 0.01f);
    EXPECT_NEAR(0.5f, mean.y, 0.01f);
    EXPECT_TRUE(finerThanBytes);
}

// The stained-glass window fills the top of the picture, the dark desk the bottom.
TEST_F(RealPicturesTest, ScanlineExrIsHighDynamicRangeAndUpright) {
    const FloatImage image = LoadShared("images/Desk.exr");
    double top = 0.0;
    double bottom = 0.0;
    float brightest = 0.0f;
    for (uint32_t y = 0; y < image.Height / 3; ++y) {
        for (uint32_t x = 0; x < image.Width; ++x) {
            top += Luminance(TexelAt(image, x, y));
            bottom += Luminance(TexelAt(image, x, image.Height - 1 - y));
        }
    }
    for (const Vector3& t : image.Texels) {
        brightest = std::max({brightest, t.x, t.y, t.z});
    }
    EXPECT_GT(top, 20.0 * bottom);
    EXPECT_GT(brightest, 100.0f);
}

// The sun of each Radiance map sits where its publisher measured it, counted from the top row.
TEST_F(RealPicturesTest, RadianceMapsPeakAtTheirSun) {
    struct Peak {
        const char* file;
        uint32_t x;
        uint32_t y;
        float luminance;
    };
    for (const Peak& expected : {Peak{"env/rooitou_park_1k.hdr", 614, 226, 6.5e4f},
                                 Peak{"env/studio_small_03_1k.hdr", 235, 133, 3.4e3f}}) {
        const FloatImage image = LoadShared(expected.file);
        uint32_t peakIndex = 0;
        for (uint32_t i = 0; i < image.Texels.size(); ++i) {
            if (Luminance(image.Texels[i]) > Luminance(image.Texels[peakIndex])) {
                peakIndex = i;
            }
        }
        EXPECT_EQ(expected.x, peakIndex % image.Width) << expected.file;
        EXPECT_EQ(expected.y, peakIndex / image.Width) << expected.file;
        EXPECT_NEAR(expected.luminance, Luminance(image.Texels[peakIndex]),
                    0.05f * expected.luminance);
    }
}

// Tiled, mip-mapped EXRs come in at full resolution: the low sun of the car park lies above the
// horizon, and the seam-test map's first and last columns continue each other.
TEST_F(RealPicturesTest, TiledExrLoadsTheFullLevelUpright) {
    const FloatImage kerner = LoadShared("env/KernerEnvLatLong.exr");
    uint32_t peakIndex = 0;
    for (uint32_t i = 0; i < kerner.Texels.size(); ++i) {
        if (Luminance(kerner.Texels[i]) > Luminance(kerner.Texels[peakIndex])) {
            peakIndex = i;
        }
    }
    EXPECT_LT(peakIndex / kerner.Width, kerner.Height / 2);
    EXPECT_GT(Luminance(kerner.Texels[peakIndex]), 1000.0f);

    const FloatImage wavy = LoadShared("env/WavyLinesLatLong.exr");
    double acrossSeam = 0.0;
    double acrossMiddle = 0.0;
    for (uint32_t y = 0; y < wavy.Height; ++y) {
        acrossSeam += (TexelAt(wavy, 0, y) - TexelAt(wavy, wavy.Width - 1, y)).Length();
        acrossMiddle += (TexelAt(wavy, 0, y) - TexelAt(wavy, wavy.Width / 2, y)).Length();
    }
    EXPECT_LT(acrossSeam, 0.05 * acrossMiddle);
}

TEST_F(RealPicturesTest, TruncatedRealPngFails) {
    const std::string bytes = ReadBytes(SharedDataPath("images/coffee.png"));
    ASSERT_GT(bytes.size(), 100000u);
    const std::string path =
        WriteFile(ScratchFolder("truncated") + "/coffee.png", bytes.substr(0, 100000));
    FloatImage image;
    EXPECT_FALSE(image.Load(path, 1.0f));
    EXPECT_TRUE(image.IsEmpty());
}

}  // namespace
}  // namespace glintor
