// The distance travelled in km, integrated from the reported speeds between consecutive
// usable fixes; kept between runs. Updated on the GPS reader thread under the model lock.
#pragma once

#include "sensors/Sensor.h"

#include <cstdint>

namespace movira {

class DistanceSensor : public Sensor {
public:
    static constexpr double MaxLoadedKm = 100'000'000.0;

    explicit DistanceSensor(const UiText& uiText);

    bool isPersistent() const override { return true; }
    std::string saveValue() const override;
    void loadValue(const std::string& text) override;

    void update(const GpsFix& fix) override;
    void reset() override;
    float value(int index) const override { return index == 0 ? static_cast<float>(distance_) : NoValue; }

private:
    int64_t previousTime_ = 0;  // 100-ns units; 0 when there is no previous fix
    float previousSpeed_ = NoValue;
    double distance_ = 0.0;  // km; double, so that tiny steps at high rates are not lost
};

}  // namespace movira
