#include "sensors/AverageSpeedSensor.h"

#include <cstdlib>

namespace movira {

AverageSpeedSensor::AverageSpeedSensor(const UiText& uiText) : Sensor(uiText, uiText.averageSpeed()) {}

float AverageSpeedSensor::value(int index) const {
    if (index == 0) return average_;
    if (index == 1) return static_cast<float>(distance_);
    return NoValue;
}

float AverageSpeedSensor::averageOf(double km, int64_t time) {
    return static_cast<float>(km / (static_cast<double>(time) / kFileTimeUnitsPerSecond / 3600.0));
}

std::string AverageSpeedSensor::saveValue() const {
    return formatValue("%g;%lld", distance_, static_cast<long long>(time_ / kFileTimeUnitsPerSecond));
}

void AverageSpeedSensor::loadValue(const std::string& text) {
    const auto parts = splitPair(text);
    if (!parts) return;
    const double km = std::strtod(parts->first.c_str(), nullptr);
    char* end = nullptr;
    const long long seconds = std::strtoll(parts->second.c_str(), &end, 10);
    if (end == parts->second.c_str() || *end != '\0') return;
    if (!(km > 0.0 && km <= MaxLoadedKm) || seconds <= 0 || seconds > MaxLoadedSeconds) return;
    const float average = averageOf(km, seconds * kFileTimeUnitsPerSecond);
    if (!(average <= MaxLoadedKmh)) return;  // a pair no vehicle could have driven
    distance_ = km;
    time_ = seconds * kFileTimeUnitsPerSecond;
    average_ = average;
    setText(L"%.2f %ls", static_cast<double>(average_), uiText().kmPerHour());
}

void AverageSpeedSensor::update(const GpsFix& fix) {
    if (!isUsable(fix)) {
        previousSpeed_ = NoValue;
        return;
    }
    const auto time = fixTime(fix);
    if (!time) {
        previousSpeed_ = NoValue;
        previousTime_ = 0;
        return;
    }
    if (previousSpeed_ != NoValue && isTravelStep(previousTime_, *time)) {
        // The whole step, not its whole seconds: at 10 Hz every step would count nothing.
        const int64_t step = *time - previousTime_;
        time_ += step;
        distance_ += (static_cast<double>(previousSpeed_) + fix.speed) / 2.0 * static_cast<double>(step) /
                     kFileTimeUnitsPerSecond / 3600.0;
        // Two fixes of the same moment at the start give no time yet: no average rather than 0/0.
        if (time_ > 0) {
            average_ = averageOf(distance_, time_);
            setText(L"%.2f %ls", static_cast<double>(average_), uiText().kmPerHour());
        }
    }
    previousTime_ = *time;
    previousSpeed_ = fix.speed;
}

void AverageSpeedSensor::reset() {
    time_ = 0;
    previousTime_ = 0;
    previousSpeed_ = NoValue;
    distance_ = 0.0;
    average_ = NoValue;
    clearText();
}

}  // namespace movira
