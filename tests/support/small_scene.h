// A small scene file that renders in a fraction of a second, for tests that run the whole
// program: a matte sphere on a plane under a point light.
#pragma once

#include <string>

namespace glintor::testing {

// The scene's text, saving to savedImage with the given threads and samples per pixel.
std::string SmallSceneText(const std::string& savedImage, int threads = 2, int samples = 2);

// The last row of a statistics log, or "" when there is none.
std::string LastLogRow(const std::string& logPath);

// A fixed-column field of a log row, blanks trimmed at both ends: Time at 19, Samples at 57, Depth
// at 65, Resolution at 96, Threads at 107 (see the log's header).
std::string LogField(const std::string& row, size_t column, size_t width);

}  // namespace glintor::testing
