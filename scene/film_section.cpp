// The Film section: the image size and the tone mapping of the saved and previewed image.
#include "scene/scene_sections.h"
#include "scene/value_readers.h"

namespace glintor {

namespace {

// A present attribute is read with the malformed-value default; an absent one takes `absent`.
float ReadToneAttribute(const XmlNode& element, const char* attribute, const char* label, float min,
                        float max, float absent) {
    const char* text = element.GetAttribute(attribute);
    return text == nullptr ? absent : ReadReal(text, label, min, max, 1.0f);
}

}  // namespace

void ReadFilmSection(const XmlNode& film, Scene& scene) {
    scene.width = static_cast<int16_t>(
        ReadInt(film.GetChild("Width").GetText(), "<Film><Width>", 128, 2048, 640));
    scene.height = static_cast<int16_t>(
        ReadInt(film.GetChild("Height").GetText(), "<Film><Height>", 128, 2048, 480));
    // The scaled size is not clamped again: 2048 at scale 10 is 20480 wide, which still fits.
    const float scale =
        ReadReal(film.GetChild("Scale").GetText(), "<Film><Scale>", 0.1f, 10.0f, 1.0f);
    if (scale != 1.0f) {
        scene.width = static_cast<int16_t>(scene.width * scale);
        scene.height = static_cast<int16_t>(scene.height * scale);
    }
    scene.gamma = ReadReal(film.GetChild("Gamma").GetText(), "<Film><Gamma>", 0.01f, 10.0f, 2.2f);

    if (const XmlNode linear = film.GetChild("LinearToneMapping")) {
        scene.linearScale =
            ReadToneAttribute(linear, "scale", "<LinearToneMapping scale />", 0.01f, 10.0f, 1.0f);
    }
    if (const XmlNode reinhard = film.GetChild("ReinhardToneMapping")) {
        scene.useReinhard = true;
        scene.reinhardPreScale = ReadToneAttribute(
            reinhard, "preScale", "<ReinhardToneMapping preScale />", 0.01f, 10.0f, 1.0f);
        scene.reinhardPostScale = ReadToneAttribute(
            reinhard, "postScale", "<ReinhardToneMapping postScale />", 0.01f, 10.0f, 1.2f);
        scene.reinhardBurn = ReadToneAttribute(reinhard, "burn", "<ReinhardToneMapping burn />",
                                               0.01f, 100.0f, 3.75f);
    }
}

}  // namespace glintor
