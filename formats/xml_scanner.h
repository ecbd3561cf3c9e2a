// Tokens of the XML reader. The scanner walks a NUL-terminated text by whole characters of the
// reader's encoding and never looks past the terminating NUL.
#pragma once

#include <cstdint>

namespace glintor {

enum class XmlToken {
    End,               // the terminating NUL
    Clear,             // opening mark of a clear section
    EndTagStart,       // "</"
    DeclarationStart,  // "<?"
    TagStart,          // "<"
    TagEnd,            // ">"
    EmptyTagEnd,       // "/>"
    Equals,            // "="
    Quoted,            // a value between matching quotes
    Word,              // anything else, up to white space, '<', '>', '=' or "/>"
};

struct XmlClearMark {
    const char* open;
    const char* close;
};

// Compared case-sensitively, in this order.
inline constexpr XmlClearMark kXmlClearMarks[] = {
    {"<![CDATA[", "]]>"},
    {"<!DOCTYPE", ">"},
    {"<!--", "-->"},
    {"<PRE>", "</PRE>"},
};
inline constexpr int kXmlCommentMark = 2;
inline constexpr int kXmlDoctypeMark = 1;
// A DOCTYPE with an internal subset ("[...]") ends at this mark instead of its first '>'.
inline constexpr const char* kXmlDoctypeSubsetClose = "]>";

struct XmlTokenSpan {
    XmlToken kind = XmlToken::End;
    const char* start = nullptr;  // first character of the token
    const char* end = nullptr;    // just past the token
    // For Word and Quoted, the value without quotes; for Clear, the index into kXmlClearMarks.
    const char* valueStart = nullptr;
    const char* valueEnd = nullptr;
    int clearMark = -1;
};

class XmlScanner {
public:
    XmlScanner(const char* text, const uint8_t* lengths) : position_(text), lengths_(lengths) {}

    // Skips white space and reads the next token.
    XmlTokenSpan Next();

    const char* Position() const { return position_; }
    void MoveTo(const char* position) { position_ = position; }

    // First '<' or the terminating NUL at or after `from`.
    const char* FindMarkup(const char* from) const;
    // Start of the first occurrence of `mark` at a character boundary from `from`, or null.
    const char* Find(const char* from, const char* mark) const;
    // First of `a` or `b` at a character boundary from `from`; the NUL if neither comes.
    const char* FindEither(const char* from, char a, char b) const;

private:
    const char* position_;
    const uint8_t* lengths_;
};

}  // namespace glintor
