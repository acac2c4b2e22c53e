#include "sensors/AccelerationSensor.h"

#include <cmath>
#include <cstdlib>
#include <cwchar>

namespace movira {

AccelerationSensor::AccelerationSensor(float targetKmh, const UiText& uiText)
    : Sensor(uiText, std::wstring()), target_(targetKmh) {
    buildCaption();
}

void AccelerationSensor::buildCaption() {
    wchar_t caption[64];
    std::swprintf(caption, sizeof caption / sizeof caption[0], L"%ls 0-%g %ls", uiText().accel(),
                  static_cast<double>(target_), uiText().kmPerHour());
    setCaption(caption);
}

float AccelerationSensor::value(int index) const {
    if (index == 0) return best_;
    if (index == 1) return target_;
    return NoValue;
}

std::string AccelerationSensor::saveValue() const {
    return formatValue("%g;%g", static_cast<double>(target_), static_cast<double>(best_));
}

void AccelerationSensor::loadValue(const std::string& text) {
    const auto parts = splitPair(text);
    if (!parts) return;
    const double target = std::strtod(parts->first.c_str(), nullptr);
    const double best = std::strtod(parts->second.c_str(), nullptr);
    if (!(target > 0.0 && target <= MaxLoadedKmh) || !(best > 0.0 && best <= MaxLoadedSeconds)) return;
    target_ = static_cast<float>(target);
    best_ = static_cast<float>(best);
    buildCaption();
    setSecondsText(best_);
}

void AccelerationSensor::update(const GpsFix& fix) {
    if (!isUsable(fix)) return;  // a short dropout keeps the run going
    const auto time = fixTime(fix);
    if (!time) {
        // Cannot be placed in time: no run spans it.
        startTime_ = 0;
        previousTime_ = 0;
        return;
    }
    const bool travel = isTravelStep(previousTime_, *time);
    if (!travel) startTime_ = 0;
    if (std::fabs(fix.speed) < 1.0f) startTime_ = *time;  // truncates to 0 km/h: standing

    if (travel && previousSpeed_ != NoValue && previousSpeed_ < target_ && fix.speed >= target_ &&
        startTime_ > 0) {
        const int64_t lastStepMs = (*time - previousTime_) / 10'000;
        const int64_t sinceStartMs = (previousTime_ - startTime_) / 10'000;
        if (sinceStartMs <= MaxIntervalMs && lastStepMs <= MaxIntervalMs) {
            const double v0 = previousSpeed_;
            const double v1 = fix.speed;
            const double run = ((target_ - v0) * static_cast<double>(lastStepMs) / (v1 - v0) +
                                static_cast<double>(sinceStartMs)) * 0.001;
            if (run > 0.0 && (best_ == NoValue || run < best_)) {
                best_ = static_cast<float>(run);
                setSecondsText(best_);
            }
        }
    }
    previousSpeed_ = fix.speed;
    previousTime_ = *time;
}

void AccelerationSensor::reset() {
    startTime_ = 0;
    previousTime_ = 0;
    previousSpeed_ = NoValue;
    best_ = NoValue;
    clearText();
}

}  // namespace movira
