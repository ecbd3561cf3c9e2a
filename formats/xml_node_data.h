// Node data behind XmlNode handles; shared by the reader's parser and its queries (and by tests
// that inspect the tree the parser builds).
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "formats/xml_node.h"

namespace glintor {

// Comments, CDATA, DOCTYPE and PRE sections keep their raw content with the marks around it.
struct XmlClear {
    std::string content;
    const char* openMark;
    const char* closeMark;
};

struct XmlAttribute {
    std::string name;
    std::string value;
    bool hasValue = false;
};

// Entries of XmlNodeData::order: index * 4 + kind.
enum XmlOrderKind : int32_t { XmlOrderChild = 0, XmlOrderText = 2, XmlOrderClear = 3 };

struct XmlNodeData {
    std::string name;
    bool isDeclaration = false;
    XmlNodeData* parent = nullptr;       // not owning; null for the document node
    std::vector<XmlNodeData*> children;  // each holds one reference
    std::vector<std::string> texts;
    std::vector<XmlClear> clears;
    std::vector<XmlAttribute> attributes;
    std::vector<int32_t> order;  // document order of children, texts and clears
    int32_t references = 0;
};

struct XmlNodeAccess {
    static XmlNodeData* Data(const XmlNode& node) { return node.data_; }
};

// Drops one reference; frees the node and every child left without references. Iterative, so a
// deeply nested document cannot exhaust the stack.
void ReleaseXmlNodeData(XmlNodeData* data);

// Arrays grow while an element is parsed and are trimmed once it is complete. The first chunk is
// small because most elements hold a few entries (larger first chunks cost measurably more in the
// allocator); growth then doubles, so an element with very many children costs no quadratic
// copying.
constexpr std::size_t kXmlEntryChunk = 8;
constexpr std::size_t kXmlOrderChunk = 16;

template <typename T>
void AppendInChunks(std::vector<T>& entries, std::type_identity_t<T> entry, std::size_t chunk) {
    if (entries.size() == entries.capacity()) {
        entries.reserve(entries.size() + (entries.size() > chunk ? entries.size() : chunk));
    }
    entries.push_back(std::move(entry));
}

void AppendOrder(XmlNodeData& node, int32_t index, XmlOrderKind kind);

// Parses a NUL-terminated text with the given character lengths into a document node (no name)
// and answers the parse's own error code with the place it was found (null when none). ParseText
// adds the "no tag" rule and the choice of the root.
XmlNode ParseXmlDocument(const char* text, const uint8_t* lengths, int32_t& error,
                         const char*& errorAt);
void ShrinkXmlNodeArrays(XmlNodeData& node);

}  // namespace glintor
