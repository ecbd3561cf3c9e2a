// Writing the rendered image: the film's mean radiance times the linear scale, clamped to [0, 1],
// through an exact gamma power, as a 24-bit PNG (whatever extension the name has). The preview
// shows the same conversion through its table, so a pixel may differ by one step from the file.
#pragma once

#include <cstdint>
#include <string>

namespace glintor {

class Film;

// Byte for one channel: clamp(sum * linearScale / weight, 0, 1) ^ (1 / gamma) * 255 + 0.5,
// truncated. A weight <= 0 or a NaN sum gives 0.
uint8_t SavedChannelByte(float sum, float weight, float linearScale, float gamma);

// Saves the film under name. The picture is first written beside the target and then renamed
// over it, so a failed save leaves any earlier file intact. Answers false when nothing could be
// written (no name, a folder that does not exist or cannot be written, no memory).
bool SaveImage(const Film& film, const std::string& name, float gamma, float linearScale);

}  // namespace glintor
