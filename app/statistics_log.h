// One row of render statistics appended to a plain-text log beside the saved image, so that
// successive renders to the same image name build up a table for comparing settings and speed.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace glintor {

struct RenderStatistics {
    double seconds = 0.0;  // the render clock's total
    double samplesPerPixel = 0.0;
    double kiloSamplesPerSecond = 0.0;
    double kiloRaysPerSecond = 0.0;
    uint32_t samples = 0;
    uint32_t shadowRays = 0;
    uint32_t maxDepth = 0;
    uint32_t lights = 0;
    uint32_t objects = 0;
    uint32_t triangles = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t threads = 0;
    // The render went on from a film file; the row then counts this run's samples only.
    bool resumed = false;
};

// The row as written to the log: fixed columns, trimmed at both ends.
std::string FormatStatisticsRow(const RenderStatistics& stats, const std::tm& date);

// The log beside a picture: its whole name with ".txt" appended.
std::string LogNameOf(const std::string& imageName);

// Appends the row to "<imageName>.txt", writing the title and column header first when the file
// is new. Answers 0 when the row was written, otherwise the errno that stopped it.
int AppendStatistics(const std::string& imageName, const RenderStatistics& stats,
                     const std::tm& date);

}  // namespace glintor
