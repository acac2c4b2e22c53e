// The number of satellites the receiver uses for its fix; intValue(0) is the count as received.
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class SatellitesUsedSensor final : public Sensor {
public:
    explicit SatellitesUsedSensor(const UiText& uiText);

    void update(const GpsFix& fix) override;
    int intValue(int index) const override { return index == 0 ? count_ : NoValueInt; }

private:
    int32_t count_ = NoValueInt;
};

}  // namespace movira
