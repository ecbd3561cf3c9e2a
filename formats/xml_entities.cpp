#include <cstring>

#include "formats/xml_characters.h"

namespace glintor {

namespace {

struct NamedEntity {
    const char* text;  // from '&' to ';'
    char value;
};

constexpr NamedEntity kNamedEntities[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''},
};

// Values past this are all "above 255"; saturating keeps long digit runs from overflowing.
constexpr int32_t kValueCeiling = 0x10000;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = FoldAsciiCase(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// Reads "&#digits;" or "&#xhex;" starting at `amp`; answers the error code, or 0 with the value
// and the position just past ';'.
int32_t ReadCharacterReference(const char* amp, const char* end, int32_t& value,
                               const char*& after) {
    const char* p = amp + 2;
    int base = 10;
    if (p < end && (*p == 'x' || *p == 'X')) {
        base = 16;
        ++p;
    }
    const char* digits = p;
    value = 0;
    while (p < end && *p != ';') {
        const int digit = base == 16 ? HexDigit(*p) : (*p >= '0' && *p <= '9' ? *p - '0' : -1);
        if (digit < 0) {
            return XmlErrorUnknownEntity;
        }
        value = value * base + digit;
        if (value > kValueCeiling) {
            value = kValueCeiling;
        }
        ++p;
    }
    if (p == end || p == digits) {
        return XmlErrorUnknownEntity;
    }
    after = p + 1;
    return value > 255 ? XmlErrorCharacterAbove255 : XmlNoError;
}

}  // namespace

int32_t DecodeXmlEntities(const char* begin, const char* end, const uint8_t* lengths,
                          std::string& out, const char*& errorAt) {
    const char* p = begin;
    while (p < end) {
        if (*p != '&') {
            const char* next = NextXmlChar(p, lengths);
            if (next > end) {
                next = end;
            }
            out.append(p, next);
            p = next;
            continue;
        }
        if (p + 1 < end && p[1] == '#') {
            int32_t value = 0;
            const char* after = nullptr;
            const int32_t error = ReadCharacterReference(p, end, value, after);
            if (error != XmlNoError) {
                errorAt = p;
                return error;
            }
            // Values up to 255 are single bytes, as in the reader's multi-byte mode.
            out.push_back(static_cast<char>(value));
            p = after;
            continue;
        }
        bool known = false;
        for (const NamedEntity& entity : kNamedEntities) {
            const std::size_t length = std::strlen(entity.text);
            if (static_cast<std::size_t>(end - p) < length) {
                continue;
            }
            std::size_t i = 1;
            while (i < length && FoldAsciiCase(p[i]) == entity.text[i]) {
                ++i;
            }
            if (i == length) {
                out.push_back(entity.value);
                p += length;
                known = true;
                break;
            }
        }
        if (!known) {
            errorAt = p;
            return XmlErrorUnknownEntity;
        }
    }
    return XmlNoError;
}

}  // namespace glintor
