#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "formats/files_read.h"
#include "formats/xml_node.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"

namespace glintor {

namespace {

// Zero bytes after the data: the parser stops at the first, and a multi-byte character cut by
// the end of the file still ends inside the buffer.
constexpr std::size_t kZeroPadding = 4;

// Reads the whole file with one read call when it is a regular file (other files are read until
// their end). Answers false when it cannot be opened or read.
bool ReadWholeFile(const char* path, std::vector<char>& data, std::size_t& size) {
    NoteFileRead(path);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
    const bool regular = ok && S_ISREG(info.st_mode);
    std::size_t capacity = regular ? static_cast<std::size_t>(info.st_size) : std::size_t{1} << 16;
    size = 0;
    while (ok) {
        if (size == capacity) {
            if (regular) {
                break;
            }
            capacity *= 2;
        }
        data.resize(capacity + kZeroPadding);
        const ssize_t got = read(fd, data.data() + size, capacity - size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    close(fd);
    data.resize(size + kZeroPadding);
    std::fill(data.begin() + static_cast<std::ptrdiff_t>(size), data.end(), '\0');
    return ok;
}

// 16-bit text becomes text of the reader's encoding, which on this platform stands in for the
// system's 8-bit code page.
bool ConvertWideText(const char* bytes, std::size_t size, Utf16ByteOrder order, std::string& out) {
    switch (CurrentXmlEncoding()) {
        case XmlEncodingSingleByte:
            return ConvertUtf16ToCharset(bytes, size, order, "ISO-8859-1", out);
        case XmlEncodingShiftJis:
            return ConvertUtf16ToCharset(bytes, size, order, "SHIFT_JIS", out);
        case XmlEncodingGb2312:
            return ConvertUtf16ToCharset(bytes, size, order, "GB2312", out);
        case XmlEncodingBig5:
            return ConvertUtf16ToCharset(bytes, size, order, "BIG5", out);
        case XmlEncodingGbk:
            return ConvertUtf16ToCharset(bytes, size, order, "GBK", out);
        default:
            return ConvertUtf16ToUtf8(bytes, size, order, out);
    }
}

void AdoptGuessedEncoding(const char* path) {
    std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        return;
    }
    unsigned char sample[200];
    const std::size_t count = std::fread(sample, 1, sizeof(sample), file);
    std::fclose(file);
    const XmlEncoding guess = GuessXmlEncoding(sample, count);
    if (guess != XmlEncodingUnknown) {
        SetXmlEncoding(guess);
    }
}

}  // namespace

XmlNode ParseFile(const char* path, XmlResults& results) {
    results = XmlResults();
    std::vector<char> data;
    std::size_t size = 0;
    if (path == nullptr || !ReadWholeFile(path, data, size)) {
        results.error = XmlErrorFileNotFound;
        return XmlNode();
    }
    if (size == 0) {
        results.error = XmlErrorNoData;
        return XmlNode();
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const Utf16ByteOrder order = DetectUtf16(bytes, size);
    if (order != Utf16ByteOrder::None) {
        const bool hasMark =
            size >= 2 &&
            ((order == Utf16ByteOrder::LittleEndian && bytes[0] == 0xFF && bytes[1] == 0xFE) ||
             (order == Utf16ByteOrder::BigEndian && bytes[0] == 0xFE && bytes[1] == 0xFF));
        const std::size_t skip = hasMark ? 2 : 0;
        std::string text;
        if (!ConvertWideText(data.data() + skip, size - skip, order, text)) {
            results.error = XmlErrorWideCharConversion;
            return XmlNode();
        }
        return ParseText(text.c_str(), results);
    }
    const bool hasMark = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
    return ParseText(data.data() + (hasMark ? 3 : 0), results);
}

const char* ErrorText(int32_t code) {
    static const char* const kTexts[] = {
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
    constexpr int32_t kCount = static_cast<int32_t>(sizeof(kTexts) / sizeof(kTexts[0]));
    return code >= 0 && code < kCount ? kTexts[code] : "Unknown";
}

std::string FormatXmlParseError(const char* path, const XmlResults& results) {
    static constexpr char kFormat[] =
        "XML Parsing error inside file '%s'.\n%s\nAt line %i, column %i.\n%s%s%s";
    const bool firstTag = results.error == XmlErrorFirstTagNotFound;
    const char* file = path != nullptr ? path : "";
    const char* lead = firstTag ? "First Tag should be '" : "";
    const char* name = firstTag ? kSceneRootName : "";
    const char* tail = firstTag ? "'.\n" : "";
    const int length = std::snprintf(nullptr, 0, kFormat, file, ErrorText(results.error),
                                     results.line, results.column, lead, name, tail);
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, kFormat, file, ErrorText(results.error),
                  results.line, results.column, lead, name, tail);
    return text;
}

XmlNode OpenSceneDocument(const char* path) {
    AdoptGuessedEncoding(path);
    XmlResults results;
    XmlNode root = ParseFile(path, results);
    if (results.error != XmlNoError) {
        root = XmlNode();
        ShowMessageBox("XML Parsing error", FormatXmlParseError(path, results));
        std::exit(255);
    }
    return root;
}

}  // namespace glintor
