#include "text/leading_number.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace r462xe {

namespace {

bool is_digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The leading number of `text` (already free of blanks), in the form strtod reads.
std::string leading_number(const std::string& text) {
    std::size_t i = 0;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    bool digits = false;
    while (i < text.size() && is_digit(text[i])) {
        number += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && is_digit(text[i])) {
            number += text[i++];
            digits = true;
        }
    }
    if (!digits) return "0";
    // An exponent counts only when digits follow its letter (and optional sign).
    if (i < text.size() && std::string_view("eEdD").find(text[i]) != std::string_view::npos) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        if (j < text.size() && is_digit(text[j])) {
            while (j < text.size() && is_digit(text[j])) exponent += text[j++];
            number += exponent;
        }
    }
    return number;
}

}  // namespace

double leading_value(const std::string& text) {
    std::string compact;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') compact += c;
    }
    const double value = std::strtod(leading_number(compact).c_str(), nullptr);
    return std::isfinite(value) ? value : 0;
}

}  // namespace r462xe
