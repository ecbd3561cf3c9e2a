#include "app/status_line.h"

#include "app/fixed_fields.h"

namespace glintor {

StatusFigures ComputeStatusFigures(double seconds, uint64_t sampleTotal, uint64_t rayTotal,
                                   uint64_t pixelCount) {
    StatusFigures f;
    f.seconds = seconds;
    const double samples = static_cast<double>(sampleTotal);
    const double rays = static_cast<double>(rayTotal);
    f.samplesPerPixel = pixelCount > 0 ? samples / static_cast<double>(pixelCount) : 0.0;
    // The clock can read 0 on the very first refresh; rates are then shown as 0, not inf.
    const double inverseTime = seconds > 0.0 ? 1.0 / seconds : 0.0;
    f.kiloSamplesPerSecond = samples * inverseTime * 0.001;
    f.kiloRaysPerSecond = rays * inverseTime * 0.001;
    return f;
}

std::string FormatTimeField(double t) {
    if (t > 3600.0) {
        return FormatField("Time: %5.2fh", t / 3600.0);
    }
    if (t > 60.0) {
        return FormatField("Time: %5.2fm", t / 60.0);
    }
    return FormatField("Time: %5.2fs", t);
}

std::string FormatSamplesPerPixelField(const StatusFigures& f) {
    return FormatField("s/p: %5.2f", f.samplesPerPixel);
}

std::string FormatSamplesPerSecondField(const StatusFigures& f) {
    return FormatField("s/s: %7.2fK", f.kiloSamplesPerSecond);
}

std::string FormatRaysPerSecondField(const StatusFigures& f) {
    return FormatField("r/s: %7.2fK", f.kiloRaysPerSecond);
}

void WriteStatusFields(std::string& line, const StatusFigures& f) {
    if (line.size() < StatusLineLength) {
        line.resize(StatusLineLength, ' ');
    }
    WriteField(line, 0, 14, FormatTimeField(f.seconds));
    WriteField(line, 14, 14, FormatSamplesPerPixelField(f));
    WriteField(line, 28, 15, FormatSamplesPerSecondField(f));
    WriteField(line, 43, 15, FormatRaysPerSecondField(f));
}

}  // namespace glintor
