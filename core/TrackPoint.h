// One accepted fix of the run, as kept in the track log (36 bytes).
#pragma once

#include "platform/SystemTime.h"

namespace movira {

struct TrackPoint {
    float altitude;   // metres
    float longitude;  // decimal degrees
    float latitude;   // decimal degrees
    float course;     // degrees
    float speed;      // km/h
    SystemTime localTime;

    bool sameAs(const TrackPoint& other) const {
        return latitude == other.latitude && longitude == other.longitude && altitude == other.altitude &&
               speed == other.speed && course == other.course && localTime.sameSecond(other.localTime);
    }
};
static_assert(sizeof(TrackPoint) == 36);

}  // namespace movira
