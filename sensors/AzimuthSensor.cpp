#include "sensors/AzimuthSensor.h"

namespace movira {

AzimuthSensor::AzimuthSensor(const UiText& uiText) : Sensor(uiText, uiText.azimuth()) {}

void AzimuthSensor::update(const GpsFix& fix) {
    if (fix.course == NoValue) {
        setText(L"N/A");
    } else {
        setText(L"%.0f", static_cast<double>(fix.course));
    }
}

}  // namespace movira
