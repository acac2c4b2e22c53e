// The best time in seconds from standstill (below 1 km/h) to a target speed in km/h,
// interpolated inside the fix step that crosses the target; kept between runs.
// Updated on the GPS reader thread under the model lock.
#pragma once

#include "sensors/Sensor.h"

#include <cstdint>

namespace movira {

class AccelerationSensor : public Sensor {
public:
    static constexpr double MaxLoadedKmh = 2000.0;
    // A best time can reach two intervals of MaxIntervalMs: the time since the stop and the last step.
    static constexpr double MaxLoadedSeconds = 2000.0;
    // A run whose start or last step is longer than this (ms) is a stop or a gap, not a run.
    static constexpr int64_t MaxIntervalMs = 1'000'000;

    AccelerationSensor(float targetKmh, const UiText& uiText);

    bool isPersistent() const override { return true; }
    std::string saveValue() const override;
    void loadValue(const std::string& text) override;

    void update(const GpsFix& fix) override;
    void reset() override;
    // 0: the best time s (none until measured); 1: the target km/h.
    float value(int index) const override;

private:
    void buildCaption();

    int64_t startTime_ = 0;     // 100-ns units of the latest fix at rest; 0 when none
    int64_t previousTime_ = 0;  // 100-ns units; 0 when there is no previous fix
    float previousSpeed_ = NoValue;
    float best_ = NoValue;  // seconds
    float target_;          // km/h
};

}  // namespace movira
