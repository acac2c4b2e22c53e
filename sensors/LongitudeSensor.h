// The longitude of the latest fix in degrees, minutes and seconds, east "EL" or west "WL".
#pragma once

#include "sensors/DegreesSensor.h"

namespace movira {

class LongitudeSensor final : public DegreesSensor {
public:
    explicit LongitudeSensor(const UiText& uiText);

    void update(const GpsFix& fix) override { show(fix.longitude); }
};

}  // namespace movira
