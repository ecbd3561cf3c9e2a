#include "app/statistics_log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "tests/support/test_paths.h"

namespace glintor {
namespace {

std::tm FixedDate() {
    std::tm date{};
    date.tm_year = 2026 - 1900;
    date.tm_mon = 11;  // December
    date.tm_mday = 7;
    return date;
}

RenderStatistics Example() {
    RenderStatistics s;
    s.seconds = 12.5;
    s.samplesPerPixel = 32.0;
    s.kiloSamplesPerSecond = 785.25;
    s.kiloRaysPerSecond = 4321.5;
    s.samples = 32;
    s.shadowRays = 4;
    s.maxDepth = 6;
    s.lights = 3;
    s.objects = 9;
    s.triangles = 69451;
    s.width = 640;
    s.height = 480;
    s.threads = 2;
    return s;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(StatisticsLog, RowHasFixedColumnsAndNoTrailingBlanks) {
    const std::string row = FormatStatisticsRow(Example(), FixedDate());
    EXPECT_EQ(row,
              "v0.409  12/07/2026 12.50s 32.00      785.25K  4321.50K   32x4    6     3      "
              "9       69451     640x480    2");
    EXPECT_EQ(row.substr(57, 4), "32x4");
    EXPECT_NE(row.back(), ' ');
}

TEST(StatisticsLog, TimeColumnSwitchesUnits) {
    RenderStatistics s = Example();
    s.seconds = 90.0;
    EXPECT_EQ(FormatStatisticsRow(s, FixedDate()).substr(19, 6), "1.50m ");
    s.seconds = 7200.0;
    EXPECT_EQ(FormatStatisticsRow(s, FixedDate()).substr(19, 6), "2.00h ");
    s.seconds = 60.0;  // not above a minute: still seconds
    EXPECT_EQ(FormatStatisticsRow(s, FixedDate()).substr(19, 6), "60.00s");
    s.seconds = 360000.0;  // 100 hours is cut at the field width
    EXPECT_EQ(FormatStatisticsRow(s, FixedDate()).substr(19, 7), "100.00 ");
}

TEST(StatisticsLog, NewFileGetsHeaderThenRowsWithoutFinalLineEnd) {
    const std::string folder = testing::ScratchFolder("statistics_log");
    const std::string image = folder + "/out.png";
    const std::string row = FormatStatisticsRow(Example(), FixedDate());
    ASSERT_EQ(AppendStatistics(image, Example(), FixedDate()), 0);
    const std::string header =
        "Glintor output for " + image +
        "\n\nVersion Date       Time   s/p       s/s       r/p        Samples Depth Lights "
        "Objects Triangles Resolution Threads\n" +
        std::string(114, '-');
    EXPECT_EQ(ReadAll(image + ".txt"), header + "\n" + row);
    ASSERT_EQ(AppendStatistics(image, Example(), FixedDate()), 0);
    EXPECT_EQ(ReadAll(image + ".txt"), header + "\n" + row + "\n" + row);
}

TEST(StatisticsLog, UnwritableLogAnswersWhy) {
    EXPECT_EQ(AppendStatistics("/nonexistent-folder/out.png", Example(), FixedDate()), ENOENT);
}

}  // namespace
}  // namespace glintor
