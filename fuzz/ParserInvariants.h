// Invariants that no input may break, shared by the fuzz targets of the parser.
#pragma once

#include "core/NmeaParser.h"
#include "tests/support/FakeClock.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <time.h>

namespace movira::fuzz {

// Stops at the first broken invariant, so that libFuzzer keeps the input.
inline void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// The fix and the new track points hold no infinity or NaN, entries without a number hold
// nothing, and the track log never shrinks.
// `fromSentences`: each system's satellite is one entry (records of the GPS access library are
// copied as they come, a satellite listed twice included).
inline void checkParser(const NmeaParser& parser, size_t& trackPoints, bool fromSentences = true) {
    const GpsFix& f = parser.fix();
    for (const float value :
         {f.altitude, f.longitude, f.latitude, f.course, f.speed, f.speedKnots, f.pdop, f.hdop, f.vdop}) {
        require(std::isfinite(value), "fix value not finite");
    }
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) {
        const SatelliteInfo& s = *parser.satellite(i);
        require(!s.isEmpty() || (s.elevation == NoValueInt && s.azimuth == NoValueInt && s.snr == NoValueInt &&
                                 s.constellation == Constellation::Unknown),
                "satellite entry without a PRN holds values");
        // One system's satellite is one entry: a second one would be drawn twice.
        for (int j = 0; fromSentences && j < i && !s.isEmpty(); ++j) {
            const SatelliteInfo& other = *parser.satellite(j);
            require(other.prn != s.prn || other.constellation != s.constellation, "a satellite held twice");
        }
    }
    require(parser.satellite(NmeaParser::SatelliteSlots) == nullptr, "an entry past the table");
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
inline const test::FakeClock& fixedClock() {
    static const test::FakeClock clock = [] {
        setenv("TZ", "UTC", 1);
        tzset();
        return test::FakeClock{};
    }();
    return clock;
}

}  // namespace movira::fuzz
