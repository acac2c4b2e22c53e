// One satellite in view; every field is NoValueInt in an empty entry.
#pragma once

#include "core/NoValue.h"

#include <cstdint>

namespace movira {

struct SatelliteInfo {
    int32_t prn = NoValueInt;        // satellite number
    int32_t elevation = NoValueInt;  // degrees
    int32_t azimuth = NoValueInt;    // degrees
    int32_t snr = NoValueInt;        // signal-to-noise, dB

    bool isEmpty() const { return prn == NoValueInt; }
    void clear() { *this = SatelliteInfo{}; }
};

}  // namespace movira
