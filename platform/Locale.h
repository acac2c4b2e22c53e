// The language of the user's locale: the first set of LC_ALL, LC_MESSAGES, LANG.
#pragma once

#include <string>

namespace movira {

class Locale {
public:
    // For example "ru_RU.UTF-8"; empty when none of the variables is set.
    static std::string userLocaleName();
};

}  // namespace movira
