// Character lengths per encoding, the encoding guess, and parsing under other encodings.
#include <gtest/gtest.h>

#include <string>

#include "formats/xml_characters.h"
#include "formats/xml_node.h"

namespace glintor {
namespace {

// Restores the process-wide encoding after a test that changes it.
class EncodingScope {
public:
    explicit EncodingScope(XmlEncoding encoding) : saved_(CurrentXmlEncoding()) {
        SetXmlEncoding(encoding);
    }
    ~EncodingScope() { SetXmlEncoding(saved_); }

private:
    XmlEncoding saved_;
};

TEST(XmlEncoding, LengthTables) {
    struct Row {
        XmlEncoding encoding;
        int byte;
        int length;
    };
    const Row rows[] = {
        {XmlEncodingUtf8, 0x00, 0},       {XmlEncodingUtf8, 0x41, 1},
        {XmlEncodingUtf8, 0x80, 1},       {XmlEncodingUtf8, 0xC1, 1},
        {XmlEncodingUtf8, 0xC2, 2},       {XmlEncodingUtf8, 0xDF, 2},
        {XmlEncodingUtf8, 0xE0, 3},       {XmlEncodingUtf8, 0xEF, 3},
        {XmlEncodingUtf8, 0xF0, 4},       {XmlEncodingUtf8, 0xF4, 4},
        {XmlEncodingUtf8, 0xF5, 1},       {XmlEncodingUtf8, 0xFF, 1},
        {XmlEncodingSingleByte, 0x00, 0}, {XmlEncodingSingleByte, 0xC3, 1},
        {XmlEncodingSingleByte, 0xFF, 1}, {XmlEncodingShiftJis, 0x00, 0},
        {XmlEncodingShiftJis, 0x80, 1},   {XmlEncodingShiftJis, 0x81, 2},
        {XmlEncodingShiftJis, 0x9F, 2},   {XmlEncodingShiftJis, 0xA0, 1},
        {XmlEncodingShiftJis, 0xDF, 1},   {XmlEncodingShiftJis, 0xE0, 2},
        {XmlEncodingShiftJis, 0xEF, 2},   {XmlEncodingShiftJis, 0xF0, 1},
        {XmlEncodingGb2312, 0xA0, 1},     {XmlEncodingGb2312, 0xA1, 2},
        {XmlEncodingGb2312, 0xF7, 2},     {XmlEncodingGb2312, 0xF8, 1},
        {XmlEncodingBig5, 0x80, 1},       {XmlEncodingBig5, 0x81, 2},
        {XmlEncodingBig5, 0xFE, 2},       {XmlEncodingBig5, 0xFF, 1},
        {XmlEncodingGbk, 0x80, 1},        {XmlEncodingGbk, 0x81, 2},
        {XmlEncodingGbk, 0xFE, 2},        {XmlEncodingGbk, 0xFF, 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(XmlCharLengths(row.encoding)[row.byte], row.length)
            << "encoding " << row.encoding << " byte " << row.byte;
    }
    for (int encoding = XmlEncodingUtf8; encoding <= XmlEncodingGbk; ++encoding) {
        const uint8_t* lengths = XmlCharLengths(static_cast<XmlEncoding>(encoding));
        for (int b = 1; b < 0x80; ++b) {
            EXPECT_EQ(lengths[b], 1) << "ASCII is one byte in encoding " << encoding;
        }
    }
}

TEST(XmlEncoding, OnlyKnownCodesAreAdopted) {
    const EncodingScope scope(XmlEncodingGbk);
    for (const int32_t code : {0, 7, -1, 100}) {
        SetXmlEncoding(code);
        EXPECT_EQ(CurrentXmlEncoding(), XmlEncodingGbk);
    }
    SetXmlEncoding(XmlEncodingShiftJis);
    EXPECT_EQ(CurrentXmlEncoding(), XmlEncodingShiftJis);
}

XmlEncoding Guess(const std::string& bytes) {
    return GuessXmlEncoding(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// ASCII as UTF-16 little-endian.
std::string WidenAscii(const std::string& ascii) {
    std::string wide;
    for (const char c : ascii) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

std::string Declared(const std::string& encoding) {
    return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<Glintor/>";
}

TEST(XmlEncoding, GuessFromTheFirstBytes) {
    const std::string padding = "<Glintor>" + std::string(30, ' ') + "</Glintor>";
    struct Case {
        const char* label;
        std::string bytes;
        XmlEncoding guess;
    };
    const Case cases[] = {
        {"too short", "<Glintor/>", XmlEncodingUnknown},
        {"24 bytes", std::string(24, 'a'), XmlEncodingUnknown},
        {"utf-16", WidenAscii(padding), XmlEncodingUnknown},
        {"utf-16 mark", "\xFF\xFE" + WidenAscii(padding), XmlEncodingUnknown},
        {"utf-8 mark", "\xEF\xBB\xBF" + Declared("ISO-8859-1"), XmlEncodingUtf8},
        {"plain ascii", padding, XmlEncodingUtf8},
        {"valid utf-8", "<Glintor>caf\xC3\xA9" + padding, XmlEncodingUtf8},
        {"latin-1 byte", "<Glintor>caf\xE9 au lait" + padding, XmlEncodingSingleByte},
        {"cut continuation", "<Glintor>\xE2\x82" + padding, XmlEncodingSingleByte},
        {"declared utf-8", Declared("utf-8"), XmlEncodingUtf8},
        {"declared UTF8", Declared("UTF8"), XmlEncodingUtf8},
        {"declared utf-8 but invalid", "<?xml encoding='UTF-8'?><a>\xE9</a>" + padding,
         XmlEncodingUnknown},
        {"declared latin-1", Declared("ISO-8859-1"), XmlEncodingSingleByte},
        {"declared windows-1252", Declared("windows-1252"), XmlEncodingSingleByte},
        {"declared utf-16", Declared("UTF-16"), XmlEncodingSingleByte},
        {"declared Shift-JIS", Declared("Shift-JIS"), XmlEncodingShiftJis},
        {"declared shiftjis", Declared("shiftjis"), XmlEncodingShiftJis},
        {"declared SJIS", Declared("SJIS"), XmlEncodingShiftJis},
        {"declared shift_jis", Declared("shift_jis"), XmlEncodingSingleByte},
        {"declared gb2312", Declared("gb2312"), XmlEncodingGb2312},
        {"declared Big5", Declared("Big5"), XmlEncodingBig5},
        {"declared big5-hkscs", Declared("big5-hkscs"), XmlEncodingBig5},
        {"declared GBK", Declared("GBK"), XmlEncodingGbk},
        {"spaces and single quotes", "<?xml encoding \t=\n ' gbk ' ?>" + padding, XmlEncodingGbk},
        {"no equals", "<?xml encoding \"GBK\"?>" + padding, XmlEncodingUtf8},
        {"no quote", "<?xml encoding=GBK?>" + padding, XmlEncodingUtf8},
        {"no quote on latin-1", "<?xml encoding=GBK?>\xE9" + padding, XmlEncodingSingleByte},
        {"upper-case word is not it", "<?xml ENCODING=\"GBK\"?>" + padding, XmlEncodingUtf8},
        {"declaration past 200 bytes", std::string(200, ' ') + Declared("GBK"), XmlEncodingUtf8},
        {"value cut by the sample end", std::string(186, ' ') + "encoding=\"GB2312\"",
         XmlEncodingSingleByte},
        {"value inside the sample", std::string(180, ' ') + "encoding=\"GB2312\"",
         XmlEncodingGb2312},
        {"nul bytes", "<Glintor>" + std::string(3, '\0') + " encoding='big5'" + padding,
         XmlEncodingBig5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Guess(c.bytes), c.guess) << c.label;
    }
}

TEST(XmlEncoding, LeadBytesSwallowTheirTrailByte) {
    // 0x81 starts a two-byte character in Shift-JIS, so the quote after it is not the closing one;
    // as a single byte it is.
    const char* text = "<Glintor a=\"\x81\"\"/>";
    {
        const EncodingScope scope(XmlEncodingShiftJis);
        XmlResults results;
        const XmlNode root = ParseText(text, results);
        ASSERT_EQ(results.error, XmlNoError);
        EXPECT_STREQ(root.GetAttribute("a"), "\x81\"");
    }
    {
        const EncodingScope scope(XmlEncodingSingleByte);
        XmlResults results;
        const XmlNode root = ParseText(text, results);
        ASSERT_EQ(results.error, XmlNoError);
        EXPECT_STREQ(root.GetAttribute("a"), "\x81");
    }
}

TEST(XmlEncoding, MarkupInsideAMultiByteCharacterIsNotMarkup) {
    const EncodingScope scope(XmlEncodingBig5);
    // "\xA4<" is one Big5 character here, so no tag starts inside the text.
    XmlResults results;
    const XmlNode root = ParseText("<Glintor>\xA4<x/>\xA4@</Glintor>", results);
    ASSERT_EQ(results.error, XmlNoError);
    EXPECT_STREQ(root.GetText(), "\xA4<x/>\xA4@");
    EXPECT_EQ(root.CountChildren("x"), 0);
}

TEST(XmlEncoding, ColumnsCountCharactersOfTheEncoding) {
    const char* text = "<Glintor>\x82\xA0\x82\xA2 &bad;</Glintor>";
    {
        const EncodingScope scope(XmlEncodingShiftJis);
        XmlResults results;
        ParseText(text, results);
        EXPECT_EQ(results.error, XmlErrorUnknownEntity);
        EXPECT_EQ(results.column, 13);
    }
    {
        const EncodingScope scope(XmlEncodingSingleByte);
        XmlResults results;
        ParseText(text, results);
        EXPECT_EQ(results.column, 15);
    }
}

TEST(XmlEncoding, CharacterCutByTheEndStaysInsideTheText) {
    // A lead byte of four bytes right before the terminating NUL.
    const std::string text = "<Glintor a=\xF0";
    XmlResults results;
    const XmlNode root = ParseText(text.c_str(), results);
    EXPECT_EQ(results.error, XmlWarningUnmatchedEndTag);
    EXPECT_EQ(results.column, 13);
    EXPECT_STREQ(root.GetAttribute("a"), "\xF0");
}

}  // namespace
}  // namespace glintor
