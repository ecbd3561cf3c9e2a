// Checking the files a run will write before anything is loaded or rendered, so that a render of
// hours never ends in a save that could not work.
#pragma once

#include <string>
#include <vector>

namespace glintor {

// The errno that would keep a file from being written under name, or 0: its folder must exist and
// be writable, its name must fit the folder and may not be a folder's, and a file that is
// appended to must be writable itself. The partial file a picture goes through has a short name
// of its own.
int OutputProblem(const std::string& name, bool appended);

// Checks every picture, the log beside the first and the film file (when one is named); answers
// "" or one line naming the file and the reason, "cannot write '<name>': <reason>".
std::string CheckOutputs(const std::vector<std::string>& names, const std::string& film = "");

}  // namespace glintor
