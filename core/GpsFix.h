// The current fix: what the receiver last said about position, motion, time and precision.
// Written by the GPS reader thread under the model lock; read by others under the same lock.
#pragma once

#include "core/NoValue.h"
#include "platform/SystemTime.h"

#include <cstdint>

namespace movira {

struct GpsFix {
    float altitude = NoValue;    // metres above mean sea level
    float longitude = NoValue;   // decimal degrees, east positive
    float latitude = NoValue;    // decimal degrees, north positive
    float course = NoValue;      // degrees over ground (true)
    float speed = NoValue;       // km/h
    float speedKnots = NoValue;  // knots, as received
    SystemTime utcTime;
    SystemTime localTime;
    float pdop = NoValue;
    float hdop = NoValue;
    float vdop = NoValue;
    int32_t satellitesUsed = 0;
    bool valid = false;  // the receiver reports a usable fix
};

}  // namespace movira
