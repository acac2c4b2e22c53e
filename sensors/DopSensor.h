// One dilution-of-precision figure of the latest fix (HDOP, VDOP or PDOP), with one decimal.
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class DopSensor final : public Sensor {
public:
    enum class Field { Hdop, Vdop, Pdop };

    // The caption is the field's name, the same in every language.
    DopSensor(const UiText& uiText, Field field);

    void update(const GpsFix& fix) override;

private:
    const Field field_;
};

}  // namespace movira
