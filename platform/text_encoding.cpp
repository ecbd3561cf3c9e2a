#include "platform/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace glintor {

namespace {

// Enough for a text test: a scene file starts with markup, so its first units are ASCII.
constexpr std::size_t kSniffBytes = 256;

uint32_t UnitAt(const unsigned char* bytes, std::size_t index, Utf16ByteOrder order) {
    const unsigned char a = bytes[2 * index];
    const unsigned char b = bytes[2 * index + 1];
    return order == Utf16ByteOrder::BigEndian ? (uint32_t{a} << 8) | b : (uint32_t{b} << 8) | a;
}

// Number of 16-bit units up to (not including) the first zero unit.
std::size_t UnitCount(const unsigned char* bytes, std::size_t size, Utf16ByteOrder order) {
    const std::size_t units = size / 2;
    std::size_t count = 0;
    while (count < units && UnitAt(bytes, count, order) != 0) {
        ++count;
    }
    return count;
}

void AppendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

Utf16ByteOrder DetectUtf16(const void* bytes, std::size_t size) {
    const auto* b = static_cast<const unsigned char*>(bytes);
    if (size >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        return Utf16ByteOrder::LittleEndian;
    }
    if (size >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        return Utf16ByteOrder::BigEndian;
    }
    const std::size_t pairs = (size < kSniffBytes ? size : kSniffBytes) / 2;
    std::size_t little = 0;
    std::size_t big = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        const bool lowZero = b[2 * i] == 0;
        const bool highZero = b[2 * i + 1] == 0;
        little += !lowZero && highZero;
        big += lowZero && !highZero;
    }
    if (pairs > 0 && 2 * little > pairs) {
        return Utf16ByteOrder::LittleEndian;
    }
    if (pairs > 0 && 2 * big > pairs) {
        return Utf16ByteOrder::BigEndian;
    }
    return Utf16ByteOrder::None;
}

bool IsUtf16Text(const void* bytes, std::size_t size) {
    return DetectUtf16(bytes, size) != Utf16ByteOrder::None;
}

bool ConvertUtf16ToUtf8(const void* bytes, std::size_t size, Utf16ByteOrder order,
                        std::string& out) {
    const auto* b = static_cast<const unsigned char*>(bytes);
    const std::size_t units = UnitCount(b, size, order);
    out.clear();
    out.reserve(units + units / 2);
    for (std::size_t i = 0; i < units; ++i) {
        uint32_t code = UnitAt(b, i, order);
        if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            const uint32_t low = i + 1 < units ? UnitAt(b, i + 1, order) : 0;
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        AppendUtf8(code, out);
    }
    return true;
}

bool ConvertUtf16ToCharset(const void* bytes, std::size_t size, Utf16ByteOrder order,
                           const char* charset, std::string& out) {
    const auto* b = static_cast<const unsigned char*>(bytes);
    const std::size_t inBytes = 2 * UnitCount(b, size, order);
    const char* source = order == Utf16ByteOrder::BigEndian ? "UTF-16BE" : "UTF-16LE";
    iconv_t converter = iconv_open(charset, source);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    // Two output bytes per unit hold every double-byte charset; grow only if a charset needs more.
    out.assign(inBytes + 4, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(b));
    std::size_t inLeft = inBytes;
    std::size_t written = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        const std::size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        written = static_cast<std::size_t>(outPtr - out.data());
        if (result != static_cast<std::size_t>(-1)) {
            ok = inLeft == 0;
            break;
        }
        if (errno != E2BIG) {
            ok = false;
            break;
        }
        out.resize(out.size() * 2);
    }
    iconv_close(converter);
    out.resize(written);
    return ok;
}

}  // namespace glintor
