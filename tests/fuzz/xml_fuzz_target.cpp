// Fuzz target for the scene file reader and the settings sections: any byte string must parse
// or fail with an error code, and a parsed document's Threading, Render, Camera and Film must
// read into values within their ranges, never crash, hang or trip a sanitizer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/xml_node.h"
#include "render/scene.h"
#include "scene/scene_sections.h"
#include "scene/value_readers.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "XML fuzz: broken guarantee: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Messages would wait for a person at a terminal; the fuzzer only needs them to happen.
    static const bool silenced = [] {
        glintor::SetSceneMessageSink([](const std::string&) {});
        return true;
    }();
    (void)silenced;

    const std::string text(reinterpret_cast<const char*>(data), size);
    glintor::XmlResults results;
    const glintor::XmlNode root = glintor::ParseText(text.c_str(), results);
    Require(glintor::ErrorText(results.error) != nullptr, "error text");
    if (root.IsEmpty()) {
        return 0;
    }
    glintor::Scene scene;
    const glintor::XmlNode settings = root.GetChild("Scene");
    glintor::ReadThreadingSection(settings.GetChild("Threading"), scene.settings);
    glintor::ReadRenderSection(settings.GetChild("Render"), scene.settings);
    glintor::ReadCameraSection(settings.GetChild("Camera"), scene);
    glintor::ReadFilmSection(settings.GetChild("Film"), scene);
    const glintor::RenderSettings& s = scene.settings;
    Require(s.samples >= 1 && s.samples <= 10000, "samples in range");
    Require(s.maxDepth >= 1 && s.maxDepth <= 128, "depth in range");
    Require(s.pixelBlockSize >= 16 && s.pixelBlockSize <= 128, "block size in range");
    Require(s.threads >= 0 && s.threads <= 32, "threads in range");
    Require(scene.gamma >= 0.01f && scene.gamma <= 10.0f, "gamma in range");
    return 0;
}
