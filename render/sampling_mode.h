// How the numbers of a path are drawn. Design draws every number from the thread's generator, as
// the renderer always has. LowNoise spreads each pixel's samples over scrambled low-discrepancy
// sequences and lets lights draw only points that can contribute, re-weighted so that the
// expected picture is Design's: less noise for the same samples, the same look.
#pragma once

namespace glintor {

enum class SamplingMode { Design, LowNoise };

}  // namespace glintor
