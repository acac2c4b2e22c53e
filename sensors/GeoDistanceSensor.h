// The distance travelled in km, summed from straight lines between consecutive valid
// positions (Earth-centred coordinates in metres on the PZ-90 ellipsoid); kept between runs.
// Updated on the GPS reader thread under the model lock.
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class GeoDistanceSensor : public Sensor {
public:
    static constexpr double MaxLoadedKm = 100'000'000.0;

    explicit GeoDistanceSensor(const UiText& uiText);

    bool isPersistent() const override { return true; }
    std::string saveValue() const override;
    void loadValue(const std::string& text) override;

    void update(const GpsFix& fix) override;
    void reset() override;
    float value(int index) const override { return index == 0 ? distance_ : NoValue; }

private:
    float previousX_ = NoValue;  // metres
    float previousY_ = NoValue;
    float previousZ_ = NoValue;
    float distance_ = 0.0f;  // km
    const float eccentricitySquared_ = 0.0066943662f;
    const float semiMajorAxis_ = 6378136.0f;  // metres
};

}  // namespace movira
