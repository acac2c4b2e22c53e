#include "sensors/AltitudeSensor.h"

namespace movira {

AltitudeSensor::AltitudeSensor(const UiText& uiText) : Sensor(uiText, uiText.altitude()) {}

void AltitudeSensor::update(const GpsFix& fix) {
    altitude_ = fix.altitude;
    if (altitude_ == NoValue) {
        setText(L"N/A");
    } else {
        setText(L"%.1f %ls", static_cast<double>(altitude_), uiText().metres());
    }
}

}  // namespace movira
