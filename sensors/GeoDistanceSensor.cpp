#include "sensors/GeoDistanceSensor.h"

#include <cmath>
#include <cstdlib>

namespace movira {

GeoDistanceSensor::GeoDistanceSensor(const UiText& uiText)
    : Sensor(uiText, std::wstring(uiText.distance()) + L" ex") {}

std::string GeoDistanceSensor::saveValue() const { return formatValue("%g", static_cast<double>(distance_)); }

void GeoDistanceSensor::loadValue(const std::string& text) {
    const double km = std::strtod(text.c_str(), nullptr);
    if (!(km > 0.0 && km <= MaxLoadedKm)) return;
    distance_ = static_cast<float>(km);
    setDistanceText(distance_);
}

void GeoDistanceSensor::update(const GpsFix& fix) {
    if (!fix.valid || fix.latitude == NoValue || fix.longitude == NoValue || fix.altitude == NoValue) return;
    constexpr float DegreesToRadians = 0.0174532887f;
    const float latitude = fix.latitude * DegreesToRadians;
    const float longitude = fix.longitude * DegreesToRadians;
    const double height = fix.altitude;
    const double sinLatitude = std::sin(static_cast<double>(latitude));
    const double cosLatitude = std::cos(static_cast<double>(latitude));
    // Radius of curvature in the prime vertical, metres.
    const float n = static_cast<float>(semiMajorAxis_ /
                                       std::sqrt(1.0 - eccentricitySquared_ * sinLatitude * sinLatitude));
    const float x = static_cast<float>((n + height) * cosLatitude * std::cos(static_cast<double>(longitude)));
    const float y = static_cast<float>((n + height) * cosLatitude * std::sin(static_cast<double>(longitude)));
    const float z = static_cast<float>(((1.0 - eccentricitySquared_) * n + height) * sinLatitude);

    if (previousX_ != NoValue && previousY_ != NoValue && previousZ_ != NoValue) {
        // The polar axis counts fully: a drive due north must measure as much as one due east.
        const double dx = static_cast<double>(x) - previousX_;
        const double dy = static_cast<double>(y) - previousY_;
        const double dz = static_cast<double>(z) - previousZ_;
        distance_ += static_cast<float>(0.001 * std::sqrt(dx * dx + dy * dy + dz * dz));
        setDistanceText(distance_);
    }
    previousX_ = x;
    previousY_ = y;
    previousZ_ = z;
}

void GeoDistanceSensor::reset() {
    previousX_ = NoValue;
    previousY_ = NoValue;
    previousZ_ = NoValue;
    distance_ = 0.0f;
    clearText();
}

}  // namespace movira
