// The one picture type of the renderer: image textures, bump and normal maps and the environment
// light all decode their files through it once, at scene load, into linear float RGB, and only
// ask it for bilinear, wrapping lookups while rendering.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "math/vector.h"

namespace glintor {

// FreeImage's plugin table is set up once per process, whichever thread asks first; everything
// that decodes or saves pictures calls this before its first FreeImage call.
void InitialiseFreeImage();

// A texture-coordinate pair as the scene file writes it (`u` then `v`); scale and offset of the
// image-based textures and maps.
struct UVPair {
    float u = 0.0f;
    float v = 0.0f;
};

// Where a hit with texture coordinates (u, v) samples a picture mapped with scale and offset.
inline UVPair MapCoordinates(const UVPair& scale, const UVPair& offset, float u, float v) {
    return {scale.u * (offset.u + u), scale.v * (offset.v + v)};
}

// Conventions: texel (i, j) lies at column i, row j, with row 0 the top row of the picture;
// its centre is at texture coordinate ((i + 0.5) / Width, (j + 0.5) / Height), so (0, 0) is the
// top-left corner and coordinates outside [0, 1) repeat the picture. Alpha is never kept.
struct FloatImage {
    std::string Name;  // the file name exactly as given to Load, for the callers' messages
    uint32_t Width = 0;
    uint32_t Height = 0;
    std::vector<Vector3> Texels;  // Width * Height linear RGB values, row-major, top row first
    float InvWidth = 0.0f;
    float InvHeight = 0.0f;

    // Decodes the file and raises every channel to the power gamma (a gamma of exactly 1 keeps
    // the values as decoded); 8-bit channels are divided by 255 first, 16-bit ones by 65535.
    // Every `\` of the name is read as `/`, so scene files written on Windows work unchanged.
    // Returns false when FreeImage cannot decode the file or its pixel type has no colour
    // meaning (signed or 32-bit integers, doubles, complex numbers), when the picture is larger
    // than PictureSizeAllowed takes, or when decoding it crashes or exceeds the decoding
    // process's memory or time (formats/decoder_process.h); the record then holds only the name
    // and stays empty.
    bool Load(const std::string& fileName, float gamma);

    bool IsEmpty() const { return Texels.empty(); }

    // Bilinear sample at (u, v), wrapping in both directions. An empty image answers black
    // instead of reading memory it does not have.
    Vector3 Lookup(float u, float v) const;
};

}  // namespace glintor
