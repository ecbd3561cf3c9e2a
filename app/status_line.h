// The figures shown while rendering: elapsed time, samples per pixel, samples and rays per
// second. The preview writes them into fixed fields of its bottom overlay line; the headless run
// prints the same texts in its progress line, and the statistics log records the same values.
#pragma once

#include <cstdint>
#include <string>

namespace glintor {

struct StatusFigures {
    double seconds = 0.0;
    double samplesPerPixel = 0.0;
    double kiloSamplesPerSecond = 0.0;
    double kiloRaysPerSecond = 0.0;
};

inline constexpr size_t StatusLineLength = 58;

// Computed in double precision with 1/t formed once; a zero time gives zero rates.
StatusFigures ComputeStatusFigures(double seconds, uint64_t sampleTotal, uint64_t rayTotal,
                                   uint64_t pixelCount);

std::string FormatTimeField(
    double seconds);  // "Time: %5.2fs", "...m" above 60 s, "...h" above 3600 s
std::string FormatSamplesPerPixelField(const StatusFigures& f);   // "s/p: %5.2f"
std::string FormatSamplesPerSecondField(const StatusFigures& f);  // "s/s: %7.2fK"
std::string FormatRaysPerSecondField(const StatusFigures& f);     // "r/s: %7.2fK"

// Writes the four fields into their columns (0, 14), (14, 14), (28, 15), (43, 15) of a line of
// StatusLineLength characters.
void WriteStatusFields(std::string& line, const StatusFigures& f);

}  // namespace glintor
