#include <array>
#include <atomic>
#include <cstring>

#include "formats/xml_characters.h"
#include "formats/xml_node.h"
#include "platform/text_encoding.h"

namespace glintor {

namespace {

using LengthTable = std::array<uint8_t, 256>;

constexpr LengthTable MakeLengthTable(XmlEncoding encoding) {
    LengthTable table{};
    for (int b = 0; b < 256; ++b) {
        uint8_t length = b == 0 ? 0 : 1;
        switch (encoding) {
            case XmlEncodingUtf8:
                if (b >= 0xC2 && b <= 0xDF) {
                    length = 2;
                } else if (b >= 0xE0 && b <= 0xEF) {
                    length = 3;
                } else if (b >= 0xF0 && b <= 0xF4) {
                    length = 4;
                }
                break;
            case XmlEncodingShiftJis:
                if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF)) {
                    length = 2;
                }
                break;
            case XmlEncodingGb2312:
                if (b >= 0xA1 && b <= 0xF7) {
                    length = 2;
                }
                break;
            case XmlEncodingBig5:
            case XmlEncodingGbk:
                if (b >= 0x81 && b <= 0xFE) {
                    length = 2;
                }
                break;
            default:
                break;
        }
        table[b] = length;
    }
    return table;
}

constexpr LengthTable kUtf8Lengths = MakeLengthTable(XmlEncodingUtf8);
constexpr LengthTable kSingleByteLengths = MakeLengthTable(XmlEncodingSingleByte);
constexpr LengthTable kShiftJisLengths = MakeLengthTable(XmlEncodingShiftJis);
constexpr LengthTable kGb2312Lengths = MakeLengthTable(XmlEncodingGb2312);
constexpr LengthTable kBig5Lengths = MakeLengthTable(XmlEncodingBig5);
constexpr LengthTable kGbkLengths = MakeLengthTable(XmlEncodingGbk);

std::atomic<int32_t> currentEncoding{XmlEncodingUtf8};

// True when the `count` bytes at `p` start with `word`, ignoring ASCII case.
bool StartsWithIgnoringCase(const unsigned char* p, std::size_t count, const char* word) {
    const std::size_t length = std::strlen(word);
    if (count < length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (FoldAsciiCase(static_cast<char>(p[i])) != FoldAsciiCase(word[i])) {
            return false;
        }
    }
    return true;
}

// Walks the bytes as UTF-8; false at the first byte that should continue a character but does
// not. A NUL or a character cut by the end of the sample ends the walk without a verdict.
bool LooksLikeUtf8(const unsigned char* bytes, std::size_t count) {
    std::size_t i = 0;
    while (i < count && bytes[i] != 0) {
        const std::size_t length = kUtf8Lengths[bytes[i]];
        if (i + length > count) {
            break;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

}  // namespace

const uint8_t* XmlCharLengths(XmlEncoding encoding) {
    switch (encoding) {
        case XmlEncodingSingleByte:
            return kSingleByteLengths.data();
        case XmlEncodingShiftJis:
            return kShiftJisLengths.data();
        case XmlEncodingGb2312:
            return kGb2312Lengths.data();
        case XmlEncodingBig5:
            return kBig5Lengths.data();
        case XmlEncodingGbk:
            return kGbkLengths.data();
        default:
            return kUtf8Lengths.data();
    }
}

XmlEncoding CurrentXmlEncoding() {
    return static_cast<XmlEncoding>(currentEncoding.load());
}

void SetXmlEncoding(int32_t code) {
    if (code >= XmlEncodingUtf8 && code <= XmlEncodingGbk) {
        currentEncoding.store(code);
    }
}

XmlEncoding GuessXmlEncoding(const unsigned char* bytes, std::size_t count) {
    constexpr std::size_t kSample = 200;
    count = count < kSample ? count : kSample;
    if (count < 25 || IsUtf16Text(bytes, count)) {
        return XmlEncodingUnknown;
    }
    if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        return XmlEncodingUtf8;
    }
    const bool validUtf8 = LooksLikeUtf8(bytes, count);
    const XmlEncoding provisional = validUtf8 ? XmlEncodingUtf8 : XmlEncodingSingleByte;

    constexpr char kWord[] = "encoding";
    constexpr std::size_t kWordLength = sizeof(kWord) - 1;
    std::size_t i = 0;
    while (i + kWordLength <= count && std::memcmp(bytes + i, kWord, kWordLength) != 0) {
        ++i;
    }
    if (i + kWordLength > count) {
        return provisional;
    }
    i += kWordLength;
    while (i < count && IsXmlSpace(static_cast<char>(bytes[i]))) {
        ++i;
    }
    if (i >= count || bytes[i] != '=') {
        return provisional;
    }
    ++i;
    while (i < count && IsXmlSpace(static_cast<char>(bytes[i]))) {
        ++i;
    }
    if (i >= count || (bytes[i] != '"' && bytes[i] != '\'')) {
        return provisional;
    }
    ++i;
    while (i < count && IsXmlSpace(static_cast<char>(bytes[i]))) {
        ++i;
    }

    const unsigned char* value = bytes + i;
    const std::size_t left = count - i;
    if (StartsWithIgnoringCase(value, left, "utf-8") ||
        StartsWithIgnoringCase(value, left, "utf8")) {
        return validUtf8 ? XmlEncodingUtf8 : XmlEncodingUnknown;
    }
    if (StartsWithIgnoringCase(value, left, "shiftjis") ||
        StartsWithIgnoringCase(value, left, "shift-jis") ||
        StartsWithIgnoringCase(value, left, "sjis")) {
        return XmlEncodingShiftJis;
    }
    if (StartsWithIgnoringCase(value, left, "GB2312")) {
        return XmlEncodingGb2312;
    }
    if (StartsWithIgnoringCase(value, left, "Big5")) {
        return XmlEncodingBig5;
    }
    if (StartsWithIgnoringCase(value, left, "GBK")) {
        return XmlEncodingGbk;
    }
    return XmlEncodingSingleByte;
}

}  // namespace glintor
