// The highest speed seen, in km/h, kept between runs. Any reported speed counts, even
// from a fix the receiver marks invalid. Updated on the GPS reader thread under the model lock.
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class MaxSpeedSensor : public Sensor {
public:
    static constexpr double MaxLoadedKmh = 2000.0;

    explicit MaxSpeedSensor(const UiText& uiText);

    bool isPersistent() const override { return true; }
    std::string saveValue() const override;
    void loadValue(const std::string& text) override;

    void update(const GpsFix& fix) override;
    void reset() override;
    float value(int index) const override { return index == 0 ? maximum_ : NoValue; }

private:
    float maximum_ = NoValue;  // km/h
};

}  // namespace movira
