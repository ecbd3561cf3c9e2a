// The Objects section: spheres, planes and PLY meshes, the bounding sphere of the whole scene, and
// the hierarchy over the meshes' triangles.
#include <strings.h>

#include <cstdio>
#include <memory>
#include <string>

#include "geometry/plane_prim.h"
#include "geometry/qbvh.h"
#include "geometry/sphere_prim.h"
#include "geometry/triangle_mesh_set.h"
#include "platform/platform.h"
#include "scene/scene_sections.h"
#include "scene/value_readers.h"

namespace glintor {

namespace {

const char* ChildText(const XmlNode& parent, const char* name) {
    return parent.GetChild(name).GetText();
}

enum class ObjectType { Sphere, Plane, File };

// Tried in this order, ignoring case; false for a missing or unknown type.
bool FindObjectType(const char* text, ObjectType& type) {
    if (text == nullptr) {
        return false;
    }
    constexpr struct {
        const char* keyword;
        ObjectType type;
    } Types[] = {
        {"Sphere", ObjectType::Sphere}, {"Plane", ObjectType::Plane}, {"File", ObjectType::File}};
    for (const auto& candidate : Types) {
        if (strcasecmp(text, candidate.keyword) == 0) {
            type = candidate.type;
            return true;
        }
    }
    return false;
}

// Not compared with the number of materials: an identifier beyond the list is kept as written,
// and the renderer ends the paths that hit such an object.
uint8_t ReadMaterialId(const XmlNode& object) {
    return static_cast<uint8_t>(
        ReadInt(ChildText(object, "MaterialId"), "<Object><MaterialId>", 0, 255, 0));
}

// Each object is appended before its values are read, in the order the file format lists them.

void ReadSphere(const XmlNode& element, Scene& scene) {
    auto owned = std::make_unique<SpherePrim>();
    SpherePrim& sphere = *owned;
    scene.objects.push_back(std::move(owned));
    sphere.center = ReadVector(element, "Center", "<Object><Center>");
    sphere.radius =
        ReadReal(ChildText(element, "Radius"), "<Object><Radius>", 0.001f, 1000.0f, 1.0f);
    sphere.materialId = ReadMaterialId(element);
}

void ReadPlane(const XmlNode& element, Scene& scene) {
    auto owned = std::make_unique<PlanePrim>();
    PlanePrim& plane = *owned;
    scene.objects.push_back(std::move(owned));
    // Kept as written: the plane's equation uses the normal's length too.
    plane.planeNormal = ReadVector(element, "Normal", "<Object><Normal>");
    plane.dist = ReadReal(ChildText(element, "Dist"), "<Object><Dist>", -1000.0f, 1000.0f, 0.0f);
    plane.materialId = ReadMaterialId(element);
}

// Every mesh of the scene goes into one set, which takes the list position of the first File
// object. The set's own material is left unset: its triangles carry their files' materials.
void ReadMeshFile(const XmlNode& element, Scene& scene, TriangleMeshSet*& meshSet) {
    if (meshSet == nullptr) {
        auto owned = std::make_unique<TriangleMeshSet>();
        owned->acceleratorKind = QbvhAccelerator;
        owned->accelerator = std::make_unique<QBVH>();
        meshSet = owned.get();
        scene.objects.push_back(std::move(owned));
    }
    const uint8_t materialId = ReadMaterialId(element);
    // A missing PlyFile reads as an empty name, which the import reports. A file that cannot be
    // read has shown its own message, and the scene goes on without it.
    const char* text = ChildText(element, "PlyFile");
    const std::string fileName = text != nullptr ? PortablePath(text) : std::string();
    meshSet->AddPlyFile(fileName.c_str(), materialId);
}

// The sphere about the box of every object. Planes add nothing to the box, so a scene of planes
// alone keeps the empty box: radius 0 then.
void ComputeWorldSphere(Scene& scene) {
    BoundingBox box;
    for (const auto& object : scene.objects) {
        box.Merge(object->Bounds());
    }
    box.BoundingSphere(scene.worldCenter, scene.worldRadius);
    std::printf("World Radius = %f\n\n", scene.worldRadius);
}

}  // namespace

bool ReadObjectsSection(const XmlNode& objects, Scene& scene) {
    const int count = objects.CountChildren("Object");
    if (count == 0) {
        // No bounding sphere either: the world keeps its start centre and radius.
        return true;
    }
    // Every element adds at most one object (all meshes share one), so the list never grows.
    scene.objects.reserve(static_cast<size_t>(count));
    TriangleMeshSet* meshSet = nullptr;
    int position = 0;
    for (XmlNode element = objects.GetChild("Object", position); element;
         element = objects.GetChild("Object", position)) {
        ObjectType type;
        if (!FindObjectType(element.GetAttribute("Type"), type)) {
            continue;
        }
        switch (type) {
            case ObjectType::Sphere:
                ReadSphere(element, scene);
                break;
            case ObjectType::Plane:
                ReadPlane(element, scene);
                break;
            case ObjectType::File:
                ReadMeshFile(element, scene, meshSet);
                break;
        }
    }
    ComputeWorldSphere(scene);
    if (meshSet != nullptr) {
        // A set whose every file failed has no triangles and is never built, so never hit.
        if (meshSet->triangleCount > 0 && !meshSet->BuildAccelerator()) {
            ReportSceneError(nullptr, "Failed to load ply file(s):");
            return false;
        }
        scene.meshTriangleCount = static_cast<int32_t>(meshSet->triangleCount);
    }
    return true;
}

}  // namespace glintor
