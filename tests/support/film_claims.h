// What a film file claims against what its pixels hold, for tests of stopped and checkpointed
// renders.
#pragma once

#include <vector>

#include "formats/film_file.h"

namespace glintor::testing {

// Expects every block to claim one of the given samples per pixel, and every pixel's weight to be
// its block's claim: a film that holds part of a block, or claims samples it lacks, fails.
// Answers the number of blocks that hold all the samples asked for.
int CheckBlockClaims(const FilmFileContents& film, const std::vector<uint32_t>& possible);

}  // namespace glintor::testing
