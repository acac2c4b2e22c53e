// Whether the receiver reports a usable fix: "OK" or the UI's "No signal".
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class GpsStatusSensor final : public Sensor {
public:
    explicit GpsStatusSensor(const UiText& uiText);

    void update(const GpsFix& fix) override;
};

}  // namespace movira
