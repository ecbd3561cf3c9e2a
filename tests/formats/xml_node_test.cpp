// Handles: reference counting, lifetime of subtrees, and the queries.
#include <gtest/gtest.h>

#include <string>

#include "formats/xml_node.h"
#include "formats/xml_node_data.h"

namespace glintor {
namespace {

int32_t References(const XmlNode& node) {
    return XmlNodeAccess::Data(node)->references;
}

XmlNode Parse(const char* text) {
    XmlResults results;
    XmlNode root = ParseText(text, results);
    EXPECT_EQ(results.error, XmlNoError) << ErrorText(results.error);
    return root;
}

TEST(XmlNode, EmptyHandleAnswersNothing) {
    const XmlNode empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_FALSE(static_cast<bool>(empty));
    EXPECT_STREQ(empty.Name(), "");
    EXPECT_TRUE(empty.GetChild("a").IsEmpty());
    int position = 3;
    EXPECT_TRUE(empty.GetChild("a", position).IsEmpty());
    EXPECT_EQ(position, 3);
    EXPECT_EQ(empty.CountChildren("a"), 0);
    EXPECT_EQ(empty.GetAttribute("a"), nullptr);
    EXPECT_EQ(empty.GetText(), nullptr);
    // Chained queries through missing nodes stay harmless.
    EXPECT_EQ(empty.GetChild("a").GetChild("b").GetAttribute("c"), nullptr);
}

TEST(XmlNode, PositionVisitsEveryChildOfAName) {
    const XmlNode root = Parse("<Glintor><L>1</L><x/><l>2</l><Lx>no</Lx><L>3</L><x/></Glintor>");
    EXPECT_EQ(root.CountChildren("l"), 3);
    EXPECT_EQ(root.CountChildren("X"), 2);
    EXPECT_EQ(root.CountChildren("missing"), 0);
    EXPECT_EQ(root.CountChildren(nullptr), 0);

    int position = 0;
    const char* texts[] = {"1", "2", "3"};
    const int positions[] = {1, 3, 5};
    for (int i = 0; i < 3; ++i) {
        const XmlNode child = root.GetChild("L", position);
        ASSERT_FALSE(child.IsEmpty());
        EXPECT_STREQ(child.GetText(), texts[i]);
        EXPECT_EQ(position, positions[i]);
    }
    EXPECT_TRUE(root.GetChild("L", position).IsEmpty());
    EXPECT_EQ(position, 5);

    position = -7;
    EXPECT_STREQ(root.GetChild("l", position).GetText(), "1");
    EXPECT_EQ(position, 1);
    position = 100;
    EXPECT_TRUE(root.GetChild("l", position).IsEmpty());
    EXPECT_EQ(position, 100);
    EXPECT_TRUE(root.GetChild(nullptr).IsEmpty());
}

TEST(XmlNode, CopiesShareDataAndCountReferences) {
    XmlNode root = Parse("<Glintor><Scene/></Glintor>");
    EXPECT_EQ(References(root), 1);
    {
        const XmlNode copy = root;
        EXPECT_EQ(XmlNodeAccess::Data(copy), XmlNodeAccess::Data(root));
        EXPECT_EQ(References(root), 2);
        XmlNode assigned;
        assigned = copy;
        EXPECT_EQ(References(root), 3);
        assigned = assigned;
        EXPECT_EQ(References(root), 3);
        assigned = XmlNode();
        EXPECT_EQ(References(root), 2);
    }
    EXPECT_EQ(References(root), 1);

    // The parent's reference plus one per handle.
    const XmlNode scene = root.GetChild("Scene");
    EXPECT_EQ(References(scene), 2);
    EXPECT_EQ(XmlNodeAccess::Data(scene)->parent, XmlNodeAccess::Data(root));
}

TEST(XmlNode, SubtreeOutlivesItsParent) {
    XmlNode root = Parse("<Glintor><Scene><Camera fov='40'>c</Camera></Scene></Glintor>");
    const XmlNode scene = root.GetChild("Scene");
    root = XmlNode();
    EXPECT_EQ(References(scene), 1);
    EXPECT_EQ(XmlNodeAccess::Data(scene)->parent, nullptr);
    EXPECT_STREQ(scene.GetChild("Camera").GetAttribute("FOV"), "40");
    EXPECT_STREQ(scene.GetChild("camera").GetText(), "c");
}

TEST(XmlNode, ReassigningReleasesTheOldTree) {
    XmlNode node = Parse("<Glintor><a/></Glintor>");
    XmlNode child = node.GetChild("a");
    node = child;  // the root goes, the child stays
    EXPECT_EQ(References(child), 2);
    EXPECT_STREQ(node.Name(), "a");
}

TEST(XmlNode, NamesIgnoreOnlyAsciiCase) {
    const XmlNode root = Parse("<Glintor><\xC3\xA9t\xC3\xA9 X='1'/></Glintor>");
    EXPECT_FALSE(root.GetChild("\xC3\xA9T\xC3\xA9").IsEmpty());
    EXPECT_TRUE(root.GetChild("\xC3\x89T\xC3\x89").IsEmpty());  // "ÉTÉ" is another name
    EXPECT_TRUE(root.GetChild("\xC3\xA9t").IsEmpty());          // no prefix matches
    EXPECT_TRUE(root.GetChild("\xC3\xA9t\xC3\xA9x").IsEmpty());
}

}  // namespace
}  // namespace glintor
