// Takes arbitrary bytes as records of the GPS access library: 344 bytes each, the last one
// padded with zeros, with no record (null) once in between, where the first byte says.
// Stops at the first broken invariant, so that libFuzzer keeps the input.
#include "core/NmeaParser.h"
#include "core/PositionRecord.h"
#include "fuzz/ParserInvariants.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace movira;
using fuzz::checkParser;
using fuzz::fixedClock;
using fuzz::require;

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
            checkParser(parser, trackPoints, false);
            require(parser.fix().latitude == NoValue && parser.fix().speed == NoValue,
                    "no record left a position");
        }
        if (i == records) break;
        PositionRecord record{};  // zero padding for the last, short one; copied for alignment
        const size_t offset = i * kRecordSize;
        std::memcpy(&record, data + offset, std::min(kRecordSize, size - offset));
        require(parser.applyPositionRecord(&record), "a record must complete a fix");
        checkParser(parser, trackPoints, false);
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
