// How the settings sections read and write numbers and flags, the same way in every part.
#pragma once

#include <string>

namespace movira {

class SettingText {
public:
    // Decimal text to int as the C library's atoi reads it (leading digits with an optional
    // sign); 0 for no number, saturated at the ends of the int range.
    static int toInt(const std::string& text);
    // A flag that is on when its text holds the word "true" anywhere, in that case.
    static bool containsTrue(const std::string& text) { return text.find("true") != std::string::npos; }
    // How every flag is written.
    static const char* flag(bool on) { return on ? "true" : "false"; }
};

}  // namespace movira
