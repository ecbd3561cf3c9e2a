#include "formats/ply_writer.h"

#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace glintor {

namespace {

std::string Header(const PlyMesh& mesh, PlyEncoding encoding) {
    std::string h = "ply\nformat ";
    h += PlyEncodingName(encoding);
    h += " 1.0\ncomment Glintor mesh generator\nelement vertex ";
    h += std::to_string(mesh.positions.size());
    h += "\nproperty float x\nproperty float y\nproperty float z\n";
    if (!mesh.normals.empty()) {
        h += "property float nx\nproperty float ny\nproperty float nz\n";
    }
    if (!mesh.uvs.empty()) {
        h += "property float s\nproperty float t\n";
    }
    if (!mesh.colors.empty()) {
        h += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
    }
    h += "element face " + std::to_string(mesh.triangles.size());
    h += "\nproperty list uchar int vertex_indices\nend_header\n";
    return h;
}

class BinaryOut {
public:
    BinaryOut(std::string& out, bool swap) : out_(out), swap_(swap) {}
    void Byte(uint8_t b) { out_.push_back(static_cast<char>(b)); }
    void Word(uint32_t bits) {
        if (swap_) {
            bits = __builtin_bswap32(bits);
        }
        char bytes[4];
        std::memcpy(bytes, &bits, 4);
        out_.append(bytes, 4);
    }
    void Float(float f) { Word(std::bit_cast<uint32_t>(f)); }
    void Vector(const Vector3& v) {
        Float(v.x);
        Float(v.y);
        Float(v.z);
    }

private:
    std::string& out_;
    bool swap_;
};

class AsciiOut {
public:
    explicit AsciiOut(std::string& out) : out_(out) {}
    template <typename T>
    void Value(T value) {
        char text[32];
        const auto result = std::to_chars(text, text + sizeof(text), value);
        out_.append(text, result.ptr);
        out_.push_back(' ');
    }
    void Vector(const Vector3& v) {
        Value(v.x);
        Value(v.y);
        Value(v.z);
    }
    void EndLine() { out_.back() = '\n'; }

private:
    std::string& out_;
};

}  // namespace

std::string EncodePly(const PlyMesh& mesh, PlyEncoding encoding) {
    std::string out = Header(mesh, encoding);
    const std::size_t vertices = mesh.positions.size();
    if (encoding == PlyEncoding::Ascii) {
        AsciiOut ascii(out);
        for (std::size_t i = 0; i < vertices; ++i) {
            ascii.Vector(mesh.positions[i]);
            if (!mesh.normals.empty()) {
                ascii.Vector(mesh.normals[i]);
            }
            if (!mesh.uvs.empty()) {
                ascii.Value(mesh.uvs[i][0]);
                ascii.Value(mesh.uvs[i][1]);
            }
            if (!mesh.colors.empty()) {
                for (uint8_t c : mesh.colors[i]) {
                    ascii.Value(static_cast<int>(c));
                }
            }
            ascii.EndLine();
        }
        for (const std::array<int32_t, 3>& t : mesh.triangles) {
            ascii.Value(3);
            for (int32_t index : t) {
                ascii.Value(index);
            }
            ascii.EndLine();
        }
        return out;
    }
    std::size_t vertexSize = 12;
    vertexSize += mesh.normals.empty() ? 0 : 12;
    vertexSize += mesh.uvs.empty() ? 0 : 8;
    vertexSize += mesh.colors.empty() ? 0 : 3;
    out.reserve(out.size() + vertices * vertexSize + mesh.triangles.size() * 13);
    const bool swap =
        (encoding == PlyEncoding::BinaryBigEndian) == (std::endian::native == std::endian::little);
    BinaryOut binary(out, swap);
    for (std::size_t i = 0; i < vertices; ++i) {
        binary.Vector(mesh.positions[i]);
        if (!mesh.normals.empty()) {
            binary.Vector(mesh.normals[i]);
        }
        if (!mesh.uvs.empty()) {
            binary.Float(mesh.uvs[i][0]);
            binary.Float(mesh.uvs[i][1]);
        }
        if (!mesh.colors.empty()) {
            for (uint8_t c : mesh.colors[i]) {
                binary.Byte(c);
            }
        }
    }
    for (const std::array<int32_t, 3>& t : mesh.triangles) {
        binary.Byte(3);
        for (int32_t index : t) {
            binary.Word(static_cast<uint32_t>(index));
        }
    }
    return out;
}

bool WritePly(const std::string& path, const PlyMesh& mesh, PlyEncoding encoding) {
    const std::string bytes = EncodePly(mesh, encoding);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace glintor
