// Takes arbitrary bytes as records of the GPS access library: 344 bytes each, the last one
// padded with zeros, with no record (null) once in between, where the first byte says.
// Stops at the first broken invariant, so that libFuzzer keeps the input.
#include "core/NmeaParser.h"
#include "core/PositionRecord.h"
#include "tests/support/FakeClock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace movira;

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
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
    for (size_t i = trackPoints; i < parser.trackPointCount(); ++i) {
        const TrackPoint& p = *parser.trackPoint(static_cast<long long>(i));
        for (const float value : {p.altitude, p.longitude, p.latitude, p.course, p.speed}) {
            require(std::isfinite(value), "track point value not finite");
        }
        require(p.speed >= 0, "track point with negative speed");
    }
    trackPoints = parser.trackPointCount();
}

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
    constexpr size_t kRecordSize = sizeof(PositionRecord);
    const size_t records = (size + kRecordSize - 1) / kRecordSize;
    const size_t nullAt = data[0] % (records + 1);  // before record nullAt; after the last when == records

    NmeaParser parser(fixedClock());
    size_t trackPoints = 0;
    for (size_t i = 0; i <= records; ++i) {
        if (i == nullAt) {
            require(parser.applyPositionRecord(nullptr), "no record must still complete a fix");
            checkParser(parser, trackPoints);
            require(parser.fix().latitude == NoValue && parser.fix().speed == NoValue,
                    "no record left a position");
        }
        if (i == records) break;
        PositionRecord record{};  // zero padding for the last, short one; copied for alignment
        const size_t offset = i * kRecordSize;
        std::memcpy(&record, data + offset, std::min(kRecordSize, size - offset));
        require(parser.applyPositionRecord(&record), "a record must complete a fix");
        checkParser(parser, trackPoints);
        if (record.fixType == 0) {
            require(!parser.fix().valid, "no-fix record left the fix valid");
            for (int s = 0; s < NmeaParser::SatelliteSlots; ++s) {
                require(parser.satellite(s)->isEmpty(), "no-fix record left a satellite");
            }
        } else {
            require(parser.fix().valid, "record with a fix left the fix invalid");
        }
    }
    return 0;
}
