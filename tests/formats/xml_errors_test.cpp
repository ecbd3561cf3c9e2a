// Error codes of the reader with the line and column each is reported at.
#include <gtest/gtest.h>

#include <string>

#include "formats/xml_node.h"

namespace glintor {
namespace {

struct ErrorCase {
    const char* label;
    const char* text;
    int32_t error;
    int32_t line;
    int32_t column;
};

class XmlErrorPositions : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(XmlErrorPositions, CodeLineAndColumn) {
    const ErrorCase& c = GetParam();
    XmlResults results;
    const XmlNode root = ParseText(c.text, results);
    EXPECT_EQ(results.error, c.error) << ErrorText(results.error);
    EXPECT_EQ(results.line, c.line);
    EXPECT_EQ(results.column, c.column);
    // Warnings still deliver the tree; errors deliver nothing.
    EXPECT_EQ(root.IsEmpty(), c.error > XmlWarningNoTag);
}

const ErrorCase kErrorCases[] = {
    {"well_formed", "<Glintor><Scene/></Glintor>", XmlNoError, 0, 0},
    // Warning 1: reported where the unmatched end tag starts.
    {"end_tag_skips_open_element", "<Glintor><Scene><Camera></Scene></Glintor>",
     XmlWarningUnmatchedEndTag, 1, 25},
    {"end_tag_skips_on_later_line", "<Glintor>\n  <Scene>\n    <Camera>\n  </Scene>\n</Glintor>\n",
     XmlWarningUnmatchedEndTag, 4, 3},
    {"end_tag_skips_two_elements", "<Glintor><Scene><Camera><Lens></Scene></Glintor>",
     XmlWarningUnmatchedEndTag, 1, 31},
    {"first_warning_is_kept", "<Glintor><a><b></a>\n<c><d></c></Glintor>",
     XmlWarningUnmatchedEndTag, 1, 16},
    {"end_of_text_inside_element", "<Glintor><Scene>", XmlWarningUnmatchedEndTag, 1, 17},
    {"end_of_text_inside_start_tag", "<Glintor a=\"1\"", XmlWarningUnmatchedEndTag, 1, 15},
    {"end_of_text_after_equals", "<Glintor a=", XmlWarningUnmatchedEndTag, 1, 12},
    {"carriage_return_is_a_column", "<Glintor>\r<a>", XmlWarningUnmatchedEndTag, 1, 14},
    // 4 and 5: at the token found where the name (or the closing '>') should be.
    {"start_tag_without_name", "<Glintor><></Glintor>", XmlErrorMissingStartTagName, 1, 11},
    {"start_tag_with_quoted_name", "<Glintor>\n  <\"Scene\"/>", XmlErrorMissingStartTagName, 2, 4},
    {"start_tag_at_end_of_text", "<Glintor><", XmlErrorMissingStartTagName, 1, 11},
    {"declaration_without_name", "<Glintor><?></Glintor>", XmlErrorMissingStartTagName, 1, 12},
    {"end_tag_without_name", "<Glintor></>", XmlErrorMissingEndTagName, 1, 12},
    {"end_tag_with_two_words", "<Glintor></Glintor x>", XmlErrorMissingEndTagName, 1, 20},
    {"end_tag_cut_by_end_of_text", "<Glintor></Glintor", XmlErrorMissingEndTagName, 1, 19},
    {"end_tag_closed_as_empty", "<Glintor></Glintor/>", XmlErrorMissingEndTagName, 1, 19},
    // 6: the pending end tag reached the document node.
    {"end_tag_matches_nothing", "<Glintor><Film></Filmx></Glintor>", XmlErrorUnmatchedEndTag, 1,
     16},
    {"end_tag_at_document_level", "<Glintor/></Glintor>", XmlErrorUnmatchedEndTag, 1, 11},
    {"end_tag_after_declaration", "<?xml version=\"1.0\"?>\n  </Glintor>", XmlErrorUnmatchedEndTag,
     2, 3},
    // 7: at the opening mark.
    {"comment_not_closed", "<Glintor>\n<!-- never closed\n</Glintor>", XmlErrorUnmatchedClearTag, 2,
     1},
    {"cdata_not_closed", "<Glintor><![CDATA[ x ]]</Glintor>", XmlErrorUnmatchedClearTag, 1, 10},
    {"doctype_not_closed", "<Glintor><!DOCTYPE x", XmlErrorUnmatchedClearTag, 1, 10},
    {"doctype_subset_not_closed", "<Glintor><!DOCTYPE x [<!ENTITY a 'b'>",
     XmlErrorUnmatchedClearTag, 1, 10},
    {"pre_not_closed", "<Glintor><PRE>text</pre></Glintor>", XmlErrorUnmatchedClearTag, 1, 10},
    // 8: at the unexpected token.
    {"stray_equals", "<Glintor a=\"1\" = >", XmlErrorUnexpectedToken, 1, 16},
    {"equals_without_value", "<Glintor a=>", XmlErrorUnexpectedToken, 1, 12},
    {"tag_inside_tag", "<Glintor <Scene>", XmlErrorUnexpectedToken, 1, 10},
    {"quoted_attribute_name", "<Glintor \"a\"=\"1\">", XmlErrorUnexpectedToken, 1, 10},
    {"comment_inside_tag", "<Glintor <!-- c -->>", XmlErrorUnexpectedToken, 1, 10},
    {"quote_cut_by_tag_start", "<Glintor a=\"x<y\">", XmlErrorUnexpectedToken, 1, 14},
    // 12 and 13: at the '&' of the faulty reference.
    {"unknown_entity_in_text", "<Glintor>a &copy; b</Glintor>", XmlErrorUnknownEntity, 1, 12},
    {"unknown_entity_in_attribute", "<Glintor a=\"&bad;\"/>", XmlErrorUnknownEntity, 1, 13},
    {"entity_without_semicolon", "<Glintor>\n\t&amp</Glintor>", XmlErrorUnknownEntity, 2, 2},
    {"reference_above_255", "<Glintor>&#300;</Glintor>", XmlErrorCharacterAbove255, 1, 10},
    {"hex_reference_above_255", "<Glintor k=&#x100;/>", XmlErrorCharacterAbove255, 1, 12},
    // 11: no place in the text.
    {"other_root", "<Scene/>", XmlErrorFirstTagNotFound, 0, 0},
    {"root_too_deep", "<Outer><Inner><Glintor/></Inner></Outer>", XmlErrorFirstTagNotFound, 0, 0},
    {"warning_without_root", "<Other>", XmlErrorFirstTagNotFound, 0, 0},
    {"only_text", "just some text", XmlErrorFirstTagNotFound, 0, 0},
    {"empty_text", "", XmlErrorFirstTagNotFound, 0, 0},
    {"only_comment", "<!-- c -->", XmlErrorFirstTagNotFound, 0, 0},
    // With no element at all the document's own error gives way to "no tag", hence 11.
    {"error_before_any_element", "&bad; <Glintor/>", XmlErrorFirstTagNotFound, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Reader, XmlErrorPositions, ::testing::ValuesIn(kErrorCases),
                         [](const ::testing::TestParamInfo<ErrorCase>& info) {
                             return std::string(info.param.label);
                         });

TEST(XmlErrors, NullTextHasNoElements) {
    XmlResults results;
    EXPECT_TRUE(ParseText(nullptr, results).IsEmpty());
    EXPECT_EQ(results.error, XmlErrorNoElements);
    EXPECT_EQ(results.line, 0);
    EXPECT_EQ(results.column, 0);
}

TEST(XmlErrors, ColumnsCountCharactersNotBytes) {
    // "é" is two bytes of UTF-8 but one column.
    XmlResults results;
    ParseText("<Glintor>\xC3\xA9 &x;</Glintor>", results);
    EXPECT_EQ(results.error, XmlErrorUnknownEntity);
    EXPECT_EQ(results.column, 12);
}

TEST(XmlErrors, ResultsAreResetBetweenParses) {
    XmlResults results;
    ParseText("<Glintor><Scene>", results);
    ASSERT_EQ(results.error, XmlWarningUnmatchedEndTag);
    ParseText("<Glintor/>", results);
    EXPECT_EQ(results.error, XmlNoError);
    EXPECT_EQ(results.line, 0);
    EXPECT_EQ(results.column, 0);
}

TEST(XmlErrors, TextTable) {
    const char* const expected[] = {
        "No error",
        "Warning: Unmatched end tag",
        "Warning: No XML tag found",
        "Error: No XML data",
        "Error: Missing start tag name",
        "Error: Missing end tag name",
        "Error: Unmatched end tag",
        "Error: Unmatched clear tag end",
        "Error: Unexpected token found",
        "Error: No elements found",
        "Error: File not found",
        "Error: First Tag not found",
        "Error: Unknown character entity",
        "Error: Character code above 255 is forbidden in MultiByte char mode.",
        "Error: unable to convert between WideChar and MultiByte chars",
        "Error: unable to open file for writing",
        "Error: cannot write into file",
        "Warning: Base64-string length is not a multiple of 4",
        "Error: Base64-string contains an illegal character",
        "Warning: Base64-string is truncated",
        "Error: Base64 decode output buffer is too small",
    };
    for (int32_t code = 0; code <= 20; ++code) {
        EXPECT_STREQ(ErrorText(code), expected[code]) << code;
    }
    EXPECT_STREQ(ErrorText(-1), "Unknown");
    EXPECT_STREQ(ErrorText(21), "Unknown");
    EXPECT_STREQ(ErrorText(1000), "Unknown");
}

TEST(XmlErrors, MessageTexts) {
    EXPECT_EQ(FormatXmlParseError("scenes/room.xml", {XmlWarningUnmatchedEndTag, 4, 3}),
              "XML Parsing error inside file 'scenes/room.xml'.\n"
              "Warning: Unmatched end tag\n"
              "At line 4, column 3.\n");
    EXPECT_EQ(FormatXmlParseError("a.xml", {XmlErrorFirstTagNotFound, 0, 0}),
              "XML Parsing error inside file 'a.xml'.\n"
              "Error: First Tag not found\n"
              "At line 0, column 0.\n"
              "First Tag should be 'Glintor'.\n");
    EXPECT_EQ(FormatXmlParseError("missing.xml", {XmlErrorFileNotFound, 0, 0}),
              "XML Parsing error inside file 'missing.xml'.\n"
              "Error: File not found\n"
              "At line 0, column 0.\n");
    const std::string longPath(5000, 'p');
    const std::string text =
        FormatXmlParseError(longPath.c_str(), {XmlErrorUnknownEntity, 12, 345});
    EXPECT_EQ(text, "XML Parsing error inside file '" + longPath +
                        "'.\nError: Unknown character entity\nAt line 12, column 345.\n");
}

}  // namespace
}  // namespace glintor
