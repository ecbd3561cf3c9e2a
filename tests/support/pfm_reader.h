// Reads a PFM file by hand, as any reader of the format would, so that the program's own writer
// is checked against the format rather than against itself.
#pragma once

#include <string>
#include <vector>

namespace glintor::testing {

struct PfmPicture {
    int width = 0;
    int height = 0;
    // Red, green, blue per pixel, the bottom row of the picture first as the format stores it.
    std::vector<float> rgb;
};

// An empty picture when the file is not a little-endian colour PFM of the size it declares.
PfmPicture ReadPfm(const std::string& path);

}  // namespace glintor::testing
