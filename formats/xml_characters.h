// Character-level helpers of the XML reader: per-encoding character lengths, white space, name
// comparison and entity decoding.
#pragma once

#include <cstdint>
#include <string>

#include "formats/xml_node.h"

namespace glintor {

// For every lead byte, the length in bytes of the character it starts; 0 for byte 0.
const uint8_t* XmlCharLengths(XmlEncoding encoding);

// Start of the character after the one at `p`, which must not be the terminating NUL. A character
// cut short by a NUL ends at that NUL, so scanning never passes the end of the text.
inline const char* NextXmlChar(const char* p, const uint8_t* lengths) {
    int length = lengths[static_cast<unsigned char>(*p)];
    const char* next = p + 1;
    while (--length > 0 && *next != 0) {
        ++next;
    }
    return next;
}

inline bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

inline char FoldAsciiCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Whole-string equality ignoring ASCII case.
bool EqualIgnoringCase(const char* a, const char* b);

// Appends [begin, end) to `out`, decoding "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" (any case),
// "&#digits;" and "&#xhex;". Answers 0, or the error code of the first faulty reference with
// `errorAt` set to its '&': XmlErrorCharacterAbove255 for a value of 256 or more,
// XmlErrorUnknownEntity for anything else that is not one of these forms.
int32_t DecodeXmlEntities(const char* begin, const char* end, const uint8_t* lengths,
                          std::string& out, const char*& errorAt);

}  // namespace glintor
