#include "sensors/SatellitesUsedSensor.h"

namespace movira {

SatellitesUsedSensor::SatellitesUsedSensor(const UiText& uiText) : Sensor(uiText, uiText.satellitesUsed()) {}

void SatellitesUsedSensor::update(const GpsFix& fix) {
    count_ = fix.satellitesUsed;
    // An empty field reads as no satellites on screen; the value still tells it apart.
    setText(L"%i", count_ == NoValueInt ? 0 : count_);
}

}  // namespace movira
