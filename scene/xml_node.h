// The scene file's XML reader: a tree of reference-counted nodes and the few queries the scene
// loader needs. Queries on an empty handle answer with nothing, so the loader can chain them
// without checks and turn absence into defaults or its own messages.
#pragma once

#include <cstdint>
#include <string>

namespace glintor {

struct XmlNodeData;

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

struct XmlResults {
    int32_t error = XmlNoError;
    int32_t line = 0;
    int32_t column = 0;
};

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
    // so repeated calls walk all children of that name in document order.
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
// and fills `results` with the error code and its 1-based line and column.
XmlNode ParseFile(const char* path, XmlResults& results);
XmlNode ParseText(const char* text, XmlResults& results);
const char* ErrorText(int32_t code);

// Opens a scene file. Any parse error or warning is shown in the message box and ends the
// process with exit code 255, so this returns only on success.
XmlNode OpenSceneDocument(const char* path);

}  // namespace glintor
