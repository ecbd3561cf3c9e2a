// Rendering without a window: the render threads run to the end while the main thread shows
// progress on standard error, then the picture is saved and the statistics logged exactly as the
// preview would. Used whenever no display can be opened.
#pragma once

#include <string>

#include "app/render_session.h"

namespace glintor {

// Waits for the render threads, then saves and logs through the session, the film file too
// when one is asked for (and at every checkpoint). A stop signal ends the render after the blocks
// in flight; what is done is then saved as usual and one line says so. Answers the exit status:
// 0, 1 when a picture, the log or the film could not be written, 128 + the signal's number after
// a stop.
int RunHeadless(RenderSession& session);

// "Rendering  42%  Time: ...  s/p: ...  s/s: ...  r/s: ...  left 1m 05s" for the figures so far.
std::string FormatProgressLine(uint32_t blocksDone, uint32_t blockCount,
                               const StatusFigures& figures);

}  // namespace glintor
