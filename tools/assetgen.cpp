// Writes the pictures the example scenes use, so that every image the project ships is one it
// made itself: a tile texture with its normal map, a greyscale bump map, and a small
// latitude-longitude environment picture in Radiance HDR format.
//
//   glintor_assetgen OUTPUT_FOLDER
#include <FreeImage.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "formats/float_image.h"
#include "math/vector.h"

namespace {

using glintor::Vector3;

constexpr float Pi = 3.14159265f;

// Tiles of 64 pixels with 6-pixel grooves between them; inside a groove the height falls off
// smoothly so the normal map has something to show.
float TileHeight(int x, int y) {
    const int tile = 64, groove = 6;
    const int u = x % tile, v = y % tile;
    const int edge = std::min({u, v, tile - 1 - u, tile - 1 - v});
    if (edge >= groove) {
        return 1.0f;
    }
    const float t = static_cast<float>(edge) / groove;
    return t * t * (3.0f - 2.0f * t);
}

bool SaveBytes(const std::string& path, int width, int height,
               const std::function<Vector3(int, int)>& pixel) {
    FIBITMAP* bitmap = FreeImage_Allocate(width, height, 24);
    if (bitmap == nullptr) {
        return false;
    }
    for (int y = 0; y < height; ++y) {
        BYTE* row = FreeImage_GetScanLine(bitmap, height - 1 - y);  // y = 0 is the top row
        for (int x = 0; x < width; ++x) {
            const Vector3 c = pixel(x, y);
            auto byte = [](float v) {
                return static_cast<BYTE>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
            };
            row[3 * x + FI_RGBA_RED] = byte(c.x);
            row[3 * x + FI_RGBA_GREEN] = byte(c.y);
            row[3 * x + FI_RGBA_BLUE] = byte(c.z);
        }
    }
    const bool saved = FreeImage_Save(FIF_PNG, bitmap, path.c_str(), 0) != FALSE;
    FreeImage_Unload(bitmap);
    return saved;
}

bool SaveFloat(const std::string& path, int width, int height,
               const std::function<Vector3(int, int)>& pixel) {
    FIBITMAP* bitmap = FreeImage_AllocateT(FIT_RGBF, width, height);
    if (bitmap == nullptr) {
        return false;
    }
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(bitmap, height - 1 - y));
        for (int x = 0; x < width; ++x) {
            const Vector3 c = pixel(x, y);
            row[x] = {c.x, c.y, c.z};
        }
    }
    const bool saved = FreeImage_Save(FIF_HDR, bitmap, path.c_str(), 0) != FALSE;
    FreeImage_Unload(bitmap);
    return saved;
}

Vector3 TileColour(int x, int y) {
    // Each tile gets its own slightly different warm tone; grooves are dark grout.
    const int tx = x / 64, ty = y / 64;
    const float shade = 0.85f + 0.15f * std::sin(static_cast<float>(tx * 7 + ty * 13));
    const Vector3 tileTone = Vector3(0.80f, 0.55f, 0.35f) * shade;
    const Vector3 grout(0.18f, 0.17f, 0.16f);
    const float h = TileHeight(x, y);
    return grout * (1.0f - h) + tileTone * h;
}

Vector3 TileNormal(int x, int y) {
    const int size = 256;
    auto height = [&](int px, int py) {
        return TileHeight((px + size) % size, (py + size) % size) * 4.0f;
    };
    const float dx = height(x + 1, y) - height(x - 1, y);
    const float dy = height(x, y + 1) - height(x, y - 1);
    // Tangent-space normal in 0..1, +y pointing up the picture.
    const Vector3 n = Vector3(-dx * 0.5f, dy * 0.5f, 1.0f).Normalized();
    return n * 0.5f + Vector3(0.5f, 0.5f, 0.5f);
}

Vector3 BumpDots(int x, int y) {
    const float u = (static_cast<float>(x % 32) - 15.5f) / 12.0f;
    const float v = (static_cast<float>(y % 32) - 15.5f) / 12.0f;
    const float r2 = u * u + v * v;
    const float h = r2 < 1.0f ? std::sqrt(1.0f - r2) : 0.0f;
    return {h, h, h};
}

// A soft sky over a dark ground with a bright warm "window" and a cool fill on the other side.
Vector3 Environment(int x, int y, int width, int height) {
    const float phi = (static_cast<float>(x) + 0.5f) / width * 2.0f * Pi;
    const float theta = (static_cast<float>(y) + 0.5f) / height * Pi;
    const float up = std::cos(theta);
    Vector3 c = up > 0.0f ? Vector3(0.35f, 0.45f, 0.65f) * (0.4f + 0.6f * up)
                          : Vector3(0.12f, 0.10f, 0.08f);
    const float windowPhi = 0.8f, windowTheta = 1.0f;
    if (std::fabs(phi - windowPhi) < 0.35f && std::fabs(theta - windowTheta) < 0.25f) {
        c += Vector3(12.0f, 10.0f, 8.0f);
    }
    if (std::fabs(phi - 4.0f) < 0.5f && std::fabs(theta - 1.3f) < 0.2f) {
        c += Vector3(0.8f, 1.0f, 1.6f);
    }
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: glintor_assetgen OUTPUT_FOLDER\n");
        return 2;
    }
    glintor::InitialiseFreeImage();
    const std::string folder = argv[1];
    bool ok = true;
    ok &= SaveBytes(folder + "/tiles.png", 256, 256, TileColour);
    ok &= SaveBytes(folder + "/tiles_normal.png", 256, 256, TileNormal);
    ok &= SaveBytes(folder + "/dots_bump.png", 128, 128, BumpDots);
    ok &= SaveFloat(folder + "/studio_env.hdr", 256, 128,
                    [](int x, int y) { return Environment(x, y, 256, 128); });
    if (!ok) {
        std::fprintf(stderr, "glintor_assetgen: could not write every picture into %s\n",
                     folder.c_str());
        return 1;
    }
    return 0;
}
