#include "app/whole_blocks.h"

#include <algorithm>

#include "app/render_group.h"
#include "formats/film_file.h"
#include "render/film.h"
#include "render/render_job.h"

namespace glintor {

namespace {

// The start values of one buffer when they cover the picture, or null (nothing).
const float* StartValues(const std::vector<float>& values, std::size_t expected) {
    return values.size() == expected ? values.data() : nullptr;
}

// Puts the block's values in one buffer back to from's, or to nothing without from.
void PutBack(const PixelBlock& block, int width, int channels, const float* from, float* to) {
    ForEachBlockRow(block, width, channels, [from, to](std::size_t first, std::size_t count) {
        if (from != nullptr) {
            std::copy_n(from + first, count, to + first);
        } else {
            std::fill_n(to + first, count, 0.0f);
        }
    });
}

}  // namespace

std::vector<uint32_t> KeepBlocksEveryRankRendered(RenderGroupBase& group, const RenderJob& job,
                                                  const std::vector<uint8_t>& doneHere,
                                                  FilmValues values,
                                                  const FilmFileContents* start) {
    std::vector<uint8_t> everyone = doneHere;
    group.AgreeOnBlocks(everyone);
    const std::size_t pixels = static_cast<std::size_t>(job.width) * job.height;
    const bool fromStart = start != nullptr && group.Rank() == 0;
    const float* startRadiance = fromStart ? StartValues(start->radiance, pixels * 4) : nullptr;
    const float* startPasses =
        fromStart ? StartValues(start->passes, pixels * Film::PassCount) : nullptr;
    const int width = static_cast<int>(job.width);
    for (uint32_t index = 0; index < everyone.size(); ++index) {
        if (doneHere[index] == 0 || everyone[index] != 0) {
            continue;
        }
        const PixelBlock block = job.BlockAt(index);
        PutBack(block, width, 4, startRadiance, values.radiance);
        if (values.passes != nullptr) {
            PutBack(block, width, Film::PassCount, startPasses, values.passes);
        }
    }
    return job.PictureSamples(everyone);
}

}  // namespace glintor
