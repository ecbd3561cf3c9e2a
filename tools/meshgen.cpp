// Writes the project's example meshes as PLY files.
//   glintor_meshgen SHAPE ENCODING OUTPUT.ply [DETAIL [SCALE X Y Z]]
//     SHAPE     sphere (DETAIL = subdivisions, default 5: 20,480 triangles)
//               torus (DETAIL = rings, default 256, with a quarter as many sides)
//               terrain (DETAIL = cells per side, default 256)
//               large (a torus-knot tube, DETAIL = segments, default 4096: 2,097,152 triangles)
//     ENCODING  ascii, binary_little_endian or binary_big_endian
//     SCALE X Y Z  place the shape: every position p becomes p * SCALE + (X, Y, Z); scene files
//               have no transforms, so this is how a mesh gets its size and place
//   glintor_meshgen seeds FOLDER
//     small meshes of every shape in every encoding, the starting inputs of the PLY fuzzer
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "formats/ply_shapes.h"

namespace {

using glintor::PlyEncoding;
using glintor::PlyMesh;

bool ParseEncoding(const std::string& name, PlyEncoding& encoding) {
    for (PlyEncoding e :
         {PlyEncoding::Ascii, PlyEncoding::BinaryLittleEndian, PlyEncoding::BinaryBigEndian}) {
        if (name == glintor::PlyEncodingName(e)) {
            encoding = e;
            return true;
        }
    }
    return false;
}

bool MakeShape(const std::string& shape, int detail, PlyMesh& mesh) {
    if (shape == "sphere") {
        mesh = glintor::MakeIcosphere(detail < 0 ? 5 : detail);
    } else if (shape == "torus") {
        const int rings = detail < 3 ? 256 : detail;
        mesh = glintor::MakeTorus(rings, std::max(3, rings / 4), 1.0f, 0.35f);
    } else if (shape == "terrain") {
        mesh = glintor::MakeTerrain(detail < 1 ? 256 : detail);
    } else if (shape == "large") {
        mesh = glintor::MakeTorusKnot(detail < 3 ? 4096 : detail, 256);
    } else {
        return false;
    }
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "Usage: glintor_meshgen sphere|torus|terrain|large "
                 "ascii|binary_little_endian|binary_big_endian OUTPUT.ply "
                 "[DETAIL [SCALE X Y Z]]\n"
                 "       glintor_meshgen seeds FOLDER\n");
    return 2;
}

bool Write(const std::string& path, const PlyMesh& mesh, PlyEncoding encoding) {
    if (!glintor::WritePly(path, mesh, encoding)) {
        std::fprintf(stderr, "Cannot write '%s'\n", path.c_str());
        return false;
    }
    std::printf("%s: %zu vertices, %zu triangles\n", path.c_str(), mesh.positions.size(),
                mesh.triangles.size());
    return true;
}

int WriteSeeds(const std::string& folder) {
    const struct {
        const char* name;
        PlyMesh mesh;
    } shapes[] = {{"sphere", glintor::MakeIcosphere(1)},
                  {"torus", glintor::MakeTorus(6, 4, 1.0f, 0.35f)},
                  {"terrain", glintor::MakeTerrain(3)},
                  {"knot", glintor::MakeTorusKnot(8, 3)}};
    const char* suffixes[] = {"ascii", "le", "be"};
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (const auto& shape : shapes) {
        for (int e = 0; e < 3; ++e) {
            const std::string path = folder + "/" + shape.name + "_" + suffixes[e] + ".ply";
            if (!Write(path, shape.mesh, static_cast<PlyEncoding>(e))) {
                return 1;
            }
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "seeds") {
        return WriteSeeds(argv[2]);
    }
    if (argc != 4 && argc != 5 && argc != 9) {
        return Usage();
    }
    PlyEncoding encoding;
    PlyMesh mesh;
    const int detail = argc >= 5 ? std::atoi(argv[4]) : -1;
    if (!ParseEncoding(argv[2], encoding) || !MakeShape(argv[1], detail, mesh)) {
        return Usage();
    }
    if (argc == 9) {
        const float scale = std::strtof(argv[5], nullptr);
        const glintor::Vector3 offset(std::strtof(argv[6], nullptr), std::strtof(argv[7], nullptr),
                                      std::strtof(argv[8], nullptr));
        for (glintor::Vector3& p : mesh.positions) {
            p = p * scale + offset;
        }
    }
    return Write(argv[3], mesh, encoding) ? 0 : 1;
}
