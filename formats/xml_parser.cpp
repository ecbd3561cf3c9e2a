#include <cstring>

#include "formats/xml_characters.h"
#include "formats/xml_node.h"
#include "formats/xml_node_data.h"
#include "formats/xml_scanner.h"

namespace glintor {

namespace {

// Builds the tree of one text. Open elements are followed through their parent links rather than
// by recursion, so nesting depth is bounded by memory, not by the stack.
class ElementParser {
public:
    ElementParser(const char* text, const uint8_t* lengths)
        : text_(text), lengths_(lengths), scanner_(text, lengths) {}

    void Parse(XmlNodeData& document);

    int32_t Error() const { return error_; }
    const char* ErrorPosition() const { return errorPosition_; }

private:
    // Both answer false, which stops the parse where it stands.
    bool Fail(int32_t code, const char* at);
    bool StopAtEnd(const char* end);
    void WarnUnmatched(const char* at);

    bool Decode(std::string& out, const char* begin, const char* end);
    bool AddText(XmlNodeData& node, const char* begin, const char* end);
    bool ParseClear(XmlNodeData& node, const XmlTokenSpan& open);
    bool ParseTag(XmlNodeData*& current, bool declaration);
    bool ParseEndTag(XmlNodeData*& current, const char* tagStart);
    XmlNodeData* AddChild(XmlNodeData& parent, const XmlTokenSpan& name, bool declaration);
    void Close(XmlNodeData*& current);

    const char* text_;
    const uint8_t* lengths_;
    XmlScanner scanner_;
    XmlNodeData* document_ = nullptr;
    int32_t error_ = XmlNoError;
    const char* errorPosition_ = nullptr;
};

bool ElementParser::Fail(int32_t code, const char* at) {
    error_ = code;
    errorPosition_ = at;
    return false;
}

bool ElementParser::StopAtEnd(const char* end) {
    WarnUnmatched(end);
    return false;
}

// The first warning is the one reported; later ones change nothing.
void ElementParser::WarnUnmatched(const char* at) {
    if (error_ == XmlNoError) {
        error_ = XmlWarningUnmatchedEndTag;
        errorPosition_ = at;
    }
}

bool ElementParser::Decode(std::string& out, const char* begin, const char* end) {
    const char* errorAt = nullptr;
    const int32_t error = DecodeXmlEntities(begin, end, lengths_, out, errorAt);
    return error == XmlNoError || Fail(error, errorAt);
}

bool ElementParser::AddText(XmlNodeData& node, const char* begin, const char* end) {
    while (begin < end && IsXmlSpace(*begin)) {
        ++begin;
    }
    // Trailing white space is found by walking whole characters, since a trail byte of a
    // multi-byte character may equal a white-space byte.
    const char* last = begin;
    for (const char* p = begin; p < end;) {
        if (IsXmlSpace(*p)) {
            ++p;
        } else {
            p = NextXmlChar(p, lengths_);
            last = p < end ? p : end;
        }
    }
    if (last == begin) {
        return true;
    }
    std::string text;
    if (!Decode(text, begin, last)) {
        return false;
    }
    const std::size_t entries = node.order.size();
    const bool joinsAcrossComment =
        entries >= 2 && node.order[entries - 1] % 4 == XmlOrderClear &&
        node.clears.back().openMark == kXmlClearMarks[kXmlCommentMark].open &&
        node.order[entries - 2] % 4 == XmlOrderText;
    if (joinsAcrossComment) {
        node.texts.back() += text;
        node.clears.pop_back();
        node.order.pop_back();
        return true;
    }
    AppendInChunks(node.texts, std::move(text), kXmlEntryChunk);
    AppendOrder(node, static_cast<int32_t>(node.texts.size() - 1), XmlOrderText);
    return true;
}

bool ElementParser::ParseClear(XmlNodeData& node, const XmlTokenSpan& open) {
    const XmlClearMark& mark = kXmlClearMarks[open.clearMark];
    const char* contentStart = open.end;
    const char* closeMark = mark.close;
    const char* close = nullptr;
    if (open.clearMark == kXmlDoctypeMark) {
        const char* first = scanner_.FindEither(contentStart, '>', '<');
        if (*first == '<') {
            closeMark = kXmlDoctypeSubsetClose;
            close = scanner_.Find(first, closeMark);
        } else if (*first == '>') {
            close = first;
        }
    } else {
        close = scanner_.Find(contentStart, closeMark);
    }
    if (close == nullptr) {
        return Fail(XmlErrorUnmatchedClearTag, open.start);
    }
    AppendInChunks(node.clears, XmlClear{std::string(contentStart, close), mark.open, closeMark},
                   kXmlEntryChunk);
    AppendOrder(node, static_cast<int32_t>(node.clears.size() - 1), XmlOrderClear);
    scanner_.MoveTo(close + std::strlen(closeMark));
    return true;
}

XmlNodeData* ElementParser::AddChild(XmlNodeData& parent, const XmlTokenSpan& name,
                                     bool declaration) {
    auto* child = new XmlNodeData;
    child->name.assign(name.valueStart, name.valueEnd);
    child->isDeclaration = declaration;
    child->parent = &parent;
    child->references = 1;
    AppendInChunks(parent.children, child, kXmlEntryChunk);
    AppendOrder(parent, static_cast<int32_t>(parent.children.size() - 1), XmlOrderChild);
    return child;
}

bool ElementParser::ParseTag(XmlNodeData*& current, bool declaration) {
    XmlTokenSpan token = scanner_.Next();
    if (token.kind != XmlToken::Word) {
        return Fail(XmlErrorMissingStartTagName, token.start);
    }
    XmlNodeData* element = AddChild(*current, token, declaration);
    // What a '?' before the closing '>' of a declaration is dropped from.
    enum class LastRead {
        ElementName,
        AttributeName,
        AttributeValue
    } lastRead = LastRead::ElementName;

    token = scanner_.Next();
    for (;;) {
        switch (token.kind) {
            case XmlToken::Word: {
                XmlAttribute attribute;
                attribute.name.assign(token.valueStart, token.valueEnd);
                lastRead = LastRead::AttributeName;
                token = scanner_.Next();
                if (token.kind == XmlToken::Equals) {
                    const XmlTokenSpan value = scanner_.Next();
                    if (value.kind == XmlToken::End) {
                        current = element;
                        return StopAtEnd(value.start);
                    }
                    if (value.kind != XmlToken::Word && value.kind != XmlToken::Quoted) {
                        return Fail(XmlErrorUnexpectedToken, value.start);
                    }
                    if (!Decode(attribute.value, value.valueStart, value.valueEnd)) {
                        return false;
                    }
                    attribute.hasValue = true;
                    lastRead = LastRead::AttributeValue;
                    token = scanner_.Next();
                }
                AppendInChunks(element->attributes, std::move(attribute), kXmlEntryChunk);
                break;
            }
            case XmlToken::TagEnd:
                if (!declaration) {
                    current = element;
                    return true;
                }
                if (token.start[-1] == '?') {
                    std::string& text = lastRead == LastRead::ElementName ? element->name
                                        : lastRead == LastRead::AttributeName
                                            ? element->attributes.back().name
                                            : element->attributes.back().value;
                    if (!text.empty() && text.back() == '?') {
                        text.pop_back();
                    }
                    if (lastRead == LastRead::AttributeName && text.empty()) {
                        element->attributes.pop_back();
                    }
                }
                ShrinkXmlNodeArrays(*element);
                return true;
            case XmlToken::EmptyTagEnd:
                ShrinkXmlNodeArrays(*element);
                return true;
            case XmlToken::End:
                current = element;
                return StopAtEnd(token.start);
            default:
                return Fail(XmlErrorUnexpectedToken, token.start);
        }
    }
}

// An end tag names an element when the element's name starts it, ignoring case, and is followed
// there by a character that cannot continue a name.
bool NamesElement(const XmlNodeData& element, const XmlTokenSpan& word) {
    const std::size_t length = element.name.size();
    if (static_cast<std::size_t>(word.valueEnd - word.valueStart) < length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (FoldAsciiCase(word.valueStart[i]) != FoldAsciiCase(element.name[i])) {
            return false;
        }
    }
    const char after = word.valueStart[length];
    return IsXmlSpace(after) || after == '/' || after == '<' || after == '=' || after == '>';
}

void ElementParser::Close(XmlNodeData*& current) {
    ShrinkXmlNodeArrays(*current);
    current = current->parent;
}

bool ElementParser::ParseEndTag(XmlNodeData*& current, const char* tagStart) {
    const XmlTokenSpan name = scanner_.Next();
    if (name.kind != XmlToken::Word) {
        return Fail(XmlErrorMissingEndTagName, name.start);
    }
    const XmlTokenSpan close = scanner_.Next();
    if (close.kind != XmlToken::TagEnd) {
        return Fail(XmlErrorMissingEndTagName, close.start);
    }
    if (current == document_) {
        return Fail(XmlErrorUnmatchedEndTag, tagStart);
    }
    if (!NamesElement(*current, name)) {
        // The open element closes anyway; the end tag then stays pending until an enclosing
        // element answers to it.
        WarnUnmatched(tagStart);
        do {
            Close(current);
            if (current == document_) {
                return Fail(XmlErrorUnmatchedEndTag, tagStart);
            }
        } while (!NamesElement(*current, name));
    }
    Close(current);
    return true;
}

void ElementParser::Parse(XmlNodeData& document) {
    document_ = &document;
    XmlNodeData* current = &document;
    const char* textStart = text_;
    bool going = true;
    while (going) {
        const char* markup = scanner_.FindMarkup(textStart);
        if (!AddText(*current, textStart, markup)) {
            break;
        }
        scanner_.MoveTo(markup);
        const XmlTokenSpan token = scanner_.Next();
        switch (token.kind) {
            case XmlToken::Clear:
                going = ParseClear(*current, token);
                break;
            case XmlToken::TagStart:
            case XmlToken::DeclarationStart:
                going = ParseTag(current, token.kind == XmlToken::DeclarationStart);
                break;
            case XmlToken::EndTagStart:
                going = ParseEndTag(current, markup);
                break;
            default:  // FindMarkup stops only at '<' or at the end of the text
                if (current != document_) {
                    WarnUnmatched(markup);
                }
                going = false;
                break;
        }
        textStart = scanner_.Position();
    }
    // Elements left open by an error or by the end of the text are complete as they stand.
    for (; current != nullptr; current = current->parent) {
        ShrinkXmlNodeArrays(*current);
    }
}

XmlNode FindRoot(const XmlNode& document) {
    const XmlNodeData& data = *XmlNodeAccess::Data(document);
    XmlNode candidate = document;
    if (data.children.size() == 1 && data.texts.empty() && data.clears.empty() &&
        data.attributes.empty()) {
        candidate = XmlNode(data.children.front());
    }
    if (EqualIgnoringCase(candidate.Name(), kSceneRootName)) {
        return candidate;
    }
    return candidate.GetChild(kSceneRootName);
}

// Lines and columns count whole characters from 1; only a line feed starts a new line.
void LocateError(const char* text, const char* at, const uint8_t* lengths, XmlResults& results) {
    results.line = 1;
    results.column = 1;
    for (const char* p = text; p < at && *p != 0;) {
        if (*p == '\n') {
            ++results.line;
            results.column = 1;
            ++p;
        } else {
            ++results.column;
            p = NextXmlChar(p, lengths);
        }
    }
}

}  // namespace

XmlNode ParseXmlDocument(const char* text, const uint8_t* lengths, int32_t& error,
                         const char*& errorAt) {
    XmlNode document(new XmlNodeData);
    ElementParser parser(text, lengths);
    parser.Parse(*XmlNodeAccess::Data(document));
    error = parser.Error();
    errorAt = parser.ErrorPosition();
    return document;
}

XmlNode ParseText(const char* text, XmlResults& results) {
    results = XmlResults();
    if (text == nullptr) {
        results.error = XmlErrorNoElements;
        return XmlNode();
    }
    const uint8_t* lengths = XmlCharLengths(CurrentXmlEncoding());
    int32_t error = XmlNoError;
    const char* errorAt = nullptr;
    const XmlNode document = ParseXmlDocument(text, lengths, error, errorAt);
    if (XmlNodeAccess::Data(document)->children.empty()) {
        error = XmlWarningNoTag;
    }
    XmlNode root;
    if (error <= XmlWarningNoTag) {
        root = FindRoot(document);
        if (root.IsEmpty()) {
            results.error = XmlErrorFirstTagNotFound;
            return root;
        }
    }
    results.error = error;
    if (error != XmlNoError && errorAt != nullptr) {
        LocateError(text, errorAt, lengths, results);
    }
    return root;
}

}  // namespace glintor
