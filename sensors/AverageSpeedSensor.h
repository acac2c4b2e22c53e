// The average speed in km/h over the time with usable fixes, from its own distance (km) and
// time (100-ns units, so that fixes many times a second add up), both kept between runs (the
// time in whole seconds). Updated on the GPS reader thread under the model lock.
#pragma once

#include "sensors/Sensor.h"

#include <cstdint>

namespace movira {

class AverageSpeedSensor : public Sensor {
public:
    static constexpr double MaxLoadedKm = 100'000'000.0;
    static constexpr int64_t MaxLoadedSeconds = 3'155'760'000LL;  // 100 years
    static constexpr double MaxLoadedKmh = 2000.0;

    explicit AverageSpeedSensor(const UiText& uiText);

    bool isPersistent() const override { return true; }
    std::string saveValue() const override;
    void loadValue(const std::string& text) override;

    void update(const GpsFix& fix) override;
    void reset() override;
    // 0: the average km/h (none until some time has been counted); 1: the distance km.
    float value(int index) const override;

private:
    static float averageOf(double km, int64_t time);

    int64_t time_ = 0;          // 100-ns units
    int64_t previousTime_ = 0;  // 100-ns units; 0 when there is no previous fix
    float previousSpeed_ = NoValue;
    double distance_ = 0.0;    // km; double, so that tiny steps at high rates are not lost
    float average_ = NoValue;  // km/h
};

}  // namespace movira
