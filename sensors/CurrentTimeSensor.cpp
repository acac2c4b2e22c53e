#include "sensors/CurrentTimeSensor.h"

namespace movira {

CurrentTimeSensor::CurrentTimeSensor(const UiText& uiText) : Sensor(uiText, uiText.currentTime()) {}

void CurrentTimeSensor::update(const GpsFix& fix) {
    // Shown even without a valid fix: receivers keep the time running before they have a position.
    const SystemTime& t = fix.localTime;
    setText(L"%i:%02i:%02i", int{t.hour}, int{t.minute}, int{t.second});
}

}  // namespace movira
