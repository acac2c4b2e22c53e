#include "sensors/AverageSpeedSensor.h"

#include <cstdlib>

namespace movira {

namespace {

constexpr float HoursPerSecond = 0.00027777778f;

}  // namespace

AverageSpeedSensor::AverageSpeedSensor(const UiText& uiText) : Sensor(uiText, uiText.averageSpeed()) {}

float AverageSpeedSensor::value(int index) const {
    if (index == 0) return average_;
    if (index == 1) return distance_;
    return NoValue;
}

float AverageSpeedSensor::averageOf(float km, int64_t seconds) {
    return km / (static_cast<float>(seconds) * HoursPerSecond);
}

std::string AverageSpeedSensor::saveValue() const {
    return formatValue("%g;%lld", static_cast<double>(distance_), static_cast<long long>(time_));
}

void AverageSpeedSensor::loadValue(const std::string& text) {
    const auto parts = splitPair(text);
    if (!parts) return;
    const double km = std::strtod(parts->first.c_str(), nullptr);
    char* end = nullptr;
    const long long seconds = std::strtoll(parts->second.c_str(), &end, 10);
    if (end == parts->second.c_str() || *end != '\0') return;
    if (!(km > 0.0 && km <= MaxLoadedKm) || seconds <= 0 || seconds > MaxLoadedSeconds) return;
    const float average = averageOf(static_cast<float>(km), seconds);
    if (!(average <= MaxLoadedKmh)) return;  // a pair no vehicle could have driven
    distance_ = static_cast<float>(km);
    time_ = seconds;
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
        const int64_t seconds = (*time - previousTime_) / kFileTimeUnitsPerSecond;
        time_ += seconds;
        distance_ += (previousSpeed_ + fix.speed) / 2.0f * static_cast<float>(seconds) * HoursPerSecond;
        // Two fixes within the first second give no time yet: no average rather than 0/0.
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
    distance_ = 0.0f;
    average_ = NoValue;
    clearText();
}

}  // namespace movira
