// What the summed films of a group's ranks may claim: a block counts only once every rank has
// rendered its part of it.
#pragma once

#include <cstdint>
#include <vector>

namespace glintor {

class RenderGroupBase;
struct FilmFileContents;
struct RenderJob;

// One rank's film values, or a snapshot of them: sums and weights, 4 floats per pixel, and the
// guide passes (null without), in rows of the picture's width.
struct FilmValues {
    float* radiance = nullptr;
    float* passes = nullptr;
};

// Called by every rank of the group, with the blocks whose parts it has rendered (partsDone)
// and the values holding them, before the values are summed. Where another rank has not rendered
// its part, the block is put back as the run found it: the resumed film's values on rank 0 (start,
// when there is one) and nothing on the others. So the sum holds all of a block's new samples or
// none: it claims just what it holds, and each pixel's samples are the first of its sequence (a
// stop that reached some ranks between blocks would otherwise leave gaps in them). Answers the
// samples per pixel the sum holds per block, in build order.
std::vector<uint32_t> KeepBlocksEveryRankRendered(RenderGroupBase& group, const RenderJob& job,
                                                  const std::vector<uint8_t>& doneHere,
                                                  FilmValues values,
                                                  const FilmFileContents* start);

}  // namespace glintor
