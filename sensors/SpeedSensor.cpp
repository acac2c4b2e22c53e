#include "sensors/SpeedSensor.h"

namespace movira {

SpeedSensor::SpeedSensor(const UiText& uiText) : Sensor(uiText, uiText.speed()) {}

void SpeedSensor::update(const GpsFix& fix) {
    speed_ = fix.speed;
    if (isUsable(fix)) {
        setSpeedText(fix.speed);
    } else {
        clearText();
    }
}

}  // namespace movira
