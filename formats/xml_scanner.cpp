#include "formats/xml_scanner.h"

#include <cstring>
#include <iterator>

#include "formats/xml_characters.h"

namespace glintor {

namespace {

bool EndsWord(const char* p) {
    return *p == 0 || IsXmlSpace(*p) || *p == '<' || *p == '>' || *p == '=' ||
           (*p == '/' && p[1] == '>');
}

}  // namespace

XmlTokenSpan XmlScanner::Next() {
    const char* p = position_;
    while (IsXmlSpace(*p)) {
        ++p;
    }
    XmlTokenSpan token;
    token.start = p;
    token.end = p + 1;
    switch (*p) {
        case 0:
            token.kind = XmlToken::End;
            token.end = p;
            position_ = p;
            return token;
        case '<':
            if (p[1] == '!' || p[1] == 'P') {  // how every clear mark begins
                for (int i = 0; i < static_cast<int>(std::size(kXmlClearMarks)); ++i) {
                    const std::size_t length = std::strlen(kXmlClearMarks[i].open);
                    if (std::strncmp(p, kXmlClearMarks[i].open, length) == 0) {
                        token.kind = XmlToken::Clear;
                        token.clearMark = i;
                        token.end = p + length;
                        position_ = token.end;
                        return token;
                    }
                }
            }
            if (p[1] == '/' || p[1] == '?') {
                token.kind = p[1] == '/' ? XmlToken::EndTagStart : XmlToken::DeclarationStart;
                token.end = p + 2;
            } else {
                token.kind = XmlToken::TagStart;
            }
            position_ = token.end;
            return token;
        case '>':
            token.kind = XmlToken::TagEnd;
            position_ = token.end;
            return token;
        case '=':
            token.kind = XmlToken::Equals;
            position_ = token.end;
            return token;
        case '/':
            if (p[1] == '>') {
                token.kind = XmlToken::EmptyTagEnd;
                token.end = p + 2;
                position_ = token.end;
                return token;
            }
            break;
        case '"':
        case '\'': {
            const char* q = p + 1;
            while (*q != 0 && *q != *p && *q != '<') {
                q = NextXmlChar(q, lengths_);
            }
            if (*q == *p) {
                token.kind = XmlToken::Quoted;
                token.valueStart = p + 1;
                token.valueEnd = q;
                token.end = q + 1;
                position_ = token.end;
                return token;
            }
            break;  // an unmatched quote is an ordinary character of a word
        }
        default:
            break;
    }
    const char* q = p;
    do {
        q = NextXmlChar(q, lengths_);
    } while (!EndsWord(q));
    token.kind = XmlToken::Word;
    token.valueStart = p;
    token.valueEnd = q;
    token.end = q;
    position_ = q;
    return token;
}

const char* XmlScanner::FindMarkup(const char* from) const {
    const char* p = from;
    while (*p != 0 && *p != '<') {
        p = NextXmlChar(p, lengths_);
    }
    return p;
}

const char* XmlScanner::Find(const char* from, const char* mark) const {
    const std::size_t length = std::strlen(mark);
    for (const char* p = from; *p != 0; p = NextXmlChar(p, lengths_)) {
        if (std::strncmp(p, mark, length) == 0) {
            return p;
        }
    }
    return nullptr;
}

const char* XmlScanner::FindEither(const char* from, char a, char b) const {
    const char* p = from;
    while (*p != 0 && *p != a && *p != b) {
        p = NextXmlChar(p, lengths_);
    }
    return p;
}

}  // namespace glintor
