// Stopping a batch render cleanly. Schedulers send SIGTERM (or SIGINT, SIGHUP) some time before
// they kill a job; the first such signal is only recorded, so that the render can finish the
// blocks in flight and write what it has; a second one ends the process at once with status
// 128 + its number, removing the partial files being written so that no half-written file is
// left under any name.
#pragma once

namespace glintor {

// Installs the handlers for SIGTERM, SIGINT and SIGHUP, except for a signal the process ignores.
void CatchStopSignals();

// The first stop signal received since CatchStopSignals, or 0.
int StopSignal();

}  // namespace glintor
