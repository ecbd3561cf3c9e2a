// Writing the rendered image. The picture people look at is the film's mean radiance times the
// linear scale, clamped to [0, 1], through an exact gamma power, as a 24-bit PNG; the preview shows
// the same conversion through its table, so a pixel may differ by one step from the file. For
// compositing and tone mapping elsewhere the mean radiance itself is written as OpenEXR or PFM,
// both in 32-bit floats, so every finite value survives.
#pragma once

#include <cstdint>
#include <string>

namespace glintor {

class Film;

enum class PictureFormat { Png, Exr, Pfm };

// .exr and .pfm (in any case) name the linear formats; every other name a PNG.
PictureFormat FormatOfName(const std::string& name);

// Byte for one channel: clamp(sum * linearScale / weight, 0, 1) ^ (1 / gamma) * 255 + 0.5,
// truncated. A weight <= 0 or a NaN sum gives 0.
uint8_t SavedChannelByte(float sum, float weight, float linearScale, float gamma);

// Saves the film under name. The picture is first written to a partial file beside the target
// and then renamed over it, so a failed save leaves any earlier file intact. Answers 0, or the
// errno that stopped the save (no name, a folder that does not exist or cannot be written, ...).
int SaveImage(const Film& film, const std::string& name, float gamma, float linearScale);

// Saves the film's mean radiance (sum / weight, 0 where the weight is not above 0), before scale
// and gamma, in one of the linear formats, through a partial file like SaveImage; answers the same.
int SaveLinearImage(const Film& film, const std::string& name, PictureFormat format);

}  // namespace glintor
