#include "app/statistics_log.h"

#include <cerrno>
#include <cstdio>

#include "app/fixed_fields.h"
#include "app/version.h"
#include "platform/platform.h"

namespace glintor {

namespace {

constexpr const char* ColumnHeader =
    "Version Date       Time   s/p       s/s       r/p        Samples Depth Lights Objects "
    "Triangles Resolution Threads";
constexpr size_t RowLength = 115;

}  // namespace

std::string FormatStatisticsRow(const RenderStatistics& stats, const std::tm& date) {
    std::string row(RowLength, ' ');
    const double t = stats.seconds;
    WriteField(row, 0, 8, std::string("v0.") + BuildString);
    WriteField(row, 8, 10,
               FormatField("%.2d/%.2d/%.4d", date.tm_mon + 1, date.tm_mday, date.tm_year + 1900));
    if (t > 3600.0) {
        WriteField(row, 19, 6, FormatField("%0.2fh", t / 3600.0));
    } else if (t > 60.0) {
        WriteField(row, 19, 6, FormatField("%0.2fm", t / 60.0));
    } else {
        WriteField(row, 19, 6, FormatField("%0.2fs", t));
    }
    WriteField(row, 26, 10, FormatField("%5.2f", stats.samplesPerPixel));
    WriteField(row, 36, 10, FormatField("%7.2fK", stats.kiloSamplesPerSecond));
    WriteField(row, 46, 10, FormatField("%7.2fK", stats.kiloRaysPerSecond));
    WriteField(row, 57, 6, FormatField("%ux%u", stats.samples, stats.shadowRays));
    WriteField(row, 65, 6, FormatField("%u", stats.maxDepth));
    WriteField(row, 71, 6, FormatField("%u", stats.lights));
    WriteField(row, 78, 6, FormatField("%u", stats.objects));
    WriteField(row, 86, 6, FormatField("%u", stats.triangles));
    WriteField(row, 96, 10, FormatField("%ux%u", stats.width, stats.height));
    WriteField(row, 107, 6, FormatField("%u", stats.threads));
    return TrimBlanks(row) + (stats.resumed ? "  resumed" : "");
}

std::string LogNameOf(const std::string& imageName) {
    return imageName + ".txt";
}

int AppendStatistics(const std::string& imageName, const RenderStatistics& stats,
                     const std::tm& date) {
    const std::string logName = LogNameOf(imageName);
    const bool isNew = !FileExists(logName);
    std::FILE* log = std::fopen(logName.c_str(), "a");
    if (log == nullptr) {
        return errno;
    }
    errno = 0;
    if (isNew) {
        std::fprintf(log, "Glintor output for %s\n\n", imageName.c_str());
        std::fputs(ColumnHeader, log);
        std::fprintf(log, "\n%s", std::string(114, '-').c_str());
    }
    std::fprintf(log, "\n%s", FormatStatisticsRow(stats, date).c_str());
    const int writeError = std::ferror(log) != 0 ? (errno != 0 ? errno : EIO) : 0;
    if (std::fclose(log) != 0) {
        return errno;
    }
    return writeError;
}

}  // namespace glintor
