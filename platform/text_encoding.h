// Recognition of 16-bit text and its conversion to 8-bit text. Scene files saved by Windows editors
// are often UTF-16; the XML reader converts them before parsing so it only ever sees 8-bit text.
#pragma once

#include <cstddef>
#include <string>

namespace glintor {

enum class Utf16ByteOrder { None, LittleEndian, BigEndian };

// Answers the byte order of 16-bit text: by its byte-order mark (FF FE little-endian, FE FF
// big-endian) or, without one, by NUL bytes in alternate positions of the first 256 bytes (more
// than half of the 16-bit units there must look like ASCII in one byte order). None otherwise.
Utf16ByteOrder DetectUtf16(const void* bytes, std::size_t size);
bool IsUtf16Text(const void* bytes, std::size_t size);

// Both conversions take the text without its byte-order mark, stop at the first zero unit (the
// readers treat text as NUL-terminated) and ignore an odd trailing byte. They fail, leaving `out`
// unspecified, on an unpaired surrogate or, for ConvertUtf16ToCharset, on a character that the
// target charset cannot represent.
bool ConvertUtf16ToUtf8(const void* bytes, std::size_t size, Utf16ByteOrder order,
                        std::string& out);
// `charset` is an iconv name such as "ISO-8859-1" or "SHIFT_JIS".
bool ConvertUtf16ToCharset(const void* bytes, std::size_t size, Utf16ByteOrder order,
                           const char* charset, std::string& out);

}  // namespace glintor
