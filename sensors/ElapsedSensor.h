// The time spent with a usable fix, moving or not; counted to the 100 ns of the fix times, so that
// fixes many times a second add up, and kept between runs in whole seconds.
// Updated on the GPS reader thread under the model lock.
#pragma once

#include "sensors/Sensor.h"

#include <cstdint>

namespace movira {

class ElapsedSensor : public Sensor {
public:
    static constexpr int64_t MaxLoadedSeconds = 3'155'760'000LL;  // 100 years

    explicit ElapsedSensor(const UiText& uiText);

    bool isPersistent() const override { return true; }
    std::string saveValue() const override;
    void loadValue(const std::string& text) override;

    void update(const GpsFix& fix) override;
    void reset() override;

private:
    void formatText();

    int64_t elapsed_ = 0;       // 100-ns units
    int64_t previousTime_ = 0;  // 100-ns units; 0 when there is no previous fix
};

}  // namespace movira
