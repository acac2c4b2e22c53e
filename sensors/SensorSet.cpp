#include "sensors/SensorSet.h"

#include "core/Utf8.h"
#include "sensors/AccelerationSensor.h"
#include "sensors/AltitudeSensor.h"
#include "sensors/AverageSpeedSensor.h"
#include "sensors/AzimuthSensor.h"
#include "sensors/BatterySensor.h"
#include "sensors/CurrentTimeSensor.h"
#include "sensors/DistanceSensor.h"
#include "sensors/DopSensor.h"
#include "sensors/ElapsedSensor.h"
#include "sensors/FastestSensor.h"
#include "sensors/GeoDistanceSensor.h"
#include "sensors/GpsStatusSensor.h"
#include "sensors/LatitudeSensor.h"
#include "sensors/LongitudeSensor.h"
#include "sensors/MaxSpeedSensor.h"
#include "sensors/SatellitesUsedSensor.h"
#include "sensors/SpeedSensor.h"
#include "settings/IniFile.h"

#include <cwchar>

namespace movira {
namespace {

constexpr char kSection[] = "LastSensorsValue";
constexpr float kAccelerationTargets[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 150, 200, 250, 300};

}  // namespace

void SensorSet::createSensors(const UiText& uiText, const Battery& battery) {
    add(std::make_unique<GpsStatusSensor>(uiText));
    add(std::make_unique<SatellitesUsedSensor>(uiText));
    add(std::make_unique<CurrentTimeSensor>(uiText));
    add(std::make_unique<FastestSensor>(100.0f, uiText, true));
    add(std::make_unique<FastestSensor>(402.0f, uiText, true));
    add(std::make_unique<FastestSensor>(500.0f, uiText, false));
    add(std::make_unique<FastestSensor>(1000.0f, uiText, false));
    add(std::make_unique<FastestSensor>(10000.0f, uiText, false));
    add(std::make_unique<GeoDistanceSensor>(uiText));
    add(std::make_unique<DistanceSensor>(uiText));
    add(std::make_unique<ElapsedSensor>(uiText));
    add(std::make_unique<AverageSpeedSensor>(uiText));
    add(std::make_unique<SpeedSensor>(uiText));
    add(std::make_unique<MaxSpeedSensor>(uiText));
    for (const float target : kAccelerationTargets) add(std::make_unique<AccelerationSensor>(target, uiText));
    add(std::make_unique<LatitudeSensor>(uiText));
    add(std::make_unique<LongitudeSensor>(uiText));
    add(std::make_unique<AltitudeSensor>(uiText));
    add(std::make_unique<AzimuthSensor>(uiText));
    add(std::make_unique<DopSensor>(uiText, DopSensor::Field::Hdop));
    add(std::make_unique<DopSensor>(uiText, DopSensor::Field::Vdop));
    add(std::make_unique<DopSensor>(uiText, DopSensor::Field::Pdop));
    add(std::make_unique<BatterySensor>(uiText, battery));
}

Sensor* SensorSet::at(int index) const {
    return index >= 0 && index < count() ? sensors_[static_cast<size_t>(index)].get() : nullptr;
}

Sensor* SensorSet::find(const wchar_t* caption) const {
    for (const auto& sensor : sensors_) {
        if (std::wcscmp(sensor->caption(), caption) == 0) return sensor.get();
    }
    return nullptr;
}

void SensorSet::updateAll(const GpsFix& fix) {
    for (const auto& sensor : sensors_) sensor->update(fix);
}

void SensorSet::resetAll() {
    for (const auto& sensor : sensors_) sensor->reset();
}

void SensorSet::loadValues(const IniFile& ini) {
    for (const auto& sensor : sensors_) {
        if (sensor->isPersistent()) sensor->loadValue(ini.getValue(Utf8::fromWide(sensor->caption()), kSection));
    }
}

void SensorSet::saveValues(IniFile& ini) const {
    for (const auto& sensor : sensors_) {
        if (sensor->isPersistent()) ini.setValue(Utf8::fromWide(sensor->caption()), sensor->saveValue(), kSection);
    }
}

}  // namespace movira
