// Where tests find the shared real-world data and a scratch folder of their own.
#pragma once

#include <string>

namespace glintor::testing {

// Folder of real meshes and images that the project does not ship; tests skip without it.
std::string SharedDataPath(const std::string& relative);
bool HasSharedData();

// A fresh, empty folder for one test's files, removed when the process ends.
std::string ScratchFolder(const std::string& name);

// Writes text (or bytes) to path, creating nothing else; returns the path.
std::string WriteFile(const std::string& path, const std::string& contents);

}  // namespace glintor::testing
