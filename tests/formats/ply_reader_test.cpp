#include "formats/ply_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "tests/support/test_paths.h"

namespace glintor {
namespace {

::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "'" << text << "' lacks '" << part << "'";
}

// Every value the reader delivers, per "element.property", in arrival order.
struct Recorder {
    struct Call {
        int32_t instance;
        int32_t valueIndex;
        double value;
    };
    std::map<std::string, std::vector<Call>> calls;
    std::vector<std::string> keys;  // kept alive for the user pointers
};

bool Record(const PlyValue& v) {
    auto* target = static_cast<std::vector<Recorder::Call>*>(v.userData);
    target->push_back({v.instanceIndex, v.valueIndex, v.value});
    return true;
}

void RegisterAll(PlyReader& reader, Recorder& recorder) {
    for (const PlyElement& element : reader.Elements()) {
        for (const PlyProperty& property : element.properties) {
            auto& target = recorder.calls[element.name + "." + property.name];
            EXPECT_EQ(reader.SetReadCallback(element.name, property.name, Record, &target, 0),
                      element.count);
        }
    }
}

struct ErrorLog {
    std::vector<std::string> messages;
};

void CollectError(const std::string& message, void* user) {
    static_cast<ErrorLog*>(user)->messages.push_back(message);
}

// Opens bytes as "<name>", reads the header and everything; answers the reader's verdict.
struct Loaded {
    bool header = false;
    bool body = false;
    Recorder recorder;
    ErrorLog errors;
};

Loaded LoadBytes(const std::string& bytes, const std::string& name = "test.ply") {
    Loaded loaded;
    PlyReader reader(CollectError, &loaded.errors);
    if (!reader.OpenMemory(name, bytes.data(), bytes.size()) || !reader.ReadHeader()) {
        return loaded;
    }
    loaded.header = true;
    RegisterAll(reader, loaded.recorder);
    loaded.body = reader.Read();
    return loaded;
}

std::vector<double> Values(const Loaded& loaded, const std::string& key) {
    std::vector<double> values;
    for (const auto& call : loaded.recorder.calls.at(key)) {
        values.push_back(call.value);
    }
    return values;
}

// Binary body builder in either byte order.
class Body {
public:
    explicit Body(bool bigEndian) : bigEndian_(bigEndian) {}
    template <typename T>
    Body& Put(T value) {
        char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        if (bigEndian_) {
            std::reverse(bytes, bytes + sizeof(T));
        }
        text_.append(bytes, sizeof(T));
        return *this;
    }
    const std::string& Text() const { return text_; }

private:
    bool bigEndian_;
    std::string text_;
};

const char kTriangleHeader[] =
    "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
    "element face 1\nproperty list uchar int vertex_indices\nend_header\n";

std::string AsciiTriangle() {
    return std::string("ply\nformat ascii 1.0\n") + kTriangleHeader +
           "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
}

std::string BinaryTriangle(bool bigEndian) {
    Body body(bigEndian);
    for (float v : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) {
        body.Put(v);
    }
    body.Put(uint8_t(3)).Put(int32_t(0)).Put(int32_t(1)).Put(int32_t(2));
    return std::string("ply\nformat ") +
           (bigEndian ? "binary_big_endian" : "binary_little_endian") + " 1.0\n" + kTriangleHeader +
           body.Text();
}

// ---------------------------------------------------------------------------------------------
// Real meshes

struct RealMesh {
    const char* file;
    PlyEncoding encoding;
    int32_t vertices;
    int32_t faces;
};

class RealMeshTest : public ::testing::TestWithParam<RealMesh> {};

TEST_P(RealMeshTest, LoadsWithTheHeaderCountsAndIndicesInRange) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    const RealMesh& mesh = GetParam();
    PlyReader reader;
    ASSERT_TRUE(reader.Open(testing::SharedDataPath(std::string("meshes/") + mesh.file)));
    ASSERT_TRUE(reader.ReadHeader());
    EXPECT_EQ(reader.Encoding(), mesh.encoding);
    Recorder recorder;
    RegisterAll(reader, recorder);
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(recorder.calls["vertex.x"].size(), size_t(mesh.vertices));
    EXPECT_EQ(recorder.calls["vertex.z"].back().instance, mesh.vertices - 1);
    int32_t lists = 0;
    for (const auto& call : recorder.calls["face.vertex_indices"]) {
        if (call.valueIndex < 0) {
            ++lists;
            EXPECT_GE(call.value, 3);
        } else {
            ASSERT_GE(call.value, 0);
            ASSERT_LT(call.value, mesh.vertices);
        }
    }
    EXPECT_EQ(lists, mesh.faces);
}

INSTANTIATE_TEST_SUITE_P(
    SharedMeshes, RealMeshTest,
    ::testing::Values(
        RealMesh{"bun_zipper.ply", PlyEncoding::Ascii, 35947, 69451},
        RealMesh{"bun_zipper_res4.ply", PlyEncoding::Ascii, 453, 948},
        RealMesh{"bunny_gatech_flipply.ply", PlyEncoding::Ascii, 35947, 69451},
        RealMesh{"xyzrgb_dragon_100k.ply", PlyEncoding::BinaryLittleEndian, 50002, 100000},
        RealMesh{"spot_vn_rgba_ascii.ply", PlyEncoding::Ascii, 2930, 5856},
        RealMesh{"spot_rgba_facetexcoord_binle.ply", PlyEncoding::BinaryLittleEndian, 2930, 5856},
        RealMesh{"platonic_shelf_ascii.ply", PlyEncoding::Ascii, 50, 50},
        RealMesh{"platonic_shelf_binle.ply", PlyEncoding::BinaryLittleEndian, 50, 50},
        RealMesh{"platonic_shelf_binbe.ply", PlyEncoding::BinaryBigEndian, 50, 50},
        RealMesh{"suzanne_quads_vn_st.ply", PlyEncoding::Ascii, 1966, 500},
        RealMesh{"cube_blender_quads_vn_st.ply", PlyEncoding::Ascii, 24, 6},
        RealMesh{"cube_meshlab_texture_uv_binle.ply", PlyEncoding::BinaryLittleEndian, 24, 12}),
    [](const ::testing::TestParamInfo<RealMesh>& info) {
        std::string name = info.param.file;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    });

Loaded LoadShared(const std::string& file) {
    Loaded loaded;
    PlyReader reader(CollectError, &loaded.errors);
    if (reader.Open(testing::SharedDataPath("meshes/" + file)) && reader.ReadHeader()) {
        loaded.header = true;
        RegisterAll(reader, loaded.recorder);
        loaded.body = reader.Read();
    }
    return loaded;
}

TEST(PlyReaderRealMeshes, PlatonicShelfReadsIdenticallyInAllThreeEncodings) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    const Loaded ascii = LoadShared("platonic_shelf_ascii.ply");
    const Loaded little = LoadShared("platonic_shelf_binle.ply");
    const Loaded big = LoadShared("platonic_shelf_binbe.ply");
    ASSERT_TRUE(ascii.body && little.body && big.body);
    for (const char* key : {"vertex.x", "vertex.y", "vertex.z", "face.vertex_indices"}) {
        EXPECT_EQ(Values(ascii, key), Values(little, key)) << key;
        EXPECT_EQ(Values(ascii, key), Values(big, key)) << key;
    }
    // Faces come first in two of the files; the shelf holds triangles, quads and pentagons.
    std::map<int, int> corners;
    for (const auto& call : ascii.recorder.calls.at("face.vertex_indices")) {
        if (call.valueIndex < 0) {
            ++corners[int(call.value)];
        }
    }
    EXPECT_EQ(corners, (std::map<int, int>{{3, 32}, {4, 6}, {5, 12}}));
}

TEST(PlyReaderRealMeshes, NewTypeNamesReadTheSameVerticesAndReversedFaces) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    const Loaded oldNames = LoadShared("bun_zipper.ply");
    const Loaded newNames = LoadShared("bunny_gatech_flipply.ply");
    ASSERT_TRUE(oldNames.body && newNames.body);
    EXPECT_EQ(Values(oldNames, "vertex.x"), Values(newNames, "vertex.x"));
    EXPECT_EQ(Values(oldNames, "vertex.intensity"), Values(newNames, "vertex.intensity"));
    const std::vector<double> a = Values(oldNames, "face.vertex_indices");
    const std::vector<double> b = Values(newNames, "face.vertex_indices");
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i + 3 < a.size(); i += 4) {  // length, then a b c against c b a
        ASSERT_EQ(a[i + 1], b[i + 3]);
        ASSERT_EQ(a[i + 2], b[i + 2]);
        ASSERT_EQ(a[i + 3], b[i + 1]);
    }
}

TEST(PlyReaderRealMeshes, PerFaceListsAndPropertiesAfterTheIndicesAreSkippedCorrectly) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    // Only the index list is registered: the texcoord list and colours must still be stepped over.
    PlyReader reader;
    ASSERT_TRUE(reader.Open(testing::SharedDataPath("meshes/spot_rgba_facetexcoord_binle.ply")));
    ASSERT_TRUE(reader.ReadHeader());
    std::vector<Recorder::Call> indices;
    ASSERT_EQ(reader.SetReadCallback("face", "vertex_indices", Record, &indices, 0), 5856);
    ASSERT_TRUE(reader.Read());
    ASSERT_EQ(indices.size(), 5856u * 4);
    for (size_t i = 0; i < indices.size(); i += 4) {
        ASSERT_EQ(indices[i].value, 3.0);
        for (size_t j = 1; j < 4; ++j) {
            ASSERT_GE(indices[i + j].value, 0.0);
            ASSERT_LT(indices[i + j].value, 2930.0);
        }
    }
    // And with everything registered, every texcoord list holds six plausible texture coordinates.
    const Loaded all = LoadShared("spot_rgba_facetexcoord_binle.ply");
    ASSERT_TRUE(all.body);
    for (const auto& call : all.recorder.calls.at("face.texcoord")) {
        if (call.valueIndex < 0) {
            ASSERT_EQ(call.value, 6.0);
        } else {
            ASSERT_GE(call.value, -0.5);
            ASSERT_LE(call.value, 1.5);
        }
    }
}

TEST(PlyReaderRealMeshes, CommentsAreKept) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    PlyReader reader;
    ASSERT_TRUE(reader.Open(testing::SharedDataPath("meshes/bunny_gatech_flipply.ply")));
    ASSERT_TRUE(reader.ReadHeader());
    EXPECT_EQ(reader.Comments(),
              (std::vector<std::string>{"zipper output", "modified by flipply"}));
}

// ---------------------------------------------------------------------------------------------
// Types, encodings and header features

// One vertex carrying each type at an extreme value, declared under the old or the new names.
std::string AllTypesFile(PlyEncoding encoding, bool newNames) {
    const char* oldTypes[] = {"char", "uchar", "short", "ushort", "int", "uint", "float", "double"};
    const char* newTypes[] = {"int8",  "uint8",  "int16",   "uint16",
                              "int32", "uint32", "float32", "float64"};
    std::string text = std::string("ply\nformat ") + PlyEncodingName(encoding) +
                       " 1.0\nobj_info made by hand\nelement vertex 1\n";
    for (int i = 0; i < 8; ++i) {
        text += std::string("property ") + (newNames ? newTypes[i] : oldTypes[i]) + " p" +
                std::to_string(i) + "\n";
    }
    text += "end_header\n";
    if (encoding == PlyEncoding::Ascii) {
        return text + "-128 255 -32768 65535 -2147483648 4294967295 1.5 1e300\n";
    }
    Body body(encoding == PlyEncoding::BinaryBigEndian);
    body.Put(int8_t(-128)).Put(uint8_t(255)).Put(int16_t(-32768)).Put(uint16_t(65535));
    body.Put(int32_t(std::numeric_limits<int32_t>::min())).Put(uint32_t(4294967295u));
    body.Put(1.5f).Put(1e300);
    return text + body.Text();
}

TEST(PlyReaderTypes, EveryScalarTypeUnderBothNamesInEveryEncoding) {
    const std::vector<double> expected = {-128,          255,          -32768, 65535,
                                          -2147483648.0, 4294967295.0, 1.5,    1e300};
    for (PlyEncoding encoding :
         {PlyEncoding::Ascii, PlyEncoding::BinaryLittleEndian, PlyEncoding::BinaryBigEndian}) {
        for (bool newNames : {false, true}) {
            const Loaded loaded = LoadBytes(AllTypesFile(encoding, newNames));
            ASSERT_TRUE(loaded.body) << PlyEncodingName(encoding) << " " << newNames;
            for (int i = 0; i < 8; ++i) {
                EXPECT_EQ(Values(loaded, "vertex.p" + std::to_string(i)),
                          std::vector<double>{expected[i]})
                    << PlyEncodingName(encoding) << " property " << i;
            }
        }
    }
}

TEST(PlyReaderTypes, TypeNamesAndSizes) {
    PlyType type;
    EXPECT_TRUE(ParsePlyType("uchar", type));
    EXPECT_EQ(type, PlyType::UInt8);
    EXPECT_TRUE(ParsePlyType("float64", type));
    EXPECT_EQ(type, PlyType::Float64);
    EXPECT_FALSE(ParsePlyType("int64", type));
    EXPECT_FALSE(ParsePlyType("Float", type));
    EXPECT_EQ(PlyTypeSize(PlyType::Int16), 2);
    EXPECT_EQ(PlyTypeSize(PlyType::Float64), 8);
    EXPECT_STREQ(PlyTypeName(PlyType::UInt32), "uint32");
}

TEST(PlyReaderTypes, AsciiFloat32ValuesArriveAsFloatsLikeBinaryOnes) {
    const std::string ascii =
        "ply\nformat ascii 1.0\nelement v 1\nproperty float a\n"
        "property double b\nend_header\n0.1 0.1\n";
    const Loaded loaded = LoadBytes(ascii);
    ASSERT_TRUE(loaded.body);
    EXPECT_EQ(Values(loaded, "v.a")[0], double(0.1f));
    EXPECT_EQ(Values(loaded, "v.b")[0], 0.1);
}

TEST(PlyReaderLists, AnyCountAndEntryTypesInBothByteOrders) {
    for (bool big : {false, true}) {
        const std::string header = std::string("ply\nformat ") +
                                   (big ? "binary_big_endian" : "binary_little_endian") +
                                   " 1.0\nelement item 2\nproperty list ushort double a\n"
                                   "property list uint int8 b\nproperty list char uint16 c\n"
                                   "end_header\n";
        Body body(big);
        body.Put(uint16_t(2)).Put(0.25).Put(-7.5).Put(uint32_t(1)).Put(int8_t(-3));
        body.Put(int8_t(0));
        body.Put(uint16_t(0)).Put(uint32_t(0)).Put(int8_t(1)).Put(uint16_t(40000));
        const Loaded loaded = LoadBytes(header + body.Text());
        ASSERT_TRUE(loaded.body);
        EXPECT_EQ(Values(loaded, "item.a"), (std::vector<double>{2, 0.25, -7.5, 0}));
        EXPECT_EQ(Values(loaded, "item.b"), (std::vector<double>{1, -3, 0}));
        EXPECT_EQ(Values(loaded, "item.c"), (std::vector<double>{0, 1, 40000}));
        const auto& calls = loaded.recorder.calls.at("item.a");
        EXPECT_EQ(calls[0].valueIndex, -1);
        EXPECT_EQ(calls[2].valueIndex, 1);
        EXPECT_EQ(calls[3].instance, 1);
        EXPECT_EQ(calls[3].valueIndex, -1);
    }
}

TEST(PlyReaderLists, ListsOf255EntriesInEveryEncoding) {
    std::string ascii =
        "ply\nformat ascii 1.0\nelement face 1\n"
        "property list uchar int vertex_indices\nend_header\n255";
    Body body(false);
    body.Put(uint8_t(255));
    for (int i = 0; i < 255; ++i) {
        ascii += ' ';
        ascii += std::to_string(i);
        body.Put(int32_t(i));
    }
    std::string binary =
        "ply\nformat binary_little_endian 1.0\nelement face 1\n"
        "property list uchar int vertex_indices\nend_header\n";
    binary += body.Text();
    for (const std::string& file : {ascii + "\n", binary}) {
        const Loaded loaded = LoadBytes(file);
        ASSERT_TRUE(loaded.body);
        const auto& calls = loaded.recorder.calls.at("face.vertex_indices");
        ASSERT_EQ(calls.size(), 256u);
        EXPECT_EQ(calls.front().value, 255.0);
        EXPECT_EQ(calls.back().valueIndex, 254);
        EXPECT_EQ(calls.back().value, 254.0);
    }
}

// Lists as (instance, entries), gathered from whichever sink the reader fed.
using Lists = std::vector<std::pair<int32_t, std::vector<int64_t>>>;

bool GatherList(int32_t instance, const int64_t* entries, int32_t length, void* userData) {
    static_cast<Lists*>(userData)->push_back({instance, {entries, entries + length}});
    return true;
}

bool GatherBatch(int32_t first, int32_t count, const int32_t* lengths, const int64_t* entries,
                 void* userData) {
    for (int32_t k = 0; k < count; entries += lengths[k], ++k) {
        GatherList(first + k, entries, lengths[k], userData);
    }
    return true;
}

struct ListRun {
    bool read = false;
    Lists lists;
    ErrorLog errors;
};

ListRun ReadLists(const std::string& file, bool batch) {
    ListRun run;
    PlyReader reader(CollectError, &run.errors);
    if (reader.OpenMemory("lists.ply", file.data(), file.size()) && reader.ReadHeader()) {
        EXPECT_EQ(batch ? reader.SetListBatchTarget("face", "i", GatherBatch, &run.lists)
                        : reader.SetListTarget("face", "i", GatherList, &run.lists),
                  9000);
        run.read = reader.Read();
    }
    return run;
}

// Batches hold hundreds of lists; wherever a file breaks, every list before the fault still
// arrives, under its own instance, before the same message.
TEST(PlyReaderLists, BatchesDeliverWhatSingleListsDeliverUpToAFault) {
    for (PlyEncoding encoding : {PlyEncoding::BinaryLittleEndian, PlyEncoding::Ascii}) {
        const bool ascii = encoding == PlyEncoding::Ascii;
        // Mostly triangles, which binary files with uchar counts read in a loop of their own.
        // With `broken`, list 8500 (in the seventeenth batch) has the length -1.
        const auto make = [&](const char* countType, bool broken) {
            std::string text = std::string("ply\nformat ") + PlyEncodingName(encoding) +
                               " 1.0\nelement face 9000\nproperty list " + countType +
                               " int i\nend_header\n";
            Body binary(false);
            for (int32_t i = 0; i < 9000; ++i) {
                const int8_t length = broken && i == 8500 ? -1 : i % 7 == 0 ? i % 6 : 3;
                binary.Put(length);
                std::string line = std::to_string(length);
                for (int32_t j = 0; j < length; ++j) {
                    binary.Put(i * 7 - j);
                    line.append(" ").append(std::to_string(i * 7 - j));
                }
                text += ascii ? line + "\n" : "";
            }
            return text + binary.Text();
        };
        const std::string whole = make("uchar", false);
        const std::string broken = make("char", true);
        for (const std::string& file : {whole, whole.substr(0, whole.size() * 2 / 3),
                                        whole.substr(0, whole.size() - 5), broken}) {
            const ListRun single = ReadLists(file, false);
            const ListRun batched = ReadLists(file, true);
            EXPECT_EQ(batched.read, single.read);
            EXPECT_EQ(batched.lists, single.lists);
            EXPECT_EQ(batched.errors.messages, single.errors.messages);
        }
        EXPECT_EQ(ReadLists(whole, true).lists.size(), 9000u);
        const ListRun stopped = ReadLists(broken, true);
        EXPECT_EQ(stopped.lists.size(), 8500u);
        ASSERT_EQ(stopped.errors.messages.size(), 1u);
        EXPECT_TRUE(Contains(stopped.errors.messages[0], "invalid list length -1"));
    }
}

TEST(PlyReaderHeader, CommentsObjInfoAndCarriageReturnsAreAccepted) {
    const std::string file =
        "ply\r\nformat ascii 1.0\r\ncomment first one\r\nobj_info scanner 7\r\n"
        "element vertex 1\r\ncomment between\r\nproperty float x\r\nend_header\r\n2.5\r\n";
    PlyReader reader;
    ASSERT_TRUE(reader.OpenMemory("crlf.ply", file.data(), file.size()));
    ASSERT_TRUE(reader.ReadHeader());
    EXPECT_EQ(reader.Comments(), (std::vector<std::string>{"first one", "between"}));
    EXPECT_EQ(reader.ObjInfo(), std::vector<std::string>{"scanner 7"});
    std::vector<Recorder::Call> x;
    EXPECT_EQ(reader.SetReadCallback("vertex", "x", Record, &x, 0), 1);
    ASSERT_TRUE(reader.Read());
    ASSERT_EQ(x.size(), 1u);
    EXPECT_EQ(x[0].value, 2.5);
}

TEST(PlyReaderHeader, CallbackRegistrationAnswersTheCountOrZero) {
    const std::string file = AsciiTriangle();
    PlyReader reader;
    ASSERT_TRUE(reader.OpenMemory("t.ply", file.data(), file.size()));
    EXPECT_EQ(reader.SetReadCallback("vertex", "x", Record, nullptr, 0), 0);  // before the header
    ASSERT_TRUE(reader.ReadHeader());
    EXPECT_EQ(reader.SetReadCallback("vertex", "y", Record, nullptr, 0), 3);
    EXPECT_EQ(reader.SetReadCallback("face", "vertex_indices", Record, nullptr, 0), 1);
    EXPECT_EQ(reader.SetReadCallback("vertex", "nx", Record, nullptr, 0), 0);
    EXPECT_EQ(reader.SetReadCallback("edge", "x", Record, nullptr, 0), 0);
    ASSERT_NE(reader.FindProperty("face", "vertex_indices"), nullptr);
    EXPECT_TRUE(reader.FindProperty("face", "vertex_indices")->isList);
    EXPECT_EQ(reader.FindProperty("vertex", "w"), nullptr);
}

TEST(PlyReaderBody, UnregisteredElementsAndPropertiesAreSkipped) {
    // A binary element with lists before the vertices and a scalar between registered ones.
    const std::string header =
        "ply\nformat binary_big_endian 1.0\nelement junk 2\n"
        "property list uchar double d\nproperty short e\n"
        "element vertex 2\nproperty float x\nproperty ushort pad\n"
        "property float y\nend_header\n";
    Body body(true);
    body.Put(uint8_t(1)).Put(9.0).Put(int16_t(5)).Put(uint8_t(0)).Put(int16_t(6));
    body.Put(1.0f).Put(uint16_t(77)).Put(2.0f).Put(3.0f).Put(uint16_t(78)).Put(4.0f);
    const std::string file = header + body.Text();
    PlyReader reader;
    ASSERT_TRUE(reader.OpenMemory("skip.ply", file.data(), file.size()));
    ASSERT_TRUE(reader.ReadHeader());
    std::vector<Recorder::Call> x;
    std::vector<Recorder::Call> y;
    reader.SetReadCallback("vertex", "x", Record, &x, 0);
    reader.SetReadCallback("vertex", "y", Record, &y, 0);
    ASSERT_TRUE(reader.Read());
    ASSERT_EQ(x.size(), 2u);
    ASSERT_EQ(y.size(), 2u);
    EXPECT_EQ(x[1].value, 3.0);
    EXPECT_EQ(y[1].value, 4.0);
    EXPECT_EQ(y[1].instance, 1);
}

TEST(PlyReaderBody, UserPointerAndIndexReachTheCallback) {
    struct Seen {
        int32_t index = -5;
        void* pointer = nullptr;
    };
    static Seen seen;
    const std::string file = AsciiTriangle();
    PlyReader reader;
    ASSERT_TRUE(reader.OpenMemory("t.ply", file.data(), file.size()));
    ASSERT_TRUE(reader.ReadHeader());
    int marker = 0;
    reader.SetReadCallback(
        "vertex", "z",
        [](const PlyValue& v) {
            seen.index = v.userIndex;
            seen.pointer = v.userData;
            return true;
        },
        &marker, 42);
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(seen.index, 42);
    EXPECT_EQ(seen.pointer, &marker);
}

TEST(PlyReaderBody, ACallbackCanStopTheReadWithoutAMessage) {
    for (const std::string& file : {AsciiTriangle(), BinaryTriangle(false), BinaryTriangle(true)}) {
        ErrorLog errors;
        PlyReader reader(CollectError, &errors);
        ASSERT_TRUE(reader.OpenMemory("t.ply", file.data(), file.size()));
        ASSERT_TRUE(reader.ReadHeader());
        static int calls;
        calls = 0;
        reader.SetReadCallback(
            "vertex", "y", [](const PlyValue&) { return ++calls < 2; }, nullptr, 0);
        EXPECT_FALSE(reader.Read());
        EXPECT_EQ(calls, 2);
        EXPECT_TRUE(errors.messages.empty());
    }
}

TEST(PlyReaderBody, NaNAndInfinityArriveAsTheyAre) {
    const std::string ascii =
        "ply\nformat ascii 1.0\nelement v 3\nproperty float a\nend_header\n"
        "nan -inf 1e999\n";
    Loaded loaded = LoadBytes(ascii);
    ASSERT_TRUE(loaded.body);
    std::vector<double> a = Values(loaded, "v.a");
    EXPECT_TRUE(std::isnan(a[0]));
    EXPECT_EQ(a[1], -std::numeric_limits<double>::infinity());
    EXPECT_EQ(a[2], std::numeric_limits<double>::infinity());
    Body body(false);
    body.Put(std::numeric_limits<float>::quiet_NaN());
    loaded = LoadBytes(
        "ply\nformat binary_little_endian 1.0\nelement v 1\nproperty float a\n"
        "end_header\n" +
        body.Text());
    ASSERT_TRUE(loaded.body);
    EXPECT_TRUE(std::isnan(Values(loaded, "v.a")[0]));
}

TEST(PlyReaderBody, TheThreeEncodingsOfOneFileAgree) {
    const Loaded ascii = LoadBytes(AsciiTriangle());
    const Loaded little = LoadBytes(BinaryTriangle(false));
    const Loaded big = LoadBytes(BinaryTriangle(true));
    ASSERT_TRUE(ascii.body && little.body && big.body);
    for (const char* key : {"vertex.x", "vertex.y", "face.vertex_indices"}) {
        EXPECT_EQ(Values(ascii, key), Values(little, key));
        EXPECT_EQ(Values(ascii, key), Values(big, key));
    }
    EXPECT_EQ(Values(ascii, "face.vertex_indices"), (std::vector<double>{3, 0, 1, 2}));
}

// ---------------------------------------------------------------------------------------------
// Broken files: each fails with one message that names the file.

struct BadCase {
    const char* what;
    std::string bytes;
    bool failsInHeader;
    const char* messagePart;
};

TEST(PlyReaderBroken, EachFailsWithAMessageNamingTheFile) {
    const std::string format = "ply\nformat ascii 1.0\n";
    const std::string vertex3 = "element vertex 3\nproperty float x\nend_header\n";
    Body negative(false);
    negative.Put(int8_t(-1));
    const std::vector<BadCase> cases = {
        {"empty", "", true, "not a PLY file"},
        {"no magic", "plx\nformat ascii 1.0\nend_header\n", true, "not a PLY file"},
        {"no end_header", format + "element vertex 1\nproperty float x\n", true, "end_header"},
        {"no format", "ply\nelement vertex 0\nend_header\n", true, "no format line"},
        {"unknown encoding", "ply\nformat binary 1.0\nend_header\n", true, "unknown encoding"},
        {"version", "ply\nformat ascii 2.0\nend_header\n", true, "version"},
        {"unknown keyword", format + "elements vertex 1\nend_header\n", true, "unknown keyword"},
        {"unknown type", format + "element vertex 1\nproperty flaot x\nend_header\n1\n", true,
         "unknown type 'flaot'"},
        {"float list count", format + "element f 1\nproperty list float int i\nend_header\n", true,
         "list count type"},
        {"orphan property", format + "property float x\nend_header\n", true,
         "property before any element"},
        {"count 2^31", format + "element vertex 2147483648\nproperty float x\nend_header\n", true,
         "invalid count '2147483648'"},
        {"negative count", format + "element vertex -1\nproperty float x\nend_header\n", true,
         "invalid count"},
        {"count 2^31 - 1", format + "element vertex 2147483647\nproperty float x\nend_header\n1\n",
         false, "more than the file holds"},
        {"header promises more",
         format + "element vertex 1000\nproperty float x\nend_header\n1 2\n", false,
         "promises 1000 instances of element 'vertex'"},
        {"binary promises more",
         "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty double x\nend_header\n"
         "12345678",
         false, "more than the file holds"},
        {"missing value", format + vertex3 + "10000 20000\n", false, "ends inside instance 2"},
        {"text for a number", format + vertex3 + "1 zwei 3\n", false,
         "invalid value 'zwei' for property 'x'"},
        {"number glued to text", format + vertex3 + "1 2x 3\n", false, "invalid value '2x'"},
        {"fraction for an integer", format + "element v 1\nproperty int i\nend_header\n1.5\n",
         false, "invalid value '1.5'"},
        {"uchar out of range", format + "element v 1\nproperty uchar c\nend_header\n256\n", false,
         "out-of-range value '256'"},
        {"negative ascii list length",
         format + "element f 1\nproperty list int int i\nend_header\n-1 5 5\n", false,
         "invalid list length -1"},
        {"negative binary list length",
         "ply\nformat binary_little_endian 1.0\nelement f 1\nproperty list char int i\n"
         "end_header\n" +
             negative.Text() + "xxxxxxxx",
         false, "invalid list length -1"},
        {"list longer than the file",
         format + "element f 1\nproperty list uchar int i\nend_header\n200 1 2 3\n", false,
         "ends inside instance 0 of element 'f'"},
        {"NUL in text", format + vertex3 + std::string("1 \0 3 4\n", 8), false, "NUL"},
    };
    for (const BadCase& c : cases) {
        const Loaded loaded = LoadBytes(c.bytes, "broken/" + std::string(c.what) + ".ply");
        EXPECT_FALSE(loaded.body) << c.what;
        EXPECT_EQ(loaded.header, !c.failsInHeader) << c.what;
        ASSERT_EQ(loaded.errors.messages.size(), 1u) << c.what;
        EXPECT_TRUE(Contains(loaded.errors.messages[0], "broken/" + std::string(c.what) + ".ply: "))
            << c.what;
        EXPECT_TRUE(Contains(loaded.errors.messages[0], c.messagePart)) << c.what;
    }
}

TEST(PlyReaderBroken, EveryTruncationOfASmallFileFailsCleanly) {
    for (const std::string& file : {AsciiTriangle(), BinaryTriangle(false), BinaryTriangle(true)}) {
        for (size_t length = 0; length < file.size(); ++length) {
            const std::string cut = file.substr(0, length);
            const Loaded loaded = LoadBytes(cut);
            // Only the final line break of the ASCII file can go without changing its meaning.
            const bool stillWhole =
                length == file.size() - 1 && file.find("ascii") != std::string::npos;
            EXPECT_TRUE(!loaded.body || stillWhole) << "length " << length;
            if (!loaded.body) {
                EXPECT_EQ(loaded.errors.messages.size(), 1u) << "length " << length;
            }
        }
        EXPECT_TRUE(LoadBytes(file).body);
    }
}

TEST(PlyReaderBroken, TruncatedRealBinaryMeshFails) {
    if (!testing::HasSharedData()) {
        GTEST_SKIP() << "shared meshes not available";
    }
    const std::string path = testing::SharedDataPath("meshes/xyzrgb_dragon_100k.ply");
    std::ifstream in(path, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Cut inside the face element: the header still fits its minimum, the faces do not.
    const Loaded loaded = LoadBytes(whole.substr(0, whole.size() - 1000), "dragon_cut.ply");
    EXPECT_TRUE(loaded.header);
    EXPECT_FALSE(loaded.body);
    ASSERT_EQ(loaded.errors.messages.size(), 1u);
    EXPECT_TRUE(Contains(loaded.errors.messages[0], "dragon_cut.ply: the file ends inside"));
    EXPECT_TRUE(Contains(loaded.errors.messages[0], "element 'face'"));
}

TEST(PlyReaderBroken, OpenFailuresGoToStandardErrorByDefault) {
    const std::string folder = testing::ScratchFolder("ply_reader_open");
    PlyReader reader;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(reader.Open(folder + "/missing.ply"));
    EXPECT_FALSE(reader.Open(folder));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(Contains(err, "PLY: " + folder + "/missing.ply: cannot open the file"));
    EXPECT_TRUE(Contains(err, "PLY: " + folder + ": not a regular file"));
}

TEST(PlyReaderBroken, AFileTooLargeForMemoryFailsWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reports huge allocations instead of failing them";
#else
    // A sparse file of 1 TiB: no space used on disk, but no memory to hold it.
    const std::string path = testing::ScratchFolder("ply_reader_huge") + "/huge.ply";
    testing::WriteFile(path, "ply\n");
    std::error_code error;
    std::filesystem::resize_file(path, uint64_t(1) << 40, error);
    if (error) {
        GTEST_SKIP() << "no sparse files here";
    }
    ErrorLog errors;
    PlyReader reader(CollectError, &errors);
    EXPECT_FALSE(reader.Open(path));
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_TRUE(
        Contains(errors.messages[0], "huge.ply: the file (1099511627776 bytes) does not fit"));
    std::filesystem::remove(path, error);
#endif
}

TEST(PlyReaderBroken, StepsOutOfOrderFail) {
    const std::string file = AsciiTriangle();
    ErrorLog errors;
    PlyReader reader(CollectError, &errors);
    EXPECT_FALSE(reader.ReadHeader());
    ASSERT_TRUE(reader.OpenMemory("t.ply", file.data(), file.size()));
    EXPECT_FALSE(reader.Read());
    ASSERT_TRUE(reader.ReadHeader());
    EXPECT_FALSE(reader.ReadHeader());
    EXPECT_TRUE(reader.Read());
    EXPECT_FALSE(reader.Read());
    EXPECT_EQ(errors.messages.size(), 4u);
    reader.Close();
    EXPECT_TRUE(reader.Elements().empty());
}

TEST(PlyReaderFile, ReadsFromDisk) {
    const std::string folder = testing::ScratchFolder("ply_reader_disk");
    const std::string path = testing::WriteFile(folder + "/t.ply", BinaryTriangle(true));
    PlyReader reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_EQ(reader.FileName(), path);
    ASSERT_TRUE(reader.ReadHeader());
    EXPECT_EQ(reader.Encoding(), PlyEncoding::BinaryBigEndian);
    std::vector<Recorder::Call> y;
    reader.SetReadCallback("vertex", "y", Record, &y, 0);
    ASSERT_TRUE(reader.Read());
    ASSERT_EQ(y.size(), 3u);
    EXPECT_EQ(y[2].value, 1.0);
}

}  // namespace
}  // namespace glintor
