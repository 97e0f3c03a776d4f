// The logic's texts are bytes, one character per byte (Latin-1); the system's wide functions take
// UTF-16, in which every Latin-1 character keeps its number.
#pragma once

#include <string>

namespace r462xe {

inline std::wstring wide(const std::string& text) {
    std::wstring result;
    result.reserve(text.size());
    for (const char c : text) result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return result;
}

// The system's words as the logic holds its texts: a character beyond Latin-1 becomes '?'.
inline std::string latin1(const std::wstring& text) {
    std::string result;
    result.reserve(text.size());
    for (const wchar_t c : text) result.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return result;
}

}  // namespace r462xe
