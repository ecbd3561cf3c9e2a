// Adding films of one scene rendered apart (on machines without MPI, or one after another with
// different seeds) into one film with all their samples, and the usual pictures from it.
#pragma once

namespace glintor {

struct CommandLine;

// glintor --merge OUT.exr IN.exr... [-o picture]: answers the exit status: 0, 1 when a file could
// not be written, 2 when the films cannot be added (unreadable, of different scenes, sizes or
// options, or sharing a seed); nothing is written then.
int RunMerge(const CommandLine& options);

}  // namespace glintor
