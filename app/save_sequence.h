// The one way a run hands over its results: every picture is tried, each through a partial file
// and a rename, every failure is told with its reason, and the statistics row goes to the log
// only when the first picture (the one the log is named after) was saved. The window, the
// headless run and the ranks of a cluster all end through it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/image_output.h"

namespace glintor {

struct ImageOutput {
    std::string name;
    PictureFormat format = PictureFormat::Png;
};

// Writes one output; answers 0 or the errno that stopped it.
using OutputWriter = std::function<int(const ImageOutput& output)>;
// Appends the statistics row to the log of the named picture; answers 0 or the errno that
// stopped it.
using LogWriter = std::function<int(const std::string& imageName)>;

// Writes every output in order, then, when appendLog is given and the first output was saved,
// the log row beside it. Each failure is printed on standard error as "Could not save the image
// to '<name>': <reason>" or "Could not append the statistics to '<log>': <reason>"; with
// announceSaved, "Saved" goes to standard output when every picture was saved. Answers the exit
// status: 0 when everything was written, otherwise 1.
int SaveAndLog(const std::vector<ImageOutput>& outputs, const OutputWriter& write,
               const LogWriter& appendLog, bool announceSaved);

}  // namespace glintor
