#include "tests/support/test_paths.h"

#include <unistd.h>
#include <filesystem>
#include <fstream>

namespace glintor::testing {

namespace fs = std::filesystem;

std::string SharedDataPath(const std::string& relative) {
    return std::string(GLINTOR_SHARED_DATA) + "/" + relative;
}

bool HasSharedData() {
    return fs::is_directory(GLINTOR_SHARED_DATA);
}

namespace {
struct ScratchRoot {
    fs::path root;
    ScratchRoot() {
        root = fs::temp_directory_path() / ("glintor-tests-" + std::to_string(getpid()));
        fs::create_directories(root);
    }
    ~ScratchRoot() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};
}  // namespace

std::string ScratchFolder(const std::string& name) {
    static ScratchRoot scratch;
    const fs::path folder = scratch.root / name;
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    return folder.string();
}

std::string WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return path;
}

}  // namespace glintor::testing
