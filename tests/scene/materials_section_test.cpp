#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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
#include "scene/scene_loader.h"
#include "tests/support/collected_messages.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using testing::CollectedMessages;
using testing::Warning;
using Texts = std::vector<std::string>;

// A scene whose Materials section holds `materials`; `rest` follows it.
std::string Document(const std::string& materials, const std::string& rest = "<Objects/>") {
    return "<?xml version=\"1.0\"?>\n<Glintor>\n<Scene><Camera/><Film/></Scene>\n<Materials>\n" +
           materials + "\n</Materials>\n" + rest + "\n</Glintor>\n";
}

struct Loaded {
    bool ok = false;
    Texts messages;
};

Loaded Load(const std::string& contents, Scene& scene) {
    const std::string folder = glintor::testing::ScratchFolder("materials_section");
    const std::string path = glintor::testing::WriteFile(folder + "/scene.xml", contents);
    CollectedMessages messages;
    Loaded loaded;
    loaded.ok = LoadScene(path.c_str(), scene);
    loaded.messages = messages.texts;
    return loaded;
}

// Loads a document that must succeed and answers the scene's only material.
const Material& OnlyMaterial(Scene& scene, const std::string& materials, Texts expected = {}) {
    const Loaded loaded = Load(Document(materials), scene);
    EXPECT_TRUE(loaded.ok) << materials;
    EXPECT_EQ(loaded.messages, expected) << materials;
    EXPECT_EQ(scene.materials.size(), 1u) << materials;
    return *scene.materials.at(0);
}

template <typename Model>
const Model& BxDFOf(const Material& material) {
    const auto* model = dynamic_cast<const Model*>(material.bxdf.get());
    EXPECT_NE(model, nullptr);
    static const Model none;
    return model != nullptr ? *model : none;
}

// A 2x1 PNG: a red texel on the left and a grey one of value 128 on the right.
std::string WriteTwoTexelPng(const std::string& path) {
    InitialiseFreeImage();
    FIBITMAP* bitmap = FreeImage_Allocate(2, 1, 24);
    BYTE* scanline = FreeImage_GetScanLine(bitmap, 0);
    const uint8_t texels[2][3] = {{255, 0, 0}, {128, 128, 128}};
    for (int x = 0; x < 2; ++x) {
        scanline[3 * x + FI_RGBA_RED] = texels[x][0];
        scanline[3 * x + FI_RGBA_GREEN] = texels[x][1];
        scanline[3 * x + FI_RGBA_BLUE] = texels[x][2];
    }
    EXPECT_TRUE(FreeImage_Save(FIF_PNG, bitmap, path.c_str(), 0));
    FreeImage_Unload(bitmap);
    return path;
}

std::string PictureFolder() {
    return glintor::testing::ScratchFolder("materials_pictures");
}

// ---- Materials ----

TEST(MaterialsSectionTest, PositionInTheListIsTheIdentifier) {
    Scene scene;
    const Loaded loaded = Load(Document("<Material Type=\"GLASS\"/>\n<Material Type=\"MATTE\"/>\n"
                                        "<Material Type=\"SHINY\"/>"),
                               scene);
    ASSERT_TRUE(loaded.ok);
    ASSERT_EQ(scene.materials.size(), 3u);
    EXPECT_NE(dynamic_cast<const BTDF_Glass*>(scene.materials[0]->bxdf.get()), nullptr);
    EXPECT_NE(dynamic_cast<const BRDF_Matte*>(scene.materials[1]->bxdf.get()), nullptr);
    EXPECT_NE(dynamic_cast<const BRDF_Shiny*>(scene.materials[2]->bxdf.get()), nullptr);
    EXPECT_EQ(scene.materials.capacity(), 3u);
}

TEST(MaterialsSectionTest, TypesMatchIgnoringCase) {
    struct Case {
        const char* type;
        bool (*is)(const BxDFBase*);
    };
    const Case cases[] = {
        {"matte", [](const BxDFBase* b) { return dynamic_cast<const BRDF_Matte*>(b) != nullptr; }},
        {"Shiny", [](const BxDFBase* b) { return dynamic_cast<const BRDF_Shiny*>(b) != nullptr; }},
        {"gLoSs", [](const BxDFBase* b) { return dynamic_cast<const BRDF_Gloss*>(b) != nullptr; }},
        {"Glass", [](const BxDFBase* b) { return dynamic_cast<const BTDF_Glass*>(b) != nullptr; }},
        {"thinglass",
         [](const BxDFBase* b) { return dynamic_cast<const BTDF_ThinGlass*>(b) != nullptr; }},
        {"Anisotropic",
         [](const BxDFBase* b) { return dynamic_cast<const BRDF_Anisotropic*>(b) != nullptr; }},
        {"ward", [](const BxDFBase* b) { return dynamic_cast<const BRDF_Ward*>(b) != nullptr; }},
    };
    for (const Case& c : cases) {
        Scene scene;
        const Material& material =
            OnlyMaterial(scene, std::string("<Material Type=\"") + c.type + "\"/>");
        EXPECT_TRUE(c.is(material.bxdf.get())) << c.type;
        EXPECT_TRUE(material.textures.empty());
        EXPECT_TRUE(material.bumpMaps.empty());
    }
}

TEST(MaterialsSectionTest, MatteColours) {
    {
        Scene scene;
        const auto& matte = BxDFOf<BRDF_Matte>(OnlyMaterial(scene, "<Material Type=\"MATTE\"/>"));
        EXPECT_EQ(matte.diffuse, Vector3(0, 0, 0));
        EXPECT_EQ(matte.flags, FlagDiffuse);
    }
    {
        Scene scene;
        const auto& matte = BxDFOf<BRDF_Matte>(
            OnlyMaterial(scene, "<Material Type=\"MATTE\"><Diffuse r=\"1\" g=\"1\"/></Material>",
                         {Warning("Diffuse", "<Material><Diffuse>")}));
        EXPECT_EQ(matte.diffuse, Vector3(1, 1, 0));
        EXPECT_FLOAT_EQ(matte.diffuseOverPi.x, 0.31830987f);
        EXPECT_EQ(matte.diffuseOverPi.z, 0.0f);
    }
}

TEST(MaterialsSectionTest, GlassIndexOfRefraction) {
    {
        Scene scene;
        const auto& glass = BxDFOf<BTDF_Glass>(
            OnlyMaterial(scene,
                         "<Material Type=\"GLASS\"><Reflection r=\"0.9\" g=\"0.8\" b=\"0.7\"/>"
                         "<Transmission r=\"0.1\" g=\"0.2\" b=\"0.3\"/></Material>"));
        EXPECT_EQ(glass.ior, 1.5f);
        EXPECT_NEAR(glass.r0, 0.03994f, 1e-5f);
        EXPECT_EQ(glass.reflection, Vector3(0.9f, 0.8f, 0.7f));
        EXPECT_EQ(glass.transmission, Vector3(0.1f, 0.2f, 0.3f));
        EXPECT_EQ(glass.flags, FlagSpecular);
    }
    {
        Scene scene;
        const auto& glass = BxDFOf<BTDF_Glass>(
            OnlyMaterial(scene, "<Material Type=\"GLASS\"><IOR>7</IOR></Material>",
                         {Warning("7", "<Material><IOR>")}));
        EXPECT_EQ(glass.ior, 5.0f);
    }
}

TEST(MaterialsSectionTest, ThinGlassKeepsEachColourInItsPlace) {
    Scene scene;
    const auto& thin = BxDFOf<BTDF_ThinGlass>(
        OnlyMaterial(scene,
                     "<Material Type=\"THINGLASS\"><Reflection r=\"0.25\" g=\"0\" b=\"0\"/>"
                     "<Transmission r=\"0\" g=\"0.75\" b=\"0\"/></Material>"));
    EXPECT_EQ(thin.reflection, Vector3(0.25f, 0, 0));
    EXPECT_EQ(thin.transmission, Vector3(0, 0.75f, 0));
    EXPECT_FLOAT_EQ(thin.pReflect, 0.25f);
}

TEST(MaterialsSectionTest, ShinyAndGlossExponentAndFresnel) {
    struct Case {
        const char* parameters;
        float exponentFactor;
        float fresnel;
        Texts messages;
    };
    const Case cases[] = {
        {"", 0.0f, 1.0f, {}},
        {"<Exp>0</Exp>", 0.0f, 1.0f, {}},
        {"<Exp>9</Exp>", 0.1f, 1.0f, {}},
        {"<Exp>20000</Exp>", 1.0f / 10001.0f, 1.0f, {Warning("20000", "<Material><Exp>")}},
        {"<Fresnel>1.5</Fresnel>", 0.0f, 1.0f, {Warning("1.5", "<Material><Fresnel>")}},
        {"<Fresnel>0.25</Fresnel>", 0.0f, 0.25f, {}},
        {"<Fresnel>-1</Fresnel>", 0.0f, 0.0f, {Warning("-1", "<Material><Fresnel>")}},
    };
    for (const Case& c : cases) {
        {
            Scene scene;
            const auto& shiny = BxDFOf<BRDF_Shiny>(OnlyMaterial(
                scene, std::string("<Material Type=\"SHINY\">") + c.parameters + "</Material>",
                c.messages));
            EXPECT_FLOAT_EQ(shiny.exponentFactor, c.exponentFactor) << c.parameters;
            EXPECT_EQ(shiny.fresnel, c.fresnel) << c.parameters;
        }
        {
            Scene scene;
            const auto& gloss = BxDFOf<BRDF_Gloss>(OnlyMaterial(
                scene, std::string("<Material Type=\"GLOSS\">") + c.parameters + "</Material>",
                c.messages));
            EXPECT_FLOAT_EQ(gloss.exponentFactor, c.exponentFactor) << c.parameters;
            EXPECT_EQ(gloss.fresnel, c.fresnel) << c.parameters;
        }
    }
}

TEST(MaterialsSectionTest, GlossColoursAndWarningOrder) {
    Scene scene;
    const auto& gloss = BxDFOf<BRDF_Gloss>(OnlyMaterial(
        scene,
        // Elements in another order than they are read: the warnings follow the reading order.
        "<Material Type=\"GLOSS\"><Exp>x</Exp><Fresnel>y</Fresnel>"
        "<Reflection r=\"0.5\" g=\"0.5\"/><Diffuse r=\"0.2\" g=\"0.3\"/>"
        "<Emission g=\"1\" b=\"1\"/></Material>",
        {Warning("Diffuse", "<Material><Diffuse>"), Warning("Reflection", "<Material><Reflection>"),
         Warning("y", "<Material><Fresnel>"), Warning("x", "<Material><Exp>"),
         Warning("Emission", "<Material><Emission>")}));
    EXPECT_EQ(gloss.diffuse, Vector3(0.2f, 0.3f, 0));
    EXPECT_EQ(gloss.reflection, Vector3(0.5f, 0.5f, 0));
    EXPECT_EQ(gloss.fresnel, 1.0f);
    EXPECT_EQ(gloss.exponentFactor, 0.0f);
    EXPECT_EQ(gloss.emission, Vector3(0, 1, 1));
    EXPECT_TRUE(gloss.isEmitter);
}

TEST(MaterialsSectionTest, AnisotropicAndWardRoughness) {
    {
        Scene scene;
        const auto& anisotropic = BxDFOf<BRDF_Anisotropic>(
            OnlyMaterial(scene,
                         "<Material Type=\"ANISOTROPIC\"><Diffuse r=\"0.5\" g=\"0.5\" b=\"0.5\"/>"
                         "<Specular r=\"0.1\" g=\"0.2\" b=\"0.3\"/></Material>"));
        EXPECT_EQ(anisotropic.nu, 10.0f);
        EXPECT_EQ(anisotropic.nv, 10.0f);
        EXPECT_EQ(anisotropic.diffuse, Vector3(0.5f, 0.5f, 0.5f));
        EXPECT_EQ(anisotropic.specular, Vector3(0.1f, 0.2f, 0.3f));
    }
    {
        Scene scene;
        const auto& anisotropic = BxDFOf<BRDF_Anisotropic>(OnlyMaterial(
            scene, "<Material Type=\"ANISOTROPIC\"><Nu>100</Nu><Nv>20000</Nv></Material>",
            {Warning("20000", "<Material><Nv>")}));
        EXPECT_EQ(anisotropic.nu, 100.0f);
        EXPECT_EQ(anisotropic.nv, 10000.0f);
    }
    {
        Scene scene;
        const auto& ward = BxDFOf<BRDF_Ward>(
            OnlyMaterial(scene,
                         "<Material Type=\"WARD\"><Specular r=\"1\" g=\"1\" b=\"1\"/>"
                         "<Nu>0.25</Nu><Nv>-3</Nv></Material>",
                         {Warning("-3", "<Material><Nv>")}));
        EXPECT_EQ(ward.specular, Vector3(1, 1, 1));
        EXPECT_EQ(ward.diffuse, Vector3(0, 0, 0));
        EXPECT_EQ(ward.alphaX, 0.25f);
        // Nv is clamped to 0 by the reader and then raised to the model's floor.
        EXPECT_EQ(ward.alphaY, BRDF_Ward::MinimumRoughness);
        EXPECT_EQ(ward.flags, FlagSpecular);
    }
    {
        Scene scene;
        const auto& ward = BxDFOf<BRDF_Ward>(OnlyMaterial(scene, "<Material Type=\"Ward\"/>"));
        EXPECT_EQ(ward.alphaX, 10.0f);
        EXPECT_EQ(ward.alphaY, 10.0f);
    }
}

TEST(MaterialsSectionTest, EmissionOnEveryType) {
    for (const char* type :
         {"MATTE", "SHINY", "GLOSS", "GLASS", "THINGLASS", "ANISOTROPIC", "WARD"}) {
        Scene scene;
        const Material& material =
            OnlyMaterial(scene, std::string("<Material Type=\"") + type +
                                    "\"><Emission r=\"4\" g=\"2\" b=\"1\"/></Material>");
        ASSERT_NE(material.bxdf, nullptr);
        EXPECT_EQ(material.bxdf->emission, Vector3(4, 2, 1)) << type;
        EXPECT_TRUE(material.bxdf->isEmitter) << type;
    }
    Scene scene;
    const Material& dark = OnlyMaterial(
        scene, "<Material Type=\"MATTE\"><Emission r=\"0\" g=\"0\" b=\"0\"/></Material>");
    EXPECT_FALSE(dark.bxdf->isEmitter);
}

TEST(MaterialsSectionTest, EmptySectionLeavesTheListEmpty) {
    Scene scene;
    const Loaded loaded = Load(Document(""), scene);
    EXPECT_TRUE(loaded.ok);
    EXPECT_TRUE(loaded.messages.empty());
    EXPECT_TRUE(scene.materials.empty());
}

TEST(MaterialsSectionTest, FatalTypes) {
    struct Case {
        const char* material;
        const char* message;
    };
    const Case cases[] = {
        {"<Material/>", "ERROR: Material type does not exist"},
        {"<Material type=\"\"/>", "ERROR: Material type '' is not supported."},
        {"<Material Type=\"Metal\"/>", "ERROR: Material type 'Metal' is not supported."},
        // The keyword must match as a whole.
        {"<Material Type=\"MATTE \"/>", "ERROR: Material type 'MATTE ' is not supported."},
    };
    for (const Case& c : cases) {
        Scene scene;
        // The material before the bad one stays, and so does the bad one, without a BxDF; nothing
        // after it is read (the second bad value would warn).
        const Loaded loaded = Load(Document(std::string("<Material Type=\"matte\"/>") + c.material +
                                            "<Material Type=\"MATTE\"><Diffuse r=\"x\"/>"
                                            "</Material>"),
                                   scene);
        EXPECT_FALSE(loaded.ok) << c.material;
        EXPECT_EQ(loaded.messages, (Texts{c.message})) << c.material;
        ASSERT_EQ(scene.materials.size(), 2u) << c.material;
        EXPECT_NE(scene.materials[0]->bxdf, nullptr);
        EXPECT_EQ(scene.materials[1]->bxdf, nullptr);
    }
}

TEST(MaterialsSectionTest, FatalMaterialStopsBeforeObjects) {
    Scene scene;
    const Loaded loaded = Load(Document("<Material Type=\"Plastic\"/>", ""), scene);
    EXPECT_FALSE(loaded.ok);
    // Not "<Objects> node missing": loading stopped at the material.
    EXPECT_EQ(loaded.messages, (Texts{"ERROR: Material type 'Plastic' is not supported."}));
}

// ---- Textures ----

TEST(MaterialsSectionTest, UnknownAndUntypedTexturesAreSkipped) {
    Scene scene;
    const Material& material =
        OnlyMaterial(scene,
                     "<Material Type=\"MATTE\"><Diffuse r=\"1\" g=\"1\" b=\"1\"/><Textures>"
                     "<Texture Type=\"WOOD\"><File>wood.png</File></Texture>"
                     "<Texture><File>none.png</File></Texture>"
                     "<Texture Type=\"checkerboard\"/>"
                     "</Textures></Material>");
    EXPECT_EQ(BxDFOf<BRDF_Matte>(material).diffuse, Vector3(1, 1, 1));
    ASSERT_EQ(material.textures.size(), 1u);
    EXPECT_NE(dynamic_cast<const TextureCheckerboard*>(material.textures[0].get()), nullptr);
}

TEST(MaterialsSectionTest, OnlyTheFirstTexturesElementIsRead) {
    Scene scene;
    const Material& material = OnlyMaterial(
        scene,
        "<Material Type=\"MATTE\"><Textures><Texture Type=\"MARBLE\"/></Textures>"
        "<Textures><Texture Type=\"CHECKERBOARD\"/><Texture Type=\"MARBLE\"/></Textures>"
        "</Material>");
    ASSERT_EQ(material.textures.size(), 1u);
    EXPECT_NE(dynamic_cast<const TextureMarble*>(material.textures[0].get()), nullptr);
}

TEST(MaterialsSectionTest, CheckerboardValuesArePrepared) {
    Scene scene;
    const Material& material = OnlyMaterial(
        scene,
        "<Material Type=\"MATTE\"><Textures><Texture Type=\"CheckerBoard\">"
        "<AltColor r=\"0.1\" g=\"0.2\" b=\"0.3\"/><Plane x=\"0\" y=\"1\" z=\"0\"/>"
        "<Offset x=\"1\" y=\"2\" z=\"3\"/><Scale x=\"2\" y=\"0\" z=\"4\"/><Color r=\"x\"/>"
        "</Texture></Textures></Material>");
    ASSERT_EQ(material.textures.size(), 1u);
    const auto* checkerboard = dynamic_cast<const TextureCheckerboard*>(material.textures[0].get());
    ASSERT_NE(checkerboard, nullptr);
    EXPECT_EQ(checkerboard->AltColor, Vector3(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(checkerboard->Plane, Vector3(0, 1, 0));
    EXPECT_EQ(checkerboard->Offset, Vector3(1, 2, 3));
    // Prepare has turned cell sizes into cells per unit.
    EXPECT_EQ(checkerboard->Scale, Vector3(0.5f, 0, 0.25f));
}

TEST(MaterialsSectionTest, CheckerboardVectorWarnings) {
    Scene scene;
    OnlyMaterial(scene,
                 "<Material Type=\"MATTE\"><Textures><Texture Type=\"CHECKERBOARD\">"
                 "<Scale x=\"1\"/><AltColor/><Offset z=\"1\" y=\"1\" x=\"1\"/><Plane y=\"1\"/>"
                 "</Texture></Textures></Material>",
                 {Warning("AltColor", "<Material><Texture><AltColor>"),
                  Warning("AltColor", "<Material><Texture><AltColor>"),
                  Warning("AltColor", "<Material><Texture><AltColor>"),
                  Warning("Plane", "<Material><Texture><Plane>"),
                  Warning("Plane", "<Material><Texture><Plane>"),
                  Warning("Scale", "<Material><Texture><Scale>"),
                  Warning("Scale", "<Material><Texture><Scale>")});
}

TEST(MaterialsSectionTest, MarbleDefaultsRangesAndRealOctaves) {
    {
        Scene scene;
        const Material& material =
            OnlyMaterial(scene,
                         "<Material Type=\"MATTE\"><Textures><Texture Type=\"marble\"/></Textures>"
                         "</Material>");
        const auto* marble = dynamic_cast<const TextureMarble*>(material.textures.at(0).get());
        ASSERT_NE(marble, nullptr);
        EXPECT_EQ(marble->Color, Vector3(0, 0, 0));
        EXPECT_EQ(marble->Scale, 1.0f);
        EXPECT_EQ(marble->Variation, 1.0f);
        EXPECT_EQ(marble->Omega, 1.75f);
        EXPECT_EQ(marble->Octaves, 8.0f);
    }
    {
        Scene scene;
        const Material& material = OnlyMaterial(
            scene,
            "<Material Type=\"MATTE\"><Textures><Texture Type=\"MARBLE\">"
            "<Color r=\"0.5\" g=\"0.4\" b=\"0.3\"/><Scale>0</Scale><Variation>200</Variation>"
            "<Omega>1e</Omega><Octaves>3.5</Octaves></Texture></Textures></Material>",
            {Warning("0", "<Material><Texture><Scale>"),
             Warning("200", "<Material><Texture><Variation>"),
             Warning("1e", "<Material><Texture><Omega>")});
        const auto* marble = dynamic_cast<const TextureMarble*>(material.textures.at(0).get());
        ASSERT_NE(marble, nullptr);
        EXPECT_EQ(marble->Color, Vector3(0.5f, 0.4f, 0.3f));
        EXPECT_EQ(marble->Scale, 0.01f);
        EXPECT_EQ(marble->Variation, 100.0f);
        EXPECT_EQ(marble->Omega, 1.75f);
        EXPECT_EQ(marble->Octaves, 3.5f);
    }
}

TEST(MaterialsSectionTest, ImageTextureLoadsItsPictureWithItsGamma) {
    const std::string picture = WriteTwoTexelPng(PictureFolder() + "/two.png");
    Scene scene;
    const Material& material = OnlyMaterial(
        scene, "<Material Type=\"MATTE\"><Textures><Texture Type=\"Image\"><File>" + picture +
                   "</File><Gain>2</Gain><Gamma>2</Gamma><Scale u=\"3\" v=\"4\"/>"
                   "<Offset u=\"0.5\" v=\"0.25\"/></Texture></Textures></Material>");
    ASSERT_EQ(material.textures.size(), 1u);
    const auto* image = dynamic_cast<const TextureMapImage*>(material.textures[0].get());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Gain, 2.0f);
    EXPECT_EQ(image->Scale.u, 3.0f);
    EXPECT_EQ(image->Scale.v, 4.0f);
    EXPECT_EQ(image->Offset.u, 0.5f);
    EXPECT_EQ(image->Offset.v, 0.25f);
    ASSERT_EQ(image->Image.Width, 2u);
    ASSERT_EQ(image->Image.Height, 1u);
    EXPECT_EQ(image->Image.Texels[0], Vector3(1, 0, 0));
    EXPECT_NEAR(image->Image.Texels[1].y, (128.0 / 255.0) * (128.0 / 255.0), 1e-6);
}

TEST(MaterialsSectionTest, ImageTextureDefaultsAndGainRange) {
    const std::string picture = WriteTwoTexelPng(PictureFolder() + "/two.png");
    {
        Scene scene;
        const Material& material = OnlyMaterial(
            scene, "<Material Type=\"MATTE\"><Textures><Texture Type=\"IMAGE\"><File>" + picture +
                       "</File></Texture></Textures></Material>");
        const auto* image = dynamic_cast<const TextureMapImage*>(material.textures.at(0).get());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Gain, 1.0f);
        EXPECT_EQ(image->Scale.u, 0.0f);
        EXPECT_EQ(image->Offset.v, 0.0f);
        // Gamma 1 keeps the decoded values.
        EXPECT_FLOAT_EQ(image->Image.Texels[1].x, 128.0f / 255.0f);
    }
    {
        Scene scene;
        const Material& material = OnlyMaterial(
            scene,
            "<Material Type=\"MATTE\"><Textures><Texture Type=\"IMAGE\"><File>" + picture +
                "</File><Gain>-2</Gain><Gamma>20</Gamma></Texture></Textures></Material>",
            {Warning("-2", "<Material><Texture><Gain>"),
             Warning("20", "<Material><Texture><Gamma>")});
        const auto* image = dynamic_cast<const TextureMapImage*>(material.textures.at(0).get());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Gain, 0.01f);
    }
}

TEST(MaterialsSectionTest, BumpAndNormalMapsGoToTheirOwnList) {
    const std::string picture = WriteTwoTexelPng(PictureFolder() + "/two.png");
    Scene scene;
    const Material& material =
        OnlyMaterial(scene,
                     "<Material Type=\"MATTE\"><Textures>"
                     "<Texture Type=\"BUMP\"><File>" +
                         picture +
                         "</File><Gain>-2</Gain><Scale u=\"2\" v=\"2\"/></Texture>"
                         "<Texture Type=\"marble\"/>"
                         "<Texture Type=\"Normal\"><File>" +
                         picture +
                         "</File><Gain>5</Gain><Offset u=\"0.5\" v=\"1\"/></Texture>"
                         "<Texture Type=\"bump\"><File>" +
                         picture + "</File><Gain>-200</Gain></Texture></Textures></Material>",
                     {Warning("-200", "<Material><Texture><Gain>")});
    EXPECT_EQ(material.textures.size(), 1u);
    ASSERT_EQ(material.bumpMaps.size(), 3u);
    const auto* bump = dynamic_cast<const BumpMapImage*>(material.bumpMaps[0].get());
    ASSERT_NE(bump, nullptr);
    EXPECT_EQ(bump->Gain, -2.0f);
    EXPECT_EQ(bump->Scale.u, 2.0f);
    EXPECT_EQ(bump->Image.Width, 2u);
    const auto* normal = dynamic_cast<const NormalMapImage*>(material.bumpMaps[1].get());
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(normal->Offset.u, 0.5f);
    EXPECT_EQ(normal->Offset.v, 1.0f);
    EXPECT_EQ(normal->Image.Texels[0], Vector3(1, 0, 0));
    const auto* clamped = dynamic_cast<const BumpMapImage*>(material.bumpMaps[2].get());
    ASSERT_NE(clamped, nullptr);
    EXPECT_EQ(clamped->Gain, -100.0f);
}

TEST(MaterialsSectionTest, PictureThatCannotBeLoadedIsFatal) {
    const std::string folder = PictureFolder();
    const std::string notAPicture = glintor::testing::WriteFile(folder + "/text.png", "no image");
    struct Case {
        std::string texture;
        std::string message;
    };
    const Case cases[] = {
        // Named exactly as written, separators included.
        {"<Texture Type=\"IMAGE\"><File>textures\\missing.png</File></Texture>",
         "ERROR: Image fle 'textures\\missing.png' was not found."},
        {"<Texture Type=\"NORMAL\"><File>missing.png</File></Texture>",
         "ERROR: Image fle 'missing.png' was not found."},
        {"<Texture Type=\"BUMP\"><File>" + notAPicture + "</File></Texture>",
         "ERROR: Image fle '" + notAPicture + "' was not found."},
        // Without a name there is nothing to load.
        {"<Texture Type=\"image\"/>", "ERROR: No <File> given for the texture type 'image'."},
        {"<Texture Type=\"Normal\"><File></File></Texture>",
         "ERROR: No <File> given for the texture type 'Normal'."},
        {"<Texture Type=\"BUMP\"><File/><Gain>x</Gain></Texture>",
         "ERROR: No <File> given for the texture type 'BUMP'."},
    };
    for (const Case& c : cases) {
        Scene scene;
        const Loaded loaded =
            Load(Document("<Material Type=\"MATTE\"><Textures><Texture Type=\"MARBLE\"/>" +
                          c.texture + "<Texture Type=\"MARBLE\"/></Textures></Material>"),
                 scene);
        EXPECT_FALSE(loaded.ok) << c.texture;
        ASSERT_FALSE(loaded.messages.empty()) << c.texture;
        EXPECT_EQ(loaded.messages.back(), c.message) << c.texture;
        // The texture before the failed one stays with its material; the failed one and those
        // after it are not kept.
        ASSERT_EQ(scene.materials.size(), 1u);
        EXPECT_EQ(scene.materials[0]->textures.size(), 1u) << c.texture;
        EXPECT_TRUE(scene.materials[0]->bumpMaps.empty()) << c.texture;
    }
}

}  // namespace
}  // namespace glintor
