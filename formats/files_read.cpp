#include "formats/files_read.h"

#include <cinttypes>
#include <cstdio>
#include <utility>

namespace glintor {

namespace {

std::vector<std::string>& Noted() {
    thread_local std::vector<std::string> noted;
    return noted;
}

}  // namespace

void NoteFileRead(const std::string& path) {
    Noted().push_back(path);
}

std::vector<std::string> TakeFilesRead() {
    return std::exchange(Noted(), {});
}

std::optional<uint64_t> HashFileBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    uint64_t hash = EmptyHash;
    unsigned char buffer[1 << 16];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        for (size_t i = 0; i < count; ++i) {
            hash = (hash ^ buffer[i]) * 1099511628211ull;
        }
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return std::nullopt;
    }
    return hash;
}

std::string HashText(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, hash);
    return text;
}

}  // namespace glintor
