#include "app/status_line.h"

#include <gtest/gtest.h>

namespace glintor {
namespace {

TEST(StatusLine, TimeFieldUnits) {
    EXPECT_EQ(FormatTimeField(59.0), "Time: 59.00s");
    EXPECT_EQ(FormatTimeField(61.0), "Time:  1.02m");
    EXPECT_EQ(FormatTimeField(7200.0), "Time:  2.00h");
    EXPECT_EQ(FormatTimeField(3600.0), "Time: 60.00m");
}

TEST(StatusLine, FiguresAndFieldsInTheirColumns) {
    const StatusFigures f = ComputeStatusFigures(2.0, 614400, 3000000, 640 * 480);
    EXPECT_DOUBLE_EQ(f.samplesPerPixel, 2.0);
    EXPECT_DOUBLE_EQ(f.kiloSamplesPerSecond, 307.2);
    EXPECT_DOUBLE_EQ(f.kiloRaysPerSecond, 1500.0);

    std::string line(StatusLineLength, ' ');
    WriteStatusFields(line, f);
    EXPECT_EQ(line, "Time:  2.00s  s/p:  2.00    s/s:  307.20K  r/s: 1500.00K  ");
    EXPECT_EQ(line.size(), StatusLineLength);
}

TEST(StatusLine, ZeroTimeGivesZeroRates) {
    const StatusFigures f = ComputeStatusFigures(0.0, 100, 100, 0);
    EXPECT_EQ(f.kiloSamplesPerSecond, 0.0);
    EXPECT_EQ(f.kiloRaysPerSecond, 0.0);
    EXPECT_EQ(f.samplesPerPixel, 0.0);
}

TEST(StatusLine, LongFieldsAreCutAtTheirWidth) {
    std::string line(StatusLineLength, ' ');
    StatusFigures f;
    f.seconds = 1e7;  // "Time: 2777.78h" fills the 14 columns exactly
    f.kiloRaysPerSecond = 123456789.0;
    WriteStatusFields(line, f);
    EXPECT_EQ(line.substr(0, 14), "Time: 2777.78h");
    EXPECT_EQ(line.substr(43), "r/s: 123456789.");
}

}  // namespace
}  // namespace glintor
