// The course over ground of the latest fix in whole degrees, without a unit.
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class AzimuthSensor final : public Sensor {
public:
    explicit AzimuthSensor(const UiText& uiText);

    void update(const GpsFix& fix) override;
};

}  // namespace movira
