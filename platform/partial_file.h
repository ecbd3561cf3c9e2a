// Writing a file so that its name never holds half a file: the bytes go to a temporary file made
// in the target's folder, which is renamed over the target only once it is complete. A failed
// write leaves any earlier file intact, and a terminating signal during the write removes the
// temporary file before the process ends.
#pragma once

#include <functional>
#include <string>

namespace glintor {

// Writes the file named by its argument (which already exists, empty, with the final file's
// permissions) and answers 0, or the errno of what went wrong (EIO when the writer cannot tell).
using PartialFileWriter = std::function<int(const std::string& partialPath)>;

// Answers 0 when target now holds what write produced, otherwise the errno that stopped it; the
// partial file is gone either way. Its name is short and fixed in length, so any target whose own
// name fits its folder can be written.
int WriteThroughPartialFile(const std::string& target, const PartialFileWriter& write);

// Removes every partial file being written right now; safe in a signal handler. A program that
// handles the terminating signals itself calls it before it ends on one: the cleanup above is
// installed only for signals whose action is still the default.
void RemovePartialFiles();

// The folder a file name lies in, "." for a bare name.
std::string FolderOf(const std::string& path);

}  // namespace glintor
