// Reading the numbers and face names of a page's settings section safely: values that
// would break the layout are refused and the value in force stays.
#pragma once

#include <optional>
#include <string>

namespace movira {

class IniFile;

class PageSettings {
public:
    // A font height outside 1..MaxFontSize (zero, negative, taller than any screen) is refused.
    static constexpr int MaxFontSize = 1000;
    // Face names longer than this are cut, at a character boundary; a value that is not
    // UTF-8 text, or of which nothing is left, is refused.
    static constexpr size_t MaxFaceBytes = 255;

    // A decimal integer as the C library reads it (trailing text ignored); none when the
    // text does not start with a number or leaves the int range.
    static std::optional<int> readInt(const IniFile& ini, const char* key, const char* section);
    static void readFontSize(const IniFile& ini, const char* key, const char* section, int& size);
    static void readFace(const IniFile& ini, const char* key, const char* section, std::string& face);
};

}  // namespace movira
