#include "platform/Locale.h"

#include <cstdlib>

namespace movira {

std::string Locale::userLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return {};
}

}  // namespace movira
