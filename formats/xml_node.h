// The scene file's XML reader: a tree of reference-counted nodes and the few queries the scene
// loader needs. Queries on an empty handle answer with nothing, so the loader can chain them
// without checks and turn absence into defaults or its own messages.
//
// Names are compared ignoring ASCII case. Text segments are trimmed of tab, line feed, carriage
// return and space, their entities are decoded, and a comment between two segments joins them.
// The reader's character encoding is process-wide: it decides how many bytes each character
// takes, so a byte inside a multi-byte character is never taken for markup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace glintor {

struct XmlNodeData;

// Name of the scene file's root element.
inline constexpr const char* kSceneRootName = "Glintor";

enum XmlError : int32_t {
    XmlNoError = 0,
    XmlWarningUnmatchedEndTag = 1,
    XmlWarningNoTag = 2,
    XmlErrorNoData = 3,
    XmlErrorMissingStartTagName = 4,
    XmlErrorMissingEndTagName = 5,
    XmlErrorUnmatchedEndTag = 6,
    XmlErrorUnmatchedClearTag = 7,
    XmlErrorUnexpectedToken = 8,
    XmlErrorNoElements = 9,
    XmlErrorFileNotFound = 10,
    XmlErrorFirstTagNotFound = 11,
    XmlErrorUnknownEntity = 12,
    XmlErrorCharacterAbove255 = 13,
    XmlErrorWideCharConversion = 14,
};

enum XmlEncoding : int32_t {
    XmlEncodingUnknown = 0,
    XmlEncodingUtf8 = 1,
    XmlEncodingSingleByte = 2,  // ASCII and ISO-8859-1
    XmlEncodingShiftJis = 3,
    XmlEncodingGb2312 = 4,
    XmlEncodingBig5 = 5,
    XmlEncodingGbk = 6,
};

// Error code with its 1-based line and column (0 and 0 when the error has no place in the text).
struct XmlResults {
    int32_t error = XmlNoError;
    int32_t line = 0;
    int32_t column = 0;
};

// A handle to shared node data. Copies share the data; the last handle to a node frees it with
// the subtree that no other handle holds. Counts are not atomic: a tree belongs to one thread.
class XmlNode {
public:
    XmlNode() = default;
    explicit XmlNode(XmlNodeData* data);  // takes one reference
    XmlNode(const XmlNode& other);
    XmlNode& operator=(const XmlNode& other);
    ~XmlNode();

    bool IsEmpty() const { return data_ == nullptr; }
    explicit operator bool() const { return data_ != nullptr; }

    // Element name; empty for the document node and for an empty handle.
    const char* Name() const;

    // First child element named `name` (any case), or an empty handle.
    XmlNode GetChild(const char* name) const;
    // The same from child index `position`; on success `position` moves just past the child found,
    // so repeated calls walk all children of that name in document order. Unchanged on failure.
    XmlNode GetChild(const char* name, int& position) const;
    int CountChildren(const char* name) const;
    // Null when absent or written without a value.
    const char* GetAttribute(const char* name) const;
    // First text segment, or null.
    const char* GetText() const;

private:
    XmlNodeData* data_ = nullptr;
    friend struct XmlNodeAccess;
};

// Reads and parses a whole file; answers the root candidate named "Glintor" (or an empty handle)
// and fills `results` with the error code and its 1-based line and column. UTF-16 files are
// converted first; a UTF-8 byte-order mark is skipped.
XmlNode ParseFile(const char* path, XmlResults& results);
// Parses a NUL-terminated text; the root is found as for ParseFile.
XmlNode ParseText(const char* text, XmlResults& results);
const char* ErrorText(int32_t code);

// The message shown for a failed parse of `path`.
std::string FormatXmlParseError(const char* path, const XmlResults& results);

// Opens a scene file, first adopting the encoding guessed from its first bytes. Any parse error or
// warning is shown in the message box and ends the process with exit code 255, so this returns
// only on success.
XmlNode OpenSceneDocument(const char* path);

// The process-wide encoding; SetXmlEncoding ignores codes outside 1 to 6.
XmlEncoding CurrentXmlEncoding();
void SetXmlEncoding(int32_t code);
// Guesses the encoding of a file from its first bytes (up to 200); XmlEncodingUnknown when there
// is no guess (too few bytes, 16-bit text, or a UTF-8 declaration on invalid UTF-8).
XmlEncoding GuessXmlEncoding(const unsigned char* bytes, std::size_t count);

}  // namespace glintor
