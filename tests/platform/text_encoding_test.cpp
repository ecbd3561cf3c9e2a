// Recognition of 16-bit text and its conversion, checked against iconv as an independent reference.
#include "platform/text_encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <string>
#include <vector>

namespace glintor {
namespace {

std::string Units(const std::vector<uint16_t>& units, bool bigEndian) {
    std::string bytes;
    for (const uint16_t u : units) {
        const char high = static_cast<char>(u >> 8);
        const char low = static_cast<char>(u & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

Utf16ByteOrder Detect(const std::string& bytes) {
    return DetectUtf16(bytes.data(), bytes.size());
}

TEST(TextEncoding, DetectsByteOrderMarks) {
    EXPECT_EQ(Detect("\xFF\xFE"), Utf16ByteOrder::LittleEndian);
    EXPECT_EQ(Detect("\xFE\xFF"), Utf16ByteOrder::BigEndian);
    EXPECT_EQ(Detect("\xFF\xFE" + Units({0x65E5, 0x672C}, false)), Utf16ByteOrder::LittleEndian);
    EXPECT_EQ(Detect("\xEF\xBB\xBF<Glintor/>"), Utf16ByteOrder::None);
}

TEST(TextEncoding, DetectsAlternatingNulBytes) {
    const std::vector<uint16_t> ascii = {'<', 'G', 'l', 'i', 'n', 't', 'o', 'r', '/', '>'};
    EXPECT_EQ(Detect(Units(ascii, false)), Utf16ByteOrder::LittleEndian);
    EXPECT_EQ(Detect(Units(ascii, true)), Utf16ByteOrder::BigEndian);
    EXPECT_EQ(Detect(std::string("A\0", 2)), Utf16ByteOrder::LittleEndian);

    // Some non-ASCII characters among mostly ASCII ones still count as 16-bit text.
    std::vector<uint16_t> mixed = ascii;
    mixed.insert(mixed.begin() + 3, {0x65E5, 0x0100, 0x20AC});
    EXPECT_EQ(Detect(Units(mixed, false)), Utf16ByteOrder::LittleEndian);
    EXPECT_EQ(Detect(Units(mixed, true)), Utf16ByteOrder::BigEndian);
}

TEST(TextEncoding, EightBitTextIsNotSixteenBit) {
    EXPECT_EQ(Detect(""), Utf16ByteOrder::None);
    EXPECT_EQ(Detect("<"), Utf16ByteOrder::None);
    EXPECT_EQ(Detect("<?xml version=\"1.0\"?><Glintor>caf\xC3\xA9</Glintor>"),
              Utf16ByteOrder::None);
    EXPECT_EQ(Detect(std::string("<Glintor>\0</Glintor>", 20)), Utf16ByteOrder::None);
    EXPECT_EQ(Detect(std::string(64, '\0')), Utf16ByteOrder::None);
    EXPECT_FALSE(IsUtf16Text("plain text", 10));
    EXPECT_TRUE(IsUtf16Text("\xFF\xFE", 2));
}

std::string ToUtf8(const std::string& bytes, Utf16ByteOrder order, bool expectOk = true) {
    std::string out;
    EXPECT_EQ(ConvertUtf16ToUtf8(bytes.data(), bytes.size(), order, out), expectOk);
    return out;
}

TEST(TextEncoding, ConvertsEveryLengthOfUtf8) {
    const std::vector<uint16_t> units = {'A', 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xFFFF, 0x7F, 0x80};
    const std::string expected = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBF\x7F\xC2\x80";
    EXPECT_EQ(ToUtf8(Units(units, false), Utf16ByteOrder::LittleEndian), expected);
    EXPECT_EQ(ToUtf8(Units(units, true), Utf16ByteOrder::BigEndian), expected);
    EXPECT_EQ(ToUtf8(Units({0xDBFF, 0xDFFF}, false), Utf16ByteOrder::LittleEndian),
              "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(ToUtf8("", Utf16ByteOrder::LittleEndian), "");
}

TEST(TextEncoding, StopsAtZeroUnitAndIgnoresOddByte) {
    EXPECT_EQ(ToUtf8(Units({'a', 'b', 0, 'c'}, false), Utf16ByteOrder::LittleEndian), "ab");
    EXPECT_EQ(ToUtf8(Units({'a', 'b'}, false) + "c", Utf16ByteOrder::LittleEndian), "ab");
}

TEST(TextEncoding, UnpairedSurrogatesFail) {
    const std::vector<std::vector<uint16_t>> faulty = {
        {0xD800},                  // high at the end
        {'a', 0xD800, 'b'},        // high before a non-surrogate
        {0xD800, 0xD800, 0xDC00},  // high before another high
        {0xDC00, 'a'},             // low alone
        {'a', 0xDFFF},
        {0xD800, 0},  // high before the zero unit
    };
    for (const auto& units : faulty) {
        ToUtf8(Units(units, false), Utf16ByteOrder::LittleEndian, false);
        ToUtf8(Units(units, true), Utf16ByteOrder::BigEndian, false);
    }
}

// iconv's UTF-16 to UTF-8, the reference for random input.
bool IconvToUtf8(const std::string& bytes, std::string& out) {
    iconv_t converter = iconv_open("UTF-8", "UTF-16LE");
    out.assign(bytes.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return result != static_cast<size_t>(-1);
}

TEST(TextEncoding, AgreesWithIconvOnRandomUnits) {
    std::mt19937 random(99u);
    int failures = 0;
    for (int i = 0; i < 3000; ++i) {
        std::vector<uint16_t> units(random() % 40);
        for (uint16_t& u : units) {
            // Surrogates are drawn often so that pairs and strays are both common.
            const uint32_t pick = random() % 8;
            u = static_cast<uint16_t>(pick < 3 ? 0xD800 + random() % 0x800
                                               : 1 + random() % (pick < 5 ? 0x7FF : 0xFFFF));
        }
        const std::string bytes = Units(units, false);
        std::string ours;
        std::string reference;
        const bool ok =
            ConvertUtf16ToUtf8(bytes.data(), bytes.size(), Utf16ByteOrder::LittleEndian, ours);
        const bool referenceOk = IconvToUtf8(bytes, reference);
        ASSERT_EQ(ok, referenceOk) << "case " << i;
        if (ok) {
            ASSERT_EQ(ours, reference) << "case " << i;
        }
        failures += !ok;
    }
    EXPECT_GT(failures, 100);
    EXPECT_LT(failures, 2900);
}

TEST(TextEncoding, ConvertsToOtherCharsets) {
    std::string out;
    const std::string latin = Units({'c', 'a', 'f', 0xE9}, false);
    EXPECT_TRUE(ConvertUtf16ToCharset(latin.data(), latin.size(), Utf16ByteOrder::LittleEndian,
                                      "ISO-8859-1", out));
    EXPECT_EQ(out, "caf\xE9");

    const std::string japanese = Units({0x65E5, 0x672C, 'x'}, true);
    EXPECT_TRUE(ConvertUtf16ToCharset(japanese.data(), japanese.size(), Utf16ByteOrder::BigEndian,
                                      "SHIFT_JIS", out));
    EXPECT_EQ(out, "\x93\xFA\x96{x");

    const std::string euro = Units({0x20AC}, false);
    EXPECT_FALSE(ConvertUtf16ToCharset(euro.data(), euro.size(), Utf16ByteOrder::LittleEndian,
                                       "ISO-8859-1", out));
    const std::string lone = Units({'a', 0xD800, 'b'}, false);
    EXPECT_FALSE(
        ConvertUtf16ToCharset(lone.data(), lone.size(), Utf16ByteOrder::LittleEndian, "GBK", out));
    EXPECT_FALSE(ConvertUtf16ToCharset(latin.data(), latin.size(), Utf16ByteOrder::LittleEndian,
                                       "NO-SUCH-CHARSET", out));

    // Output longer than the first guess of two bytes per unit.
    const std::string wide = Units(std::vector<uint16_t>(5000, 0xFFE5), false);
    ASSERT_TRUE(ConvertUtf16ToCharset(wide.data(), wide.size(), Utf16ByteOrder::LittleEndian,
                                      "UTF-8", out));
    EXPECT_EQ(out.size(), 15000u);
    EXPECT_EQ(out.substr(0, 3), "\xEF\xBF\xA5");

    const std::string stop = Units({'a', 0, 'b'}, false);
    EXPECT_TRUE(ConvertUtf16ToCharset(stop.data(), stop.size(), Utf16ByteOrder::LittleEndian,
                                      "ISO-8859-1", out));
    EXPECT_EQ(out, "a");
}

}  // namespace
}  // namespace glintor
