#include "sensors/DistanceSensor.h"

#include <cstdlib>

namespace movira {

DistanceSensor::DistanceSensor(const UiText& uiText) : Sensor(uiText, uiText.distance()) {}

std::string DistanceSensor::saveValue() const { return formatValue("%g", static_cast<double>(distance_)); }

void DistanceSensor::loadValue(const std::string& text) {
    const double km = std::strtod(text.c_str(), nullptr);
    if (!(km > 0.0 && km <= MaxLoadedKm)) return;
    distance_ = static_cast<float>(km);
    setDistanceText(distance_);
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
        const float seconds = static_cast<float>(static_cast<double>(*time - previousTime_) * 1e-7);
        const float hours = seconds * (1.0f / 3600.0f);
        distance_ += hours * (previousSpeed_ + fix.speed) / 2.0f;
        setDistanceText(distance_);
    }
    previousTime_ = *time;
    previousSpeed_ = fix.speed;
}

void DistanceSensor::reset() {
    previousTime_ = 0;
    previousSpeed_ = NoValue;
    distance_ = 0.0f;
    clearText();
}

}  // namespace movira
