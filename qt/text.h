// The logic's texts are bytes, one character per byte; Qt's are Unicode.
#pragma once

#include <QString>
#include <string>

namespace r462xe {

inline QString from_bytes(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace r462xe
