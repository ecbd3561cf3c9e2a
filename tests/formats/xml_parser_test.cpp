// The tree the reader builds: texts, entities, clear sections, attributes, declarations, end-tag
// recovery and the choice of the root.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/xml_characters.h"
#include "formats/xml_node.h"
#include "formats/xml_node_data.h"

namespace glintor {
namespace {

const XmlNodeData& Data(const XmlNode& node) {
    return *XmlNodeAccess::Data(node);
}

XmlNode ParseOk(const std::string& text) {
    XmlResults results;
    XmlNode root = ParseText(text.c_str(), results);
    EXPECT_EQ(results.error, XmlNoError) << ErrorText(results.error) << " in " << text;
    EXPECT_FALSE(root.IsEmpty()) << text;
    return root;
}

struct EntityCase {
    const char* text;   // content of <Glintor>
    const char* value;  // its decoded text
};

TEST(XmlParser, EntitiesInText) {
    const EntityCase cases[] = {
        {"1&lt;2", "1<2"},
        {"&amp;&lt;&gt;&quot;&apos;", "&<>\"'"},
        {"&AMP;&Lt;&gT;&QUOT;&Apos;", "&<>\"'"},
        {"&#65;", "A"},
        {"&#065;&#x41;&#X6a;&#x6A;", "AAjj"},
        {"x&#255;y", "x\xFFy"},
        {"&#32;padded&#32;", " padded "},
        {"caf\xC3\xA9 &amp; cr\xC3\xA8me", "caf\xC3\xA9 & cr\xC3\xA8me"},
    };
    for (const EntityCase& c : cases) {
        const XmlNode root = ParseOk(std::string("<Glintor>") + c.text + "</Glintor>");
        ASSERT_NE(root.GetText(), nullptr) << c.text;
        EXPECT_STREQ(root.GetText(), c.value) << c.text;
    }
}

TEST(XmlParser, FaultyEntities) {
    const std::pair<const char*, int32_t> cases[] = {
        {"&copy;", XmlErrorUnknownEntity},
        {"&amp", XmlErrorUnknownEntity},
        {"& b", XmlErrorUnknownEntity},
        {"&#;", XmlErrorUnknownEntity},
        {"&#x;", XmlErrorUnknownEntity},
        {"&#12a;", XmlErrorUnknownEntity},
        {"&#-5;", XmlErrorUnknownEntity},
        {"&#xG;", XmlErrorUnknownEntity},
        {"&#65", XmlErrorUnknownEntity},
        {"&", XmlErrorUnknownEntity},
        {"&#300;", XmlErrorCharacterAbove255},
        {"&#256;", XmlErrorCharacterAbove255},
        {"&#x100;", XmlErrorCharacterAbove255},
        {"&#99999999999999999999999;", XmlErrorCharacterAbove255},
        {"&#xFFFFFFFFFFFFFFFFFFFF;", XmlErrorCharacterAbove255},
    };
    for (const auto& [content, error] : cases) {
        XmlResults results;
        const XmlNode root =
            ParseText((std::string("<Glintor>") + content + "</Glintor>").c_str(), results);
        EXPECT_EQ(results.error, error) << content;
        EXPECT_EQ(results.column, 10) << content;
        EXPECT_TRUE(root.IsEmpty());
    }
}

TEST(XmlParser, TextsAreTrimmedAndEmptyOnesDropped) {
    const XmlNode root = ParseOk("<Glintor> \t\r\n one two \n<a>   </a>\t<b/>three\n</Glintor>");
    const XmlNodeData& data = Data(root);
    EXPECT_EQ(data.texts, (std::vector<std::string>{"one two", "three"}));
    EXPECT_EQ(root.GetChild("a").GetText(), nullptr);
    EXPECT_EQ(root.GetChild("b").GetText(), nullptr);
    EXPECT_STREQ(root.GetText(), "one two");
}

TEST(XmlParser, CommentBetweenTextsJoinsThem) {
    XmlNode root = ParseOk("<Glintor><Samples>6<!-- six -->4</Samples></Glintor>");
    const XmlNode samples = root.GetChild("Samples");
    EXPECT_STREQ(samples.GetText(), "64");
    EXPECT_EQ(Data(samples).texts.size(), 1u);
    EXPECT_TRUE(Data(samples).clears.empty());
    EXPECT_EQ(Data(samples).order, (std::vector<int32_t>{0 * 4 + XmlOrderText}));

    root = ParseOk("<Glintor> 6 <!-- a --> 4 <!-- b --> 2 </Glintor>");
    EXPECT_EQ(Data(root).texts, (std::vector<std::string>{"642"}));
    EXPECT_TRUE(Data(root).clears.empty());
}

TEST(XmlParser, CommentsThatDoNotSplitATextStay) {
    struct Case {
        const char* text;
        std::vector<std::string> texts;
        size_t clears;
    };
    const Case cases[] = {
        {"<Glintor>6<!--x--></Glintor>", {"6"}, 1},
        {"<Glintor><!--x-->4</Glintor>", {"4"}, 1},
        {"<Glintor>6<!--x--><!--y-->4</Glintor>", {"6", "4"}, 2},
        {"<Glintor>6<![CDATA[x]]>4</Glintor>", {"6", "4"}, 1},
        {"<Glintor>6<b/><!--x-->4</Glintor>", {"6", "4"}, 1},
    };
    for (const Case& c : cases) {
        const XmlNode root = ParseOk(c.text);
        EXPECT_EQ(Data(root).texts, c.texts) << c.text;
        EXPECT_EQ(Data(root).clears.size(), c.clears) << c.text;
    }
}

TEST(XmlParser, ClearSectionsKeepRawContent) {
    struct Case {
        const char* text;
        const char* content;
        const char* open;
        const char* close;
    };
    const Case cases[] = {
        {"<Glintor><![CDATA[a<b>&amp; &bad;]]></Glintor>", "a<b>&amp; &bad;", "<![CDATA[", "]]>"},
        {"<Glintor><!-- <x> & -- --></Glintor>", " <x> & -- ", "<!--", "-->"},
        {"<Glintor><PRE> <b>raw</b>\n</PRE></Glintor>", " <b>raw</b>\n", "<PRE>", "</PRE>"},
        {"<Glintor><!DOCTYPE Glintor SYSTEM \"g.dtd\"></Glintor>", " Glintor SYSTEM \"g.dtd\"",
         "<!DOCTYPE", ">"},
        {"<Glintor><!DOCTYPE g [<!ENTITY x \"y\">\n<!ELEMENT g ANY>]></Glintor>",
         " g [<!ENTITY x \"y\">\n<!ELEMENT g ANY>", "<!DOCTYPE", "]>"},
    };
    for (const Case& c : cases) {
        const XmlNode root = ParseOk(c.text);
        const XmlNodeData& data = Data(root);
        ASSERT_EQ(data.clears.size(), 1u) << c.text;
        EXPECT_EQ(data.clears[0].content, c.content);
        EXPECT_STREQ(data.clears[0].openMark, c.open);
        EXPECT_STREQ(data.clears[0].closeMark, c.close);
        EXPECT_EQ(root.GetText(), nullptr) << "a clear section is not text: " << c.text;
        EXPECT_TRUE(data.children.empty());
    }
}

TEST(XmlParser, ClearMarksAreCaseSensitive) {
    // Lower-case "pre" is an ordinary element; "<!doctype" is an ordinary (odd) tag name.
    const XmlNode root = ParseOk("<Glintor><pre>a</pre></Glintor>");
    EXPECT_STREQ(root.GetChild("PRE").GetText(), "a");
    EXPECT_TRUE(Data(root).clears.empty());
}

TEST(XmlParser, DocumentOrderIsRecorded) {
    const XmlNode root = ParseOk("<Glintor>t1<b/><!--c-->t2<c/><![CDATA[d]]></Glintor>");
    EXPECT_EQ(Data(root).order, (std::vector<int32_t>{0 * 4 + 2, 0 * 4 + 0, 0 * 4 + 3, 1 * 4 + 2,
                                                      1 * 4 + 0, 1 * 4 + 3}));
}

TEST(XmlParser, Attributes) {
    const XmlNode root = ParseOk(
        "<Glintor a=\"1\" b='2' c=3 d e=\"x&amp;y\" A=\"dup\" f = \" spaced > / = \" g=''"
        " h=\"it's\" i='say \"hi\"'/>");
    EXPECT_STREQ(root.GetAttribute("a"), "1");
    EXPECT_STREQ(root.GetAttribute("B"), "2");
    EXPECT_STREQ(root.GetAttribute("c"), "3");
    EXPECT_EQ(root.GetAttribute("d"), nullptr);
    EXPECT_STREQ(root.GetAttribute("e"), "x&y");
    EXPECT_STREQ(root.GetAttribute("f"), " spaced > / = ");
    EXPECT_STREQ(root.GetAttribute("g"), "");
    EXPECT_STREQ(root.GetAttribute("h"), "it's");
    EXPECT_STREQ(root.GetAttribute("i"), "say \"hi\"");
    EXPECT_EQ(root.GetAttribute("missing"), nullptr);
    EXPECT_EQ(root.GetAttribute(nullptr), nullptr);
    EXPECT_EQ(Data(root).attributes.size(), 10u);
}

TEST(XmlParser, FirstAttributeOfANameWins) {
    const XmlNode root = ParseOk("<Glintor Mode Mode=\"late\"><x A=\"1\" a=\"2\"/></Glintor>");
    EXPECT_EQ(root.GetAttribute("mode"), nullptr);
    EXPECT_STREQ(root.GetChild("x").GetAttribute("a"), "1");
}

TEST(XmlParser, UnmatchedQuoteIsAnOrdinaryCharacter) {
    // No closing quote before the end: the quote starts a plain word that stops at "/>".
    const XmlNode root = ParseOk("<Glintor a=\"x/>");
    EXPECT_STREQ(root.GetAttribute("a"), "\"x");
    // A word may hold a lone '/' and a quote further in.
    const XmlNode other = ParseOk("<Glintor a=b/c\"d></Glintor>");
    EXPECT_STREQ(other.GetAttribute("a"), "b/c\"d");
}

XmlNode ParseDocument(const char* text) {
    int32_t error = XmlNoError;
    const char* errorAt = nullptr;
    XmlNode document = ParseXmlDocument(text, XmlCharLengths(XmlEncodingUtf8), error, errorAt);
    EXPECT_EQ(error, XmlNoError) << text;
    return document;
}

TEST(XmlParser, DeclarationBeforeTheRoot) {
    const char* text = "<?xml version=\"1.0\"?>\n<Glintor/>";
    // Two children, so the root is found among the document's children.
    const XmlNode document = ParseDocument(text);
    const XmlNodeData& data = Data(document);
    EXPECT_EQ(data.name, "");
    EXPECT_EQ(data.parent, nullptr);
    ASSERT_EQ(data.children.size(), 2u);
    const XmlNodeData& declaration = *data.children[0];
    EXPECT_TRUE(declaration.isDeclaration);
    EXPECT_EQ(declaration.name, "xml");
    ASSERT_EQ(declaration.attributes.size(), 1u);
    EXPECT_EQ(declaration.attributes[0].name, "version");
    EXPECT_EQ(declaration.attributes[0].value, "1.0");
    EXPECT_FALSE(data.children[1]->isDeclaration);

    const XmlNode root = ParseOk(text);
    EXPECT_STREQ(root.Name(), "Glintor");
    EXPECT_TRUE(Data(root).children.empty());
}

TEST(XmlParser, QuestionMarkBeforeDeclarationEndIsDropped) {
    struct Case {
        const char* text;
        const char* name;
        std::vector<std::pair<std::string, std::string>> attributes;  // name, value
    };
    const Case cases[] = {
        {"<?xml?>", "xml", {}},
        {"<?xml version=1.0?>", "xml", {{"version", "1.0"}}},
        {"<?xml version=\"1.0\" encoding='UTF-8' ?>",
         "xml",
         {{"version", "1.0"}, {"encoding", "UTF-8"}}},
        {"<?xml standalone?>", "xml", {{"standalone", ""}}},
        {"<?pi a=\"?\">", "pi", {{"a", "?"}}},
        {"<?pi a=b ? >", "pi", {{"a", "b"}, {"?", ""}}},
    };
    for (const Case& c : cases) {
        const XmlNode root = ParseOk(std::string("<Glintor>") + c.text + "</Glintor>");
        ASSERT_EQ(Data(root).children.size(), 1u) << c.text;
        const XmlNodeData& declaration = *Data(root).children[0];
        EXPECT_TRUE(declaration.isDeclaration);
        EXPECT_EQ(declaration.name, c.name) << c.text;
        ASSERT_EQ(declaration.attributes.size(), c.attributes.size()) << c.text;
        for (size_t i = 0; i < c.attributes.size(); ++i) {
            EXPECT_EQ(declaration.attributes[i].name, c.attributes[i].first) << c.text;
            EXPECT_EQ(declaration.attributes[i].value, c.attributes[i].second) << c.text;
        }
    }
}

TEST(XmlParser, DeclarationHasNoContent) {
    const XmlNode root = ParseOk("<Glintor><?pi x?><a/>text</Glintor>");
    const XmlNodeData& data = Data(root);
    ASSERT_EQ(data.children.size(), 2u);
    EXPECT_TRUE(data.children[0]->isDeclaration);
    EXPECT_TRUE(data.children[0]->children.empty());
    EXPECT_STREQ(root.GetText(), "text");
}

TEST(XmlParser, EndTagsCloseByNameIgnoringCase) {
    const char* const closing[] = {"</Film>", "</FILM>", "</film >", "</Film\n>", "</Film/x>"};
    for (const char* end : closing) {
        const XmlNode root =
            ParseOk(std::string("<Glintor><Film>1</Film><Film>2") + end + "</Glintor>");
        EXPECT_EQ(root.CountChildren("Film"), 2) << end;
        EXPECT_STREQ(root.GetChild("Film").GetText(), "1");
    }
}

TEST(XmlParser, UnmatchedEndTagClosesOpenElementsUntilOneMatches) {
    XmlResults results;
    const XmlNode root =
        ParseText("<Glintor><Scene><Camera><Lens></Scene><Lights/></Glintor>", results);
    EXPECT_EQ(results.error, XmlWarningUnmatchedEndTag);
    ASSERT_FALSE(root.IsEmpty());
    // Parsing went on after the pending name found Scene: Lights belongs to the root.
    EXPECT_EQ(Data(root).children.size(), 2u);
    EXPECT_FALSE(root.GetChild("Lights").IsEmpty());
    EXPECT_FALSE(root.GetChild("Scene").GetChild("Camera").GetChild("Lens").IsEmpty());
}

TEST(XmlParser, TheRootIsFoundAsTheSingleElementOrAmongTheDocumentsChildren) {
    struct Case {
        const char* text;
        const char* rootName;
    };
    const Case cases[] = {
        {"<Glintor/>", "Glintor"},
        {"<glintor/>", "glintor"},
        {"<GLINTOR></glintor>", "GLINTOR"},
        {"<Outer><x/><Glintor/></Outer>", "Glintor"},
        {"<Other/><Glintor/>", "Glintor"},
        {"text<Glintor/>", "Glintor"},
        {"<!-- c --><Glintor/>", "Glintor"},
        {"<!DOCTYPE Glintor><Glintor/>", "Glintor"},
        {"<Glintor/><Glintor a='second'/>", "Glintor"},
    };
    for (const Case& c : cases) {
        const XmlNode root = ParseOk(c.text);
        EXPECT_STREQ(root.Name(), c.rootName) << c.text;
        EXPECT_EQ(root.GetAttribute("a"), nullptr) << "first one wins: " << c.text;
    }
}

TEST(XmlParser, TagNamesAndWhiteSpace) {
    const XmlNode root = ParseOk("<Glintor\n\t>< Scene\tsamples\n=\r\n'4'\n/></Glintor\t>");
    EXPECT_STREQ(root.GetChild("scene").GetAttribute("SAMPLES"), "4");
}

TEST(XmlParser, TextAfterTheRootBelongsToTheDocument) {
    const XmlNode document = ParseDocument("<Glintor>in</Glintor> after");
    EXPECT_EQ(Data(document).texts, (std::vector<std::string>{"after"}));
    EXPECT_STREQ(ParseOk("<Glintor>in</Glintor> after").GetText(), "in");
}

TEST(XmlParser, ArraysAreTrimmedOnceComplete) {
    std::string text = "<Glintor>";
    for (int i = 0; i < 120; ++i) {
        text += "<Item n='" + std::to_string(i) + "'>t<!--c--><![CDATA[d]]></Item>x";
    }
    text += "</Glintor>";
    const XmlNode root = ParseOk(text);
    const XmlNodeData& data = Data(root);
    EXPECT_EQ(data.children.size(), 120u);
    EXPECT_EQ(data.children.capacity(), data.children.size());
    EXPECT_EQ(data.texts.capacity(), data.texts.size());
    EXPECT_EQ(data.order.size(), 240u);
    EXPECT_EQ(data.order.capacity(), data.order.size());
    const XmlNodeData& item = *data.children[7];
    EXPECT_EQ(item.attributes.capacity(), 1u);
    EXPECT_EQ(item.clears.capacity(), 2u);
    EXPECT_STREQ(root.GetChild("Item").GetAttribute("n"), "0");
}

}  // namespace
}  // namespace glintor
