// Pictures are decoded in a child process: whatever a file does to the decoding library (a
// crash, an endless loop, gigabytes of allocation) stays in that child, and the renderer only
// sees a picture it cannot load.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "math/vector.h"

namespace glintor {

// What the decoding child may take: address space beyond what it inherits, processor time, and
// time on the clock (for a file that never ends, such as a pipe).
inline constexpr uint64_t kDecoderMemoryBytes = uint64_t{1} << 30;
inline constexpr unsigned kDecoderProcessorSeconds = 30;
inline constexpr int kDecoderClockSeconds = 60;

// Decodes the file with PictureDecoder in a forked child, which streams the texel rows back
// through a pipe, top row first. False, with the outputs untouched, when the picture cannot be
// decoded, is larger than PictureSizeAllowed takes, or the child fails, dies or runs out of its
// limits.
bool DecodeInChildProcess(const std::string& path, float gamma, uint32_t& width, uint32_t& height,
                          std::vector<Vector3>& texels);

}  // namespace glintor
