#include "tests/support/film_claims.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace glintor::testing {

int CheckBlockClaims(const FilmFileContents& film, const std::vector<uint32_t>& possible) {
    const FilmFileHeader& header = film.header;
    const uint32_t all = static_cast<uint32_t>(header.samplesPerPixel);
    int complete = 0;
    for (const uint32_t samples : header.blockSamples) {
        EXPECT_NE(std::find(possible.begin(), possible.end(), samples), possible.end())
            << samples << " of " << all;
        complete += samples == all ? 1 : 0;
    }
    // Blocks are numbered row by row from the film's first row, a narrower block closing a row.
    const int size = header.blockSize;
    const int columns = (header.width + size - 1) / size;
    for (int y = 0; y < header.height; ++y) {
        for (int x = 0; x < header.width; ++x) {
            const size_t block = static_cast<size_t>(y / size * columns + x / size);
            const float weight = film.radiance[(static_cast<size_t>(y) * header.width + x) * 4 + 3];
            if (weight != static_cast<float>(header.blockSamples.at(block))) {
                ADD_FAILURE() << "pixel " << x << "," << y << " weighs " << weight
                              << " in a block that claims " << header.blockSamples[block];
                return complete;
            }
        }
    }
    return complete;
}

}  // namespace glintor::testing
