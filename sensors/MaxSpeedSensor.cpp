#include "sensors/MaxSpeedSensor.h"

#include <cstdlib>

namespace movira {

MaxSpeedSensor::MaxSpeedSensor(const UiText& uiText) : Sensor(uiText, uiText.maxSpeed()) {}

std::string MaxSpeedSensor::saveValue() const { return formatValue("%g", static_cast<double>(maximum_)); }

void MaxSpeedSensor::loadValue(const std::string& text) {
    const double kmh = std::strtod(text.c_str(), nullptr);
    if (!(kmh > 0.0 && kmh <= MaxLoadedKmh)) return;  // also refuses nan and inf
    maximum_ = static_cast<float>(kmh);
    setSpeedText(maximum_);
}

void MaxSpeedSensor::update(const GpsFix& fix) {
    if (fix.speed == NoValue) return;
    if (fix.speed > maximum_ || maximum_ == NoValue) {
        maximum_ = fix.speed;
        setSpeedText(maximum_);
    }
}

void MaxSpeedSensor::reset() {
    maximum_ = NoValue;
    clearText();
}

}  // namespace movira
