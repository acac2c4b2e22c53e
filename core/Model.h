// What the GPS reader thread writes and the display reads: the parser with the fix, the
// satellites and the track log, and the sensors. Always reached under AppCore's model lock.
#pragma once

#include "core/NmeaParser.h"
#include "sensors/SensorSet.h"

namespace movira {

struct Model {
    Model(const Clock& clock, const UiText& uiText, const Battery& battery) : parser(clock) {
        sensors.createSensors(uiText, battery);
    }
    NmeaParser parser;
    SensorSet sensors;
};

}  // namespace movira
