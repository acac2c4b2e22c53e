// The local time of the latest fix as hours, minutes and seconds.
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class CurrentTimeSensor final : public Sensor {
public:
    explicit CurrentTimeSensor(const UiText& uiText);

    void update(const GpsFix& fix) override;
};

}  // namespace movira
