// The latitude of the latest fix in degrees, minutes and seconds, north "NL" or south "SL".
#pragma once

#include "sensors/DegreesSensor.h"

namespace movira {

class LatitudeSensor final : public DegreesSensor {
public:
    explicit LatitudeSensor(const UiText& uiText);

    void update(const GpsFix& fix) override { show(fix.latitude); }
};

}  // namespace movira
