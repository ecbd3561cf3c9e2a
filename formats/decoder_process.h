// Pictures are decoded in a child process: whatever a file does to the decoding library (a
// crash, an endless loop, gigabytes of allocation) stays in that child, and the renderer only
// sees a picture it cannot load.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
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

// How a picture is made in a child process; DecodeInChildProcess runs the decoder this way.
struct ChildPictureRun {
    // Runs in the child: writes the width and height (two uint32) and then every texel row to
    // out, and ends the process with status 0 when it stands by what it sent.
    std::function<void(int out)> produce;
    // The whole picture must have arrived by then, or the child is killed.
    std::chrono::milliseconds clockLimit = std::chrono::seconds(kDecoderClockSeconds);
    pid_t (*forkProcess)() = fork;
};

// Starts the child and receives its picture. False, with the outputs untouched, when the child
// cannot be started, sends a size beyond PictureSizeAllowed, sends less than the picture before
// the clock limit, or does not end with status 0.
bool ReceiveFromChild(const ChildPictureRun& run, uint32_t& width, uint32_t& height,
                      std::vector<Vector3>& texels);

}  // namespace glintor
