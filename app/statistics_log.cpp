#include "app/statistics_log.h"

#include <cstdio>

#include "app/fixed_fields.h"
#include "app/version.h"
#include "core/platform.h"

namespace glintor {

namespace {

constexpr const char* ColumnHeader =
    "Version Date       Time   s/p       s/s       r/p        Samples Depth Lights Objects "
    "Triangles Resolution Threads";
constexpr size_t RowLength = 115;

}  // namespace

std::string FormatStatisticsRow(const RenderStatistics& stats, const std::tm& date) {
    std::string row(RowLength, ' ');
    char text[64];
    const double t = stats.seconds;

    WriteField(row, 0, 8, std::string("v0.") + BuildString);
    std::snprintf(text, sizeof text, "%.2d/%.2d/%.4d", date.tm_mon + 1, date.tm_mday,
                  date.tm_year + 1900);
    WriteField(row, 8, 10, text);
    if (t > 3600.0) {
        std::snprintf(text, sizeof text, "%0.2fh", t / 3600.0);
    } else if (t > 60.0) {
        std::snprintf(text, sizeof text, "%0.2fm", t / 60.0);
    } else {
        std::snprintf(text, sizeof text, "%0.2fs", t);
    }
    WriteField(row, 19, 6, text);
    std::snprintf(text, sizeof text, "%5.2f", stats.samplesPerPixel);
    WriteField(row, 26, 10, text);
    std::snprintf(text, sizeof text, "%7.2fK", stats.kiloSamplesPerSecond);
    WriteField(row, 36, 10, text);
    std::snprintf(text, sizeof text, "%7.2fK", stats.kiloRaysPerSecond);
    WriteField(row, 46, 10, text);
    std::snprintf(text, sizeof text, "%ux%u", stats.samples, stats.shadowRays);
    WriteField(row, 57, 6, text);
    std::snprintf(text, sizeof text, "%u", stats.maxDepth);
    WriteField(row, 65, 6, text);
    std::snprintf(text, sizeof text, "%u", stats.lights);
    WriteField(row, 71, 6, text);
    std::snprintf(text, sizeof text, "%u", stats.objects);
    WriteField(row, 78, 6, text);
    std::snprintf(text, sizeof text, "%u", stats.triangles);
    WriteField(row, 86, 6, text);
    std::snprintf(text, sizeof text, "%ux%u", stats.width, stats.height);
    WriteField(row, 96, 10, text);
    std::snprintf(text, sizeof text, "%u", stats.threads);
    WriteField(row, 107, 6, text);
    return TrimBlanks(row);
}

bool AppendStatistics(const std::string& imageName, const RenderStatistics& stats,
                      const std::tm& date) {
    const std::string logName = imageName + ".txt";
    const bool isNew = !FileExists(logName);
    std::FILE* log = std::fopen(logName.c_str(), "a");
    if (log == nullptr) {
        return false;
    }
    if (isNew) {
        std::fprintf(log, "Glintor output for %s\n\n", imageName.c_str());
        std::fputs(ColumnHeader, log);
        std::fprintf(log, "\n%s", std::string(114, '-').c_str());
    }
    std::fprintf(log, "\n%s", FormatStatisticsRow(stats, date).c_str());
    return std::fclose(log) == 0;
}

}  // namespace glintor
