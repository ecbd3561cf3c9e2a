// Pictures the window tests compare: screenshots of the preview and the PNG the program saved,
// both as 8-bit RGB with the top row first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace glintor::testing {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;

    bool operator==(const Rgb&) const = default;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::string name;  // a screenshot's window name
    std::vector<Rgb> pixels;

    const Rgb& At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Decodes an X Window Dump as written by `xwd` (version 7, true colour, 8 to 32 bits per pixel,
// either byte order); answers false, with the reason, for anything else.
bool ParseXwd(const std::string& bytes, Picture& picture, std::string& problem);

// Decodes a 24-bit PNG with FreeImage; answers false when it cannot be read.
bool LoadPng(const std::string& path, Picture& picture);

}  // namespace glintor::testing
