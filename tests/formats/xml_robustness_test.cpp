// Arbitrary bytes never crash or hang the reader, and what it builds stays consistent.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/xml_characters.h"
#include "formats/xml_node.h"
#include "formats/xml_node_data.h"
#include "platform/text_encoding.h"

namespace glintor {
namespace {

const char* const kSeeds[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE Glintor [<!ENTITY x \"y\">]>\n"
    "<Glintor>\n"
    "  <Scene><Threading Threads='4'/><Render Samples=\"16\">6<!-- six -->4</Render>\n"
    "    <Camera Type=pinhole><Position>0 1 &amp; 2</Position></Camera></Scene>\n"
    "  <Materials><![CDATA[ raw <stuff> ]]><PRE> <b> </PRE>\n"
    "    <Material Name=\"caf\xC3\xA9\" Emit>&#65;&#x42;&lt;&gt;&quot;&apos;</Material>\n"
    "  </Materials>\n"
    "</Glintor>\n",
    "<Glintor><a><b><c></a></Glintor>",
    "<glintor x='1' y=2 z><?pi a=b?></GLINTOR> tail &#300; &copy;",
};

// Bytes that change the reader's path most: markup, quotes, entities, lead bytes, NUL.
const char kInteresting[] = "<>/?!-=[]&#;x\"' \n\r\tDOCTYPEPRE\x81\xA4\xC3\xE2\xF0\xFF";

std::string Mutate(const std::string& seed, std::mt19937& random) {
    std::string text = seed;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
        const size_t at = text.empty() ? 0 : random() % (text.size() + 1);
        const char byte = random() % 4 == 0 ? static_cast<char>(random() % 256)
                                            : kInteresting[random() % (sizeof(kInteresting) - 1)];
        switch (random() % 5) {
            case 0:
                text.insert(at, 1, byte);
                break;
            case 1:
                if (at < text.size()) {
                    text[at] = byte;
                }
                break;
            case 2:
                if (at < text.size()) {
                    text.erase(at, 1 + random() % 8);
                }
                break;
            case 3:
                text.resize(at);
                break;
            default: {
                const std::string& other = kSeeds[random() % std::size(kSeeds)];
                const size_t from = random() % other.size();
                text.insert(at, other.substr(from, random() % 40));
                break;
            }
        }
    }
    return text;
}

// Walks a tree checking links, order entries and trimmed arrays; answers the node count.
size_t CheckTree(const XmlNodeData& node) {
    size_t nodes = 1;
    size_t seen[4] = {0, 0, 0, 0};
    EXPECT_EQ(node.order.size(), node.children.size() + node.texts.size() + node.clears.size());
    for (const int32_t entry : node.order) {
        const int32_t kind = entry % 4;
        const size_t index = static_cast<size_t>(entry / 4);
        EXPECT_TRUE(kind == XmlOrderChild || kind == XmlOrderText || kind == XmlOrderClear);
        EXPECT_EQ(index, seen[kind]) << "entries in document order";
        ++seen[kind];
    }
    EXPECT_EQ(node.children.capacity(), node.children.size());
    EXPECT_EQ(node.order.capacity(), node.order.size());
    for (const std::string& text : node.texts) {
        EXPECT_FALSE(text.empty());
    }
    for (const XmlNodeData* child : node.children) {
        EXPECT_EQ(child->parent, &node);
        EXPECT_EQ(child->references, 1);
        nodes += CheckTree(*child);
    }
    return nodes;
}

void CheckParse(const std::string& text) {
    XmlResults results;
    const XmlNode root = ParseText(text.c_str(), results);
    ASSERT_GE(results.error, XmlNoError);
    ASSERT_LE(results.error, XmlErrorCharacterAbove255);
    ASSERT_NE(results.error, XmlErrorNoData);
    ASSERT_NE(results.error, XmlErrorNoElements);
    ASSERT_NE(results.error, XmlErrorFileNotFound);
    if (results.error == XmlNoError || results.error == XmlErrorFirstTagNotFound) {
        EXPECT_EQ(results.line, 0);
        EXPECT_EQ(results.column, 0);
    } else {
        int lines = 1;
        for (const char c : text) {
            if (c == 0) {
                break;
            }
            lines += c == '\n';
        }
        EXPECT_GE(results.line, 1);
        EXPECT_LE(results.line, lines);
        EXPECT_GE(results.column, 1);
        EXPECT_LE(results.column, static_cast<int32_t>(text.size()) + 1);
    }
    EXPECT_EQ(root.IsEmpty(), results.error > XmlWarningNoTag);
    if (!root.IsEmpty()) {
        EXPECT_TRUE(EqualIgnoringCase(root.Name(), kSceneRootName));
        EXPECT_EQ(root.GetChild("x").GetText(), root.GetChild("X").GetText());
        CheckTree(*XmlNodeAccess::Data(root));
    }
}

TEST(XmlRobustness, MutatedDocumentsInEveryEncoding) {
    const XmlEncoding saved = CurrentXmlEncoding();
    std::mt19937 random(20240611u);
    for (int i = 0; i < 3000; ++i) {
        SetXmlEncoding(1 + static_cast<int32_t>(random() % 6));
        const std::string text = Mutate(kSeeds[random() % std::size(kSeeds)], random);
        SCOPED_TRACE(testing::Message() << "case " << i << ": " << text);
        CheckParse(text);
        if (HasFailure()) {
            break;
        }
    }
    SetXmlEncoding(saved);
}

TEST(XmlRobustness, RandomBytes) {
    const XmlEncoding saved = CurrentXmlEncoding();
    std::mt19937 random(7u);
    for (int i = 0; i < 1000; ++i) {
        SetXmlEncoding(1 + static_cast<int32_t>(random() % 6));
        std::string text(random() % 300, '\0');
        for (char& c : text) {
            c = random() % 3 == 0 ? kInteresting[random() % (sizeof(kInteresting) - 1)]
                                  : static_cast<char>(random() % 256);
        }
        CheckParse(text);
        GuessXmlEncoding(reinterpret_cast<const unsigned char*>(text.data()), text.size());
        std::string converted;
        const Utf16ByteOrder order = DetectUtf16(text.data(), text.size());
        ConvertUtf16ToUtf8(text.data(), text.size(),
                           order == Utf16ByteOrder::None ? Utf16ByteOrder::LittleEndian : order,
                           converted);
        if (HasFailure()) {
            break;
        }
    }
    SetXmlEncoding(saved);
}

TEST(XmlRobustness, DeepNestingNeedsNoStack) {
    constexpr int kDepth = 200000;
    std::string text = "<Glintor>";
    for (int i = 0; i < kDepth; ++i) {
        text += "<a>";
    }
    for (int i = 0; i < kDepth; ++i) {
        text += "</a>";
    }
    text += "</Glintor>";
    XmlResults results;
    XmlNode root = ParseText(text.c_str(), results);
    ASSERT_EQ(results.error, XmlNoError);
    int depth = 0;
    for (XmlNode node = root.GetChild("a"); !node.IsEmpty(); node = node.GetChild("a")) {
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);

    // Left open: the end of the text closes them all, with a warning at the end.
    text.resize(9 + 3 * kDepth);
    root = ParseText(text.c_str(), results);
    EXPECT_EQ(results.error, XmlWarningUnmatchedEndTag);
    EXPECT_EQ(results.column, static_cast<int32_t>(text.size()) + 1);
    root = XmlNode();  // the whole chain is freed without recursion
}

}  // namespace
}  // namespace glintor
