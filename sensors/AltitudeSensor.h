// The altitude of the latest fix in metres above mean sea level; value(0) is the altitude.
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class AltitudeSensor final : public Sensor {
public:
    explicit AltitudeSensor(const UiText& uiText);

    void update(const GpsFix& fix) override;
    float value(int index) const override { return index == 0 ? altitude_ : NoValue; }

private:
    float altitude_ = NoValue;  // metres
};

}  // namespace movira
