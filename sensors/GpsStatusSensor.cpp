#include "sensors/GpsStatusSensor.h"

namespace movira {

GpsStatusSensor::GpsStatusSensor(const UiText& uiText) : Sensor(uiText, uiText.gpsStatus()) {}

void GpsStatusSensor::update(const GpsFix& fix) {
    // The only sensor that looks at validity: the others keep showing the last data received.
    if (fix.valid) {
        setText(L"OK");
    } else {
        setText(L"%ls", uiText().noSignal());
    }
}

}  // namespace movira
