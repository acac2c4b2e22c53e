// All 36 sensors in their fixed order: updated after every completed fix, reset together,
// and the persistent ones kept between runs in section "LastSensorsValue".
// Lives in the model: reached only under its lock.
#pragma once

#include "sensors/Sensor.h"

#include <memory>
#include <vector>

namespace movira {

class Battery;
class IniFile;

class SensorSet {
public:
    static constexpr int SensorCount = 36;

    // Creates the sensors in index order.
    void createSensors(const UiText& uiText, const Battery& battery);
    void add(std::unique_ptr<Sensor> sensor) { sensors_.push_back(std::move(sensor)); }

    int count() const { return static_cast<int>(sensors_.size()); }
    // Null for an index outside 0..count-1.
    Sensor* at(int index) const;
    // The first sensor with exactly this caption, or null.
    Sensor* find(const wchar_t* caption) const;

    void updateAll(const GpsFix& fix);
    void resetAll();

    // Keys are the captions in UTF-8, so values saved in one language are not found in the other.
    void loadValues(const IniFile& ini);
    void saveValues(IniFile& ini) const;

private:
    std::vector<std::unique_ptr<Sensor>> sensors_;
};

}  // namespace movira
