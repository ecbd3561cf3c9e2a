// The Threading and Render sections: how the image is sampled and by how many threads.
#include <strings.h>

#include "platform/platform.h"
#include "scene/scene_sections.h"
#include "scene/value_readers.h"

namespace glintor {

namespace {

const char* ChildText(const XmlNode& parent, const char* name) {
    return parent.GetChild(name).GetText();
}

}  // namespace

void ReadThreadingSection(const XmlNode& threading, RenderSettings& settings) {
    settings.threads = ReadInt(ChildText(threading, "Threads"), "<Threading><Threads>", 0, 32, 0);
    settings.pixelBlockSize =
        ReadInt(ChildText(threading, "PixelBlockSize"), "<Threading><PixelBlockSize>", 16, 128, 64);
}

void ReadRenderSection(const XmlNode& render, RenderSettings& settings) {
    const char* savedImage = ChildText(render, "SavedImage");
    // Scenes written on Windows name folders with '\'.
    settings.savedImage = savedImage != nullptr ? PortablePath(savedImage) : "";
    if (settings.savedImage.empty()) {
        settings.savedImage = "out.png";
    }

    // An absent Antialiasing element reads like one without attributes.
    const XmlNode antialiasing = render.GetChild("Antialiasing");
    const char* filterType = antialiasing.GetAttribute("Type");
    // Gaussian is the only pixel filter; any other type leaves the flag as it is.
    if (filterType == nullptr || strcasecmp(filterType, "gaussian") == 0) {
        settings.gaussianFilter = 1;
    }
    const char* filterWidth = antialiasing.GetAttribute("width");
    settings.filterRadius =
        filterWidth == nullptr
            ? 0.5f
            : 0.5f * ReadReal(filterWidth, "<Antialiasing width />", 0.01f, 10.0f, 1.0f);

    settings.maxDepth = ReadInt(ChildText(render, "MaxDepth"), "<Render><MaxDepth>", 1, 128, 5);
    settings.samples = ReadInt(ChildText(render, "Samples"), "<Render><Samples>", 1, 10000, 1);
    settings.shadowRays =
        ReadInt(ChildText(render, "ShadowRays"), "<Render><ShadowRays>", 1, 10000, 1);

    const XmlNode roulette = render.GetChild("RR");
    const char* depth = roulette.GetAttribute("depth");
    settings.rrDepth = depth == nullptr ? 3 : ReadInt(depth, "<RR depth />", 2, 32, 3);
    const char* probability = roulette.GetAttribute("Probability");
    settings.rrProbability = probability == nullptr
                                 ? 0.25f
                                 : ReadReal(probability, "<RR Probability />", 0.01f, 1.0f, 0.25f);
}

}  // namespace glintor
