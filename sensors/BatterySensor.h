// The device battery: charge in percent and whether it is charging, asked of the platform on
// every update. intValue(0) is the percent: 0..100, 255 when the level is not reported,
// -9999 when the query failed or before the first update.
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class Battery;

class BatterySensor final : public Sensor {
public:
    // `battery` must outlive the sensor; its status() is called under the model lock, so it
    // should answer quickly (a cached reading).
    BatterySensor(const UiText& uiText, const Battery& battery);

    // The fix is not used: the battery is polled at the moments the other sensors are updated.
    void update(const GpsFix& fix) override;
    int intValue(int index) const override { return index == 0 ? percent_ : NoValueInt; }

private:
    const Battery& battery_;
    int32_t percent_ = NoValueInt;
};

}  // namespace movira
