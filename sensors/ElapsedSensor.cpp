#include "sensors/ElapsedSensor.h"

#include <cstdlib>

namespace movira {

ElapsedSensor::ElapsedSensor(const UiText& uiText) : Sensor(uiText, uiText.elapsed()) {}

std::string ElapsedSensor::saveValue() const {
    return formatValue("%lld", static_cast<long long>(elapsed_ / kFileTimeUnitsPerSecond));
}

void ElapsedSensor::loadValue(const std::string& text) {
    char* end = nullptr;
    const long long seconds = std::strtoll(text.c_str(), &end, 10);
    // Whole seconds only: "1e999" or "2.5" was not written by us.
    if (end == text.c_str() || *end != '\0') return;
    if (seconds <= 0 || seconds > MaxLoadedSeconds) return;
    elapsed_ = seconds * kFileTimeUnitsPerSecond;
    formatText();
}

void ElapsedSensor::update(const GpsFix& fix) {
    if (!isUsable(fix)) return;
    const auto time = fixTime(fix);
    if (!time) {
        previousTime_ = 0;
        return;
    }
    // A gap of unusable fixes up to an hour is bridged whole; a longer one, or time running
    // backwards, starts afresh from this fix.
    if (isTravelStep(previousTime_, *time) && *time > previousTime_) {
        // Whole: ten steps of 0.1 s make a second, and a clock's jitter loses nothing.
        elapsed_ += *time - previousTime_;
        formatText();
    }
    previousTime_ = *time;
}

void ElapsedSensor::reset() {
    elapsed_ = 0;
    previousTime_ = 0;
    clearText();
}

void ElapsedSensor::formatText() {
    const long long total = elapsed_ / kFileTimeUnitsPerSecond;
    const long long days = total / 86400;
    const int hours = static_cast<int>(total % 86400 / 3600);
    const int minutes = static_cast<int>(total % 3600 / 60);
    const int seconds = static_cast<int>(total % 60);
    if (days != 0) {
        setText(L"%lld%ls%i:%i:%i", days, uiText().days(), hours, minutes, seconds);
    } else if (hours != 0) {
        setText(L"%i:%02i:%02i", hours, minutes, seconds);
    } else if (minutes != 0) {
        setText(L"%i:%02i", minutes, seconds);
    } else {
        setText(L"%i %ls", seconds, uiText().seconds());
    }
}

}  // namespace movira
