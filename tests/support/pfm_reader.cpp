#include "tests/support/pfm_reader.h"

#include <fstream>

namespace glintor::testing {

PfmPicture ReadPfm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    PfmPicture picture;
    float scale = 0.0f;
    in >> magic >> picture.width >> picture.height >> scale;
    in.get();  // the one white-space character before the floats
    if (!in || magic != "PF" || scale >= 0.0f || picture.width <= 0 || picture.height <= 0) {
        return {};
    }
    picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
    in.read(reinterpret_cast<char*>(picture.rgb.data()),
            static_cast<std::streamsize>(picture.rgb.size() * sizeof(float)));
    if (!in || in.peek() != EOF) {
        return {};
    }
    return picture;
}

}  // namespace glintor::testing
