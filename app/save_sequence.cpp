#include "app/save_sequence.h"

#include <cstdio>
#include <cstring>

#include "app/statistics_log.h"

namespace glintor {

int SaveAndLog(const std::vector<ImageOutput>& outputs, const OutputWriter& write,
               const LogWriter& appendLog, bool announceSaved) {
    bool everySaved = true;
    bool firstSaved = false;
    for (size_t i = 0; i < outputs.size(); ++i) {
        const int error = write(outputs[i]);
        if (error != 0) {
            std::fprintf(stderr, "Could not save the image to '%s': %s\n", outputs[i].name.c_str(),
                         std::strerror(error));
            everySaved = false;
        } else if (i == 0) {
            firstSaved = true;
        }
    }
    bool logged = true;
    if (appendLog && firstSaved) {
        const std::string logName = LogNameOf(outputs.front().name);
        if (const int error = appendLog(outputs.front().name)) {
            std::fprintf(stderr, "Could not append the statistics to '%s': %s\n", logName.c_str(),
                         std::strerror(error));
            logged = false;
        }
    }
    std::fflush(stderr);
    if (everySaved && announceSaved) {
        std::printf("Saved\n");
        std::fflush(stdout);
    }
    return everySaved && logged ? 0 : 1;
}

}  // namespace glintor
