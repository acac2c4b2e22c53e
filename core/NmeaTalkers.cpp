#include "core/NmeaTalkers.h"

#include "core/NmeaParser.h"

#include <algorithm>

namespace movira {

std::span<const std::string_view> NmeaTalkers::accepted() { return NmeaParser::fixTalkers(); }

bool NmeaTalkers::containsSentenceStart(std::string_view bytes, std::span<const std::string_view> talkers) {
    for (size_t dollar = bytes.find('$'); dollar != std::string_view::npos; dollar = bytes.find('$', dollar + 1)) {
        if (dollar + 3 > bytes.size()) return false;
        const std::string_view talker = bytes.substr(dollar + 1, 2);
        if (std::find(talkers.begin(), talkers.end(), talker) != talkers.end()) return true;
    }
    return false;
}

}  // namespace movira
