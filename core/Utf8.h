// Conversions between wide text (what is shown) and UTF-8 (settings, files, keys).
#pragma once

#include <string>
#include <string_view>

namespace movira {

class Utf8 {
public:
    static std::string fromWide(std::wstring_view text);
    // Bytes that are not UTF-8 become U+FFFD.
    static std::wstring toWide(std::string_view text);
};

}  // namespace movira
