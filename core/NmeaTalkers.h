// Which NMEA talkers the serial reader takes, so that the port search recognises a receiver
// by the same talkers the reader will read.
#pragma once

#include <span>
#include <string_view>

namespace movira {

class NmeaTalkers {
public:
    // The talker ids (the two letters after "$") that the reader takes.
    static std::span<const std::string_view> accepted();
    // Whether `bytes` hold "$" followed by one of `talkers` anywhere, so that a prefix split
    // across two reads is found once both parts are in.
    static bool containsSentenceStart(std::string_view bytes, std::span<const std::string_view> talkers);
    static bool containsSentenceStart(std::string_view bytes) { return containsSentenceStart(bytes, accepted()); }
};

}  // namespace movira
