// The current speed in km/h as the receiver reports it; shown only while the fix is usable.
// Updated on the GPS reader thread, read on the paint thread, both under the model lock.
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class SpeedSensor : public Sensor {
public:
    explicit SpeedSensor(const UiText& uiText);

    void update(const GpsFix& fix) override;
    float value(int index) const override { return index == 0 ? speed_ : NoValue; }

private:
    float speed_ = NoValue;  // km/h, whatever the last fix carried
};

}  // namespace movira
