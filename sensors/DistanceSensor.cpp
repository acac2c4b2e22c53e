#include "sensors/DistanceSensor.h"

#include <cstdlib>

namespace movira {

DistanceSensor::DistanceSensor(const UiText& uiText) : Sensor(uiText, uiText.distance()) {}

std::string DistanceSensor::saveValue() const { return formatValue("%g", distance_); }

void DistanceSensor::loadValue(const std::string& text) {
    const double km = std::strtod(text.c_str(), nullptr);
    if (!(km > 0.0 && km <= MaxLoadedKm)) return;
    distance_ = km;
    setDistanceText(static_cast<float>(distance_));
}

void DistanceSensor::update(const GpsFix& fix) {
    if (!isUsable(fix)) {
        previousSpeed_ = NoValue;
        return;
    }
    const auto time = fixTime(fix);
    if (!time) {
        // A fix that cannot be placed in time is no step; the next one starts afresh.
        previousSpeed_ = NoValue;
        previousTime_ = 0;
        return;
    }
    // Stationary receivers report small speeds; they count too, there is no threshold.
    if (previousSpeed_ != NoValue && isTravelStep(previousTime_, *time)) {
        const double hours = static_cast<double>(*time - previousTime_) * 1e-7 / 3600.0;
        distance_ += hours * (static_cast<double>(previousSpeed_) + fix.speed) / 2.0;
        setDistanceText(static_cast<float>(distance_));
    }
    previousTime_ = *time;
    previousSpeed_ = fix.speed;
}

void DistanceSensor::reset() {
    previousTime_ = 0;
    previousSpeed_ = NoValue;
    distance_ = 0.0;
    clearText();
}

}  // namespace movira
