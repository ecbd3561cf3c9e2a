// Reading scene files: missing and empty files, byte-order marks, UTF-16 files, and the fatal
// report of OpenSceneDocument.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "formats/xml_node.h"
#include "formats/xml_node_data.h"
#include "tests/support/test_paths.h"

namespace glintor {
namespace {

using glintor::testing::ScratchFolder;
using glintor::testing::WriteFile;

class EncodingScope {
public:
    explicit EncodingScope(XmlEncoding encoding) : saved_(CurrentXmlEncoding()) {
        SetXmlEncoding(encoding);
    }
    ~EncodingScope() { SetXmlEncoding(saved_); }

private:
    XmlEncoding saved_;
};

// UTF-8 to UTF-16 of the given byte order, for writing test files.
std::string ToUtf16(const std::string& utf8, bool bigEndian) {
    std::string out;
    auto unit = [&](uint32_t u) {
        const char high = static_cast<char>(u >> 8);
        const char low = static_cast<char>(u & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint32_t code = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 7;
        for (int k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += length;
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    return out;
}

// A scene with non-ASCII text (é, €, and a character outside the basic plane).
const std::string kScene =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
    "<Glintor>\r\n"
    "  <Render><SavedImage>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.png</SavedImage></Render>\r\n"
    "  <Camera fov='40' name=\"T&amp;C\"/>\r\n"
    "</Glintor>\r\n";

void ExpectScene(const XmlNode& root) {
    ASSERT_FALSE(root.IsEmpty());
    EXPECT_STREQ(root.Name(), "Glintor");
    EXPECT_STREQ(root.GetChild("Render").GetChild("SavedImage").GetText(),
                 "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.png");
    EXPECT_STREQ(root.GetChild("camera").GetAttribute("fov"), "40");
    EXPECT_STREQ(root.GetChild("camera").GetAttribute("name"), "T&C");
}

TEST(XmlDocument, MissingAndEmptyFiles) {
    const std::string folder = ScratchFolder("xml_missing");
    XmlResults results{XmlNoError, 7, 7};
    EXPECT_TRUE(ParseFile((folder + "/absent.xml").c_str(), results).IsEmpty());
    EXPECT_EQ(results.error, XmlErrorFileNotFound);
    EXPECT_EQ(results.line, 0);
    EXPECT_EQ(results.column, 0);

    EXPECT_TRUE(ParseFile(folder.c_str(), results).IsEmpty()) << "a folder is not a file";
    EXPECT_EQ(results.error, XmlErrorFileNotFound);
    EXPECT_TRUE(ParseFile(nullptr, results).IsEmpty());
    EXPECT_EQ(results.error, XmlErrorFileNotFound);

    results = {XmlNoError, 7, 7};
    EXPECT_TRUE(ParseFile(WriteFile(folder + "/empty.xml", "").c_str(), results).IsEmpty());
    EXPECT_EQ(results.error, XmlErrorNoData);
    EXPECT_EQ(results.line, 0);
    EXPECT_EQ(results.column, 0);
}

TEST(XmlDocument, Utf8FileWithAndWithoutMark) {
    const std::string folder = ScratchFolder("xml_utf8");
    XmlResults results;
    ExpectScene(ParseFile(WriteFile(folder + "/plain.xml", kScene).c_str(), results));
    EXPECT_EQ(results.error, XmlNoError);
    ExpectScene(
        ParseFile(WriteFile(folder + "/mark.xml", "\xEF\xBB\xBF" + kScene).c_str(), results));
    EXPECT_EQ(results.error, XmlNoError);

    // Columns are counted after the mark.
    ParseFile(WriteFile(folder + "/bad.xml", "\xEF\xBB\xBF<Glintor><x></y>").c_str(), results);
    EXPECT_EQ(results.error, XmlErrorUnmatchedEndTag);
    EXPECT_EQ(results.line, 1);
    EXPECT_EQ(results.column, 13);

    // Only a mark: no element.
    ParseFile(WriteFile(folder + "/mark_only.xml", "\xEF\xBB\xBF").c_str(), results);
    EXPECT_EQ(results.error, XmlErrorFirstTagNotFound);
}

TEST(XmlDocument, Utf16FilesReadLikeTheirUtf8Equivalent) {
    const std::string folder = ScratchFolder("xml_utf16");
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"le_mark.xml", "\xFF\xFE" + ToUtf16(kScene, false)},
        {"be_mark.xml", "\xFE\xFF" + ToUtf16(kScene, true)},
        {"le_bare.xml", ToUtf16(kScene, false)},
        {"be_bare.xml", ToUtf16(kScene, true)},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        XmlResults results;
        ExpectScene(ParseFile(WriteFile(folder + "/" + file.name, file.bytes).c_str(), results));
        EXPECT_EQ(results.error, XmlNoError);
    }

    // Errors are placed as in the UTF-8 text: the surrogate pair is one column.
    const std::string faulty = "<Glintor>\n \xF0\x9F\x98\x80 &#300;</Glintor>";
    XmlResults utf8;
    ParseText(faulty.c_str(), utf8);
    XmlResults utf16;
    ParseFile(WriteFile(folder + "/faulty.xml", "\xFF\xFE" + ToUtf16(faulty, false)).c_str(),
              utf16);
    EXPECT_EQ(utf16.error, XmlErrorCharacterAbove255);
    EXPECT_EQ(utf16.error, utf8.error);
    EXPECT_EQ(utf16.line, 2);
    EXPECT_EQ(utf16.column, 4);
    EXPECT_EQ(utf16.line, utf8.line);
    EXPECT_EQ(utf16.column, utf8.column);
}

TEST(XmlDocument, Utf16WithAnUnpairedSurrogateCannotBeConverted) {
    const std::string folder = ScratchFolder("xml_surrogate");
    std::string bytes = "\xFF\xFE" + ToUtf16("<Glintor>", false);
    bytes += std::string("\x00\xD8", 2);  // a high surrogate followed by '<'
    bytes += ToUtf16("</Glintor>", false);
    XmlResults results;
    EXPECT_TRUE(ParseFile(WriteFile(folder + "/lone.xml", bytes).c_str(), results).IsEmpty());
    EXPECT_EQ(results.error, XmlErrorWideCharConversion);
    EXPECT_EQ(results.line, 0);
    EXPECT_EQ(results.column, 0);
}

TEST(XmlDocument, Utf16BecomesTextOfTheReadersEncoding) {
    const std::string folder = ScratchFolder("xml_utf16_latin1");
    const EncodingScope scope(XmlEncodingSingleByte);
    XmlResults results;
    const XmlNode root =
        ParseFile(WriteFile(folder + "/latin.xml",
                            "\xFF\xFE" + ToUtf16("<Glintor>caf\xC3\xA9</Glintor>", false))
                      .c_str(),
                  results);
    ASSERT_EQ(results.error, XmlNoError);
    EXPECT_STREQ(root.GetText(), "caf\xE9");

    // The euro sign has no ISO-8859-1 byte.
    ParseFile(WriteFile(folder + "/euro.xml",
                        "\xFF\xFE" + ToUtf16("<Glintor>\xE2\x82\xAC</Glintor>", false))
                  .c_str(),
              results);
    EXPECT_EQ(results.error, XmlErrorWideCharConversion);
}

TEST(XmlDocument, OpenSceneDocumentAdoptsTheGuessedEncoding) {
    const EncodingScope scope(XmlEncodingUtf8);
    const std::string folder = ScratchFolder("xml_open");
    const std::string path =
        WriteFile(folder + "/latin.xml",
                  "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Glintor>caf\xE9</Glintor>\n");
    const XmlNode root = OpenSceneDocument(path.c_str());
    EXPECT_EQ(CurrentXmlEncoding(), XmlEncodingSingleByte);
    EXPECT_STREQ(root.GetText(), "caf\xE9");

    // A file without a guess leaves the encoding as it was.
    OpenSceneDocument(WriteFile(folder + "/short.xml", "<Glintor/>").c_str());
    EXPECT_EQ(CurrentXmlEncoding(), XmlEncodingSingleByte);
    OpenSceneDocument(WriteFile(folder + "/wide.xml",
                                "\xFF\xFE" + ToUtf16("<?xml version=\"1.0\"?>\n<Glintor/>", false))
                          .c_str());
    EXPECT_EQ(CurrentXmlEncoding(), XmlEncodingSingleByte);
}

// Escapes a text so that a death test's regular expression matches it literally.
std::string Literally(const std::string& text) {
    std::string pattern;
    for (const char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern;
}

// Runs OpenSceneDocument on a file in a child process, without a person at the terminal.
void OpenWithoutTerminal(const std::string& path) {
    std::freopen("/dev/null", "r", stdin);
    OpenSceneDocument(path.c_str());
    std::exit(0);
}

// The child of a death test runs in its own scratch folder, so the expected message allows any
// folder before the file name.
class XmlDocumentDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(XmlDocumentDeathTest, ErrorsEndTheProcessWithTheirMessage) {
    const std::string folder = ScratchFolder("xml_death");
    struct Case {
        const char* file;
        const char* contents;  // null: no file
        XmlResults results;
    };
    const Case cases[] = {
        {"absent.xml", nullptr, {XmlErrorFileNotFound, 0, 0}},
        {"other.xml", "<Scene/>", {XmlErrorFirstTagNotFound, 0, 0}},
        {"camera.xml",
         "<Glintor>\n  <Scene>\n    <Camera>\n  </Scene>\n</Glintor>\n",
         {XmlWarningUnmatchedEndTag, 4, 3}},
        {"comment.xml", "<Glintor>\n  <!-- open\n</Glintor>\n", {XmlErrorUnmatchedClearTag, 2, 3}},
        {"entity.xml", "<Glintor>&copy;</Glintor>", {XmlErrorUnknownEntity, 1, 10}},
    };
    for (const Case& c : cases) {
        const std::string path = folder + "/" + c.file;
        if (c.contents != nullptr) {
            WriteFile(path, c.contents);
        }
        const std::string message =
            FormatXmlParseError((std::string("FOLDER/") + c.file).c_str(), c.results);
        std::string pattern = Literally("XML Parsing error\n" + message);
        pattern.replace(pattern.find("FOLDER"), 6, "[^']*");
        EXPECT_EXIT(OpenWithoutTerminal(path), ::testing::ExitedWithCode(255), pattern) << message;
    }
}

TEST_F(XmlDocumentDeathTest, AWellFormedSceneReturns) {
    const std::string path =
        WriteFile(ScratchFolder("xml_alive") + "/scene.xml", "<Glintor><Scene/></Glintor>");
    EXPECT_EXIT(OpenWithoutTerminal(path), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace glintor
