#include "display/ColourSetting.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>

namespace movira {

std::string ColourSetting::toText(Colour colour) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", static_cast<int>(colour));
    return text;
}

Colour ColourSetting::fromText(const std::string& text, Colour fallback) {
    if (text.empty())
        return fallback;
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated with saturation, so that a number too long for an int gives the nearest
    // int (as strtol clamped to int would) rather than undefined behaviour.
    int64_t value = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            value = limit;
    }
    const int64_t signedValue = negative ? -value : value;
    return static_cast<Colour>(static_cast<int32_t>(signedValue));
}

}  // namespace movira
