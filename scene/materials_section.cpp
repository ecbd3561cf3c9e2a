// The Materials section: every Material element becomes one scattering function with its
// emission, colour textures and bump or normal maps.
#include <strings.h>

#include <memory>
#include <string>

#include "materials/brdf_anisotropic.h"
#include "materials/brdf_gloss.h"
#include "materials/brdf_matte.h"
#include "materials/brdf_shiny.h"
#include "materials/brdf_ward.h"
#include "materials/btdf_glass.h"
#include "materials/btdf_thin_glass.h"
#include "materials/bump_map_image.h"
#include "materials/normal_map_image.h"
#include "materials/texture_checkerboard.h"
#include "materials/texture_map_image.h"
#include "materials/texture_marble.h"
#include "render/material.h"
#include "scene/scene_sections.h"
#include "scene/value_readers.h"

namespace glintor {

namespace {

const char* ChildText(const XmlNode& parent, const char* name) {
    return parent.GetChild(name).GetText();
}

bool IsType(const char* type, const char* keyword) {
    return strcasecmp(type, keyword) == 0;
}

void Fail(const std::string& message) {
    ReportSceneError(nullptr, message.c_str());
}

// Every reader below takes its values into locals first, in the order the file format lists
// them: the order of the warnings must not depend on how a compiler orders function arguments.

std::unique_ptr<BxDFBase> ReadMatte(const XmlNode& material) {
    const Vector3 diffuse = ReadColor(material, "Diffuse", "<Material><Diffuse>");
    auto bxdf = std::make_unique<BRDF_Matte>();
    bxdf->Set(diffuse);
    return bxdf;
}

float ReadFresnel(const XmlNode& material) {
    return ReadReal(ChildText(material, "Fresnel"), "<Material><Fresnel>", 0.0f, 1.0f, 1.0f);
}

float ReadExp(const XmlNode& material) {
    return ReadReal(ChildText(material, "Exp"), "<Material><Exp>", 0.0f, 10000.0f, 0.0f);
}

std::unique_ptr<BxDFBase> ReadShiny(const XmlNode& material) {
    const Vector3 reflection = ReadColor(material, "Reflection", "<Material><Reflection>");
    const float fresnel = ReadFresnel(material);
    const float exp = ReadExp(material);
    auto bxdf = std::make_unique<BRDF_Shiny>();
    bxdf->Set(reflection, fresnel, exp);
    return bxdf;
}

std::unique_ptr<BxDFBase> ReadGloss(const XmlNode& material) {
    const Vector3 diffuse = ReadColor(material, "Diffuse", "<Material><Diffuse>");
    const Vector3 reflection = ReadColor(material, "Reflection", "<Material><Reflection>");
    const float fresnel = ReadFresnel(material);
    const float exp = ReadExp(material);
    auto bxdf = std::make_unique<BRDF_Gloss>();
    bxdf->Set(reflection, diffuse, fresnel, exp);
    return bxdf;
}

std::unique_ptr<BxDFBase> ReadGlass(const XmlNode& material) {
    const Vector3 reflection = ReadColor(material, "Reflection", "<Material><Reflection>");
    const Vector3 transmission = ReadColor(material, "Transmission", "<Material><Transmission>");
    const float ior = ReadReal(ChildText(material, "IOR"), "<Material><IOR>", 0.0f, 5.0f, 1.5f);
    auto bxdf = std::make_unique<BTDF_Glass>();
    bxdf->Set(reflection, transmission, ior);
    return bxdf;
}

std::unique_ptr<BxDFBase> ReadThinGlass(const XmlNode& material) {
    const Vector3 reflection = ReadColor(material, "Reflection", "<Material><Reflection>");
    const Vector3 transmission = ReadColor(material, "Transmission", "<Material><Transmission>");
    auto bxdf = std::make_unique<BTDF_ThinGlass>();
    // Thin glass takes its colours the other way round from glass.
    bxdf->Set(transmission, reflection);
    return bxdf;
}

// The anisotropic and Ward models read the same four values.
template <typename Model>
std::unique_ptr<BxDFBase> ReadDiffuseSpecular(const XmlNode& material) {
    const Vector3 diffuse = ReadColor(material, "Diffuse", "<Material><Diffuse>");
    const Vector3 specular = ReadColor(material, "Specular", "<Material><Specular>");
    const float nu = ReadReal(ChildText(material, "Nu"), "<Material><Nu>", 0.0f, 10000.0f, 10.0f);
    const float nv = ReadReal(ChildText(material, "Nv"), "<Material><Nv>", 0.0f, 10000.0f, 10.0f);
    auto bxdf = std::make_unique<Model>();
    bxdf->Set(specular, diffuse, nu, nv);
    return bxdf;
}

struct MaterialType {
    const char* keyword;
    std::unique_ptr<BxDFBase> (*read)(const XmlNode& material);
};

// Tried in this order.
constexpr MaterialType MaterialTypes[] = {
    {"MATTE", ReadMatte},
    {"SHINY", ReadShiny},
    {"GLOSS", ReadGloss},
    {"GLASS", ReadGlass},
    {"THINGLASS", ReadThinGlass},
    {"ANISOTROPIC", ReadDiffuseSpecular<BRDF_Anisotropic>},
    {"WARD", ReadDiffuseSpecular<BRDF_Ward>},
};

UVPair ReadTexturePair(const XmlNode& texture, const char* name, const char* label) {
    const UvPair pair = ReadPair(texture, name, label);
    return {pair.u, pair.v};
}

std::unique_ptr<TextureBase> ReadCheckerboard(const XmlNode& texture) {
    auto checkerboard = std::make_unique<TextureCheckerboard>();
    checkerboard->AltColor = ReadColor(texture, "AltColor", "<Material><Texture><AltColor>");
    checkerboard->Plane = ReadVector(texture, "Plane", "<Material><Texture><Plane>");
    checkerboard->Offset = ReadVector(texture, "Offset", "<Material><Texture><Offset>");
    checkerboard->Scale = ReadVector(texture, "Scale", "<Material><Texture><Scale>");
    return checkerboard;
}

std::unique_ptr<TextureBase> ReadMarble(const XmlNode& texture) {
    auto marble = std::make_unique<TextureMarble>();
    marble->Color = ReadColor(texture, "Color", "<Material><Texture><Color>");
    marble->Scale =
        ReadReal(ChildText(texture, "Scale"), "<Material><Texture><Scale>", 0.01f, 100.0f, 1.0f);
    marble->Variation = ReadReal(ChildText(texture, "Variation"), "<Material><Texture><Variation>",
                                 0.01f, 100.0f, 1.0f);
    marble->Omega =
        ReadReal(ChildText(texture, "Omega"), "<Material><Texture><Omega>", 0.01f, 100.0f, 1.75f);
    // A real, not a count: 3.5 is kept as it is.
    marble->Octaves = ReadReal(ChildText(texture, "Octaves"), "<Material><Texture><Octaves>", 0.01f,
                               100.0f, 8.0f);
    return marble;
}

// Loads the picture of an image texture or map and prepares it; false after the fatal message.
// A texture without a File element (or with an empty one) has no name to load or to show, so it
// counts as a picture that cannot be loaded, reported with a message that names the element to
// add and the texture's type as written.
template <typename Picture>
bool LoadPicture(Picture& picture, const char* file, float gamma, const char* type) {
    if (file == nullptr) {
        Fail(std::string("No <File> given for the texture type '") + type + "'.");
        return false;
    }
    if (!picture.Image.Load(file, gamma) || !picture.Prepare()) {
        Fail(std::string("Image fle '") + file + "' was not found.");
        return false;
    }
    return true;
}

// Reads one Texture element into the material's lists. Answers false only after the fatal
// message of a picture that cannot be loaded; a texture without a type or of an unknown type is
// left out silently.
bool ReadTexture(const XmlNode& texture, Material& material) {
    const char* type = texture.GetAttribute("Type");
    if (type == nullptr) {
        return true;
    }
    // Procedural textures are always usable with the values the ranges allow; one that refused
    // its preparation would be left out like a texture of an unknown type.
    if (IsType(type, "CHECKERBOARD") || IsType(type, "MARBLE")) {
        std::unique_ptr<TextureBase> procedural =
            IsType(type, "CHECKERBOARD") ? ReadCheckerboard(texture) : ReadMarble(texture);
        if (procedural->Prepare()) {
            material.textures.push_back(std::move(procedural));
        }
        return true;
    }
    if (IsType(type, "IMAGE")) {
        auto image = std::make_unique<TextureMapImage>();
        const char* file = ChildText(texture, "File");
        image->Gain =
            ReadReal(ChildText(texture, "Gain"), "<Material><Texture><Gain>", 0.01f, 100.0f, 1.0f);
        const float gamma =
            ReadReal(ChildText(texture, "Gamma"), "<Material><Texture><Gamma>", 0.01f, 10.0f, 1.0f);
        image->Scale = ReadTexturePair(texture, "Scale", "<Material><Texture><Scale>");
        image->Offset = ReadTexturePair(texture, "Offset", "<Material><Texture><Offset>");
        if (!LoadPicture(*image, file, gamma, type)) {
            return false;
        }
        material.textures.push_back(std::move(image));
        return true;
    }
    if (IsType(type, "NORMAL")) {
        auto normalMap = std::make_unique<NormalMapImage>();
        const char* file = ChildText(texture, "File");
        normalMap->Scale = ReadTexturePair(texture, "Scale", "<Material><Texture><Scale>");
        normalMap->Offset = ReadTexturePair(texture, "Offset", "<Material><Texture><Offset>");
        if (!LoadPicture(*normalMap, file, 1.0f, type)) {
            return false;
        }
        material.bumpMaps.push_back(std::move(normalMap));
        return true;
    }
    if (IsType(type, "BUMP")) {
        auto bumpMap = std::make_unique<BumpMapImage>();
        const char* file = ChildText(texture, "File");
        // A negative gain is allowed: it tilts the normal the other way.
        bumpMap->Gain = ReadReal(ChildText(texture, "Gain"), "<Material><Texture><Gain>", -100.0f,
                                 100.0f, 1.0f);
        bumpMap->Scale = ReadTexturePair(texture, "Scale", "<Material><Texture><Scale>");
        bumpMap->Offset = ReadTexturePair(texture, "Offset", "<Material><Texture><Offset>");
        if (!LoadPicture(*bumpMap, file, 1.0f, type)) {
            return false;
        }
        material.bumpMaps.push_back(std::move(bumpMap));
    }
    return true;
}

bool ReadMaterial(const XmlNode& element, Material& material) {
    const char* type = element.GetAttribute("Type");
    if (type == nullptr) {
        Fail("Material type does not exist");
        return false;
    }
    for (const MaterialType& candidate : MaterialTypes) {
        if (IsType(type, candidate.keyword)) {
            material.bxdf = candidate.read(element);
            break;
        }
    }
    if (!material.bxdf) {
        Fail(std::string("Material type '") + type + "' is not supported.");
        return false;
    }
    material.bxdf->SetEmission(ReadColor(element, "Emission", "<Material><Emission>"));

    // Only the first Textures element counts.
    const XmlNode textures = element.GetChild("Textures");
    int position = 0;
    for (XmlNode texture = textures.GetChild("Texture", position); texture;
         texture = textures.GetChild("Texture", position)) {
        if (!ReadTexture(texture, material)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReadMaterialsSection(const XmlNode& materials, Scene& scene) {
    const int count = materials.CountChildren("Material");
    if (count == 0) {
        return true;
    }
    scene.materials.reserve(static_cast<size_t>(count));
    int position = 0;
    for (XmlNode element = materials.GetChild("Material", position); element;
         element = materials.GetChild("Material", position)) {
        // The material takes its place in the list before it is read: its position is its
        // identifier, and one that fails stays behind with the rest of the discarded scene.
        scene.materials.push_back(std::make_unique<Material>());
        if (!ReadMaterial(element, *scene.materials.back())) {
            return false;
        }
    }
    return true;
}

}  // namespace glintor
