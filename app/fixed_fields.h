// Text lines made of fixed-width fields, as in the preview's status line and the statistics log.
#pragma once

#include <cstdio>
#include <string>

namespace glintor {

// printf-style formatting of one short field text.
template <typename... Args>
std::string FormatField(const char* format, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// Copies text into line[start, start + width): left-aligned, cut at the width, padded with blanks.
// The line is never grown; a field reaching past its end is cut there.
inline void WriteField(std::string& line, size_t start, size_t width, const std::string& text) {
    for (size_t i = 0; i < width && start + i < line.size(); ++i) {
        line[start + i] = i < text.size() ? text[i] : ' ';
    }
}

// Removes blanks, tabs and line ends from both ends.
inline std::string TrimBlanks(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

}  // namespace glintor
