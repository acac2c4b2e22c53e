#include "sensors/BatterySensor.h"

#include "platform/Battery.h"

namespace movira {

BatterySensor::BatterySensor(const UiText& uiText, const Battery& battery)
    : Sensor(uiText, uiText.batteryStatus()), battery_(battery) {}

void BatterySensor::update(const GpsFix& fix) {
    (void)fix;
    const std::optional<BatteryStatus> status = battery_.status();
    if (!status) {
        setText(L"N/A");
        percent_ = NoValueInt;
        return;
    }
    const int percent = status->percent;
    const bool reported = percent <= 100;  // above 100 the platform does not know the level
    if (status->charging) {
        if (reported) {
            setText(L"%i%%(%ls)", percent, uiText().charging());
        } else {
            setText(L"%ls", uiText().charging());
        }
    } else if (reported) {
        setText(L"%i%%", percent);
    } else {
        setText(L"N/A");
    }
    percent_ = percent;
}

}  // namespace movira
