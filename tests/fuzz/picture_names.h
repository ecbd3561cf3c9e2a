// The file names the picture fuzzer gives its inputs: the first byte of an input picks one
// readable format's extension, which is how pictures without a signature (TGA, for one) are
// found. The seed writer uses the same table.
#pragma once

#include <FreeImage.h>

#include <string>
#include <vector>

namespace glintor {

struct FuzzPictureName {
    FREE_IMAGE_FORMAT format;
    std::string extension;
};

inline std::vector<FuzzPictureName> FuzzPictureNames() {
    std::vector<FuzzPictureName> names;
    for (int i = 0; i < FreeImage_GetFIFCount(); ++i) {
        const auto format = static_cast<FREE_IMAGE_FORMAT>(i);
        if (FreeImage_FIFSupportsReading(format)) {
            const std::string extensions = FreeImage_GetFIFExtensionList(format);
            names.push_back({format, extensions.substr(0, extensions.find(','))});
        }
    }
    return names;
}

}  // namespace glintor
