#include "core/NmeaTalkers.h"

#include <algorithm>
#include <array>

namespace movira {
namespace {

// KEEP IN STEP WITH THE READER: the talkers NmeaParser takes. "GP" (GPS) first; then the
// multi-constellation talkers: GNSS combined, GLONASS, Galileo, BeiDou (two ids), QZSS.
constexpr std::array<std::string_view, 7> kAcceptedTalkers = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ"};

}  // namespace

std::span<const std::string_view> NmeaTalkers::accepted() { return kAcceptedTalkers; }

bool NmeaTalkers::containsSentenceStart(std::string_view bytes, std::span<const std::string_view> talkers) {
    for (size_t dollar = bytes.find('$'); dollar != std::string_view::npos; dollar = bytes.find('$', dollar + 1)) {
        if (dollar + 3 > bytes.size()) return false;
        const std::string_view talker = bytes.substr(dollar + 1, 2);
        if (std::find(talkers.begin(), talkers.end(), talker) != talkers.end()) return true;
    }
    return false;
}

}  // namespace movira
