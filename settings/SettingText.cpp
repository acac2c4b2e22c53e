#include "settings/SettingText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace movira {

int SettingText::toInt(const std::string& text) {
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace movira
