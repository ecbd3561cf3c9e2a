// Stopping a batch render cleanly. Schedulers send SIGTERM (or SIGINT, SIGHUP) some time before
// they kill a job; the first such signal is only recorded, so that the render can finish the
// blocks in flight and write what it has; a second one ends the process at once, removing the
// file that was being written so that no half-written file is left under any name.
#pragma once

namespace glintor {

// Installs the handlers for SIGTERM, SIGINT and SIGHUP.
void CatchStopSignals();

// The first stop signal received since CatchStopSignals, or 0.
int StopSignal();

// Names the file being written, which a second signal removes before the process ends with
// status 128 + the signal's number; an empty name clears it. Not for use from several threads
// at once.
void SetFileInProgress(const char* path);

}  // namespace glintor
