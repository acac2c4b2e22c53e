// Feeds arbitrary bytes as a receiver's stream: through the sentence cutter, in reads of a
// size that the input's first byte chooses, into the parser. Stops at the first broken
// invariant, so that libFuzzer keeps the input.
#include "core/NmeaParser.h"
#include "core/SentenceCutter.h"
#include "tests/support/FakeClock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

using namespace movira;

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Reads of 1..128 bytes, or 16..2048 in steps of 16: small ones split every sentence, large
// ones fill the buffer the way a busy port does.
size_t readSize(uint8_t selector) {
    return selector < 128 ? size_t{selector} + 1 : size_t{selector - 127u} * 16;
}

void checkParser(const NmeaParser& parser, size_t& trackPoints) {
    const GpsFix& f = parser.fix();
    for (const float value :
         {f.altitude, f.longitude, f.latitude, f.course, f.speed, f.speedKnots, f.pdop, f.hdop, f.vdop}) {
        require(std::isfinite(value), "fix value not finite");
    }
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) {
        const SatelliteInfo& s = *parser.satellite(i);
        require(!s.isEmpty() || (s.elevation == NoValueInt && s.azimuth == NoValueInt && s.snr == NoValueInt),
                "satellite entry without a PRN holds values");
    }
    require(parser.trackPointCount() >= trackPoints, "track log shrank");
    // Only the points added since the last check; the older ones were checked then.
    for (size_t i = trackPoints; i < parser.trackPointCount(); ++i) {
        const TrackPoint& p = *parser.trackPoint(static_cast<long long>(i));
        for (const float value : {p.altitude, p.longitude, p.latitude, p.course, p.speed}) {
            require(std::isfinite(value), "track point value not finite");
        }
        require(p.speed >= 0, "track point with negative speed");
    }
    trackPoints = parser.trackPointCount();
}

// A fixed clock and zone: the same input must always take the same path.
const test::FakeClock& fixedClock() {
    static const test::FakeClock clock = [] {
        setenv("TZ", "UTC", 1);
        tzset();
        return test::FakeClock{};
    }();
    return clock;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t chunk = readSize(data[0]);
    std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    NmeaParser parser(fixedClock());
    SentenceCutter cutter;
    size_t trackPoints = 0;
    const auto onSentence = [&](SentenceCutter::Sentence cut) {
        const std::string_view sentence = cut;
        require(!sentence.empty() && sentence.front() == '$', "sentence does not start with $");
        require(sentence.find('\r') == std::string_view::npos, "sentence holds a carriage return");
        require(sentence.data()[sentence.size()] == '\0', "sentence not zero-terminated");
        // As the reader does: cut into fields where it lies in the cutter's buffer.
        parser.parseSentenceInPlace(cut.text, cut.size);
        checkParser(parser, trackPoints);
    };
    while (!stream.empty()) {
        // A carry that fills the buffer would leave no room for the next read: the reader stalls.
        require(cutter.carry() < SentenceCutter::BufferSize, "carry fills the buffer");
        const size_t count = std::min({chunk, cutter.freeCapacity(), stream.size()});
        std::memcpy(cutter.freeSpace(), stream.data(), count);
        stream.remove_prefix(count);
        cutter.cut(count, onSentence);
    }
    require(cutter.carry() < SentenceCutter::BufferSize, "carry fills the buffer");
    checkParser(parser, trackPoints);
    return 0;
}
