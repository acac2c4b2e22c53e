// The reception and battery icons of the speed pages: GPS-0 to GPS-5 by the satellites in
// use, Bat-0 to Bat-100 by the charge, and BatCharging. Loaded on the GPS thread (the only
// one that changes them), drawn by the paint thread; each icon is handed over under the
// widget manager's frame lock.
#pragma once

#include "display/Image.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace movira {

class WidgetManager;

class StatusIcons {
public:
    static constexpr int SignalIcons = 6;
    static constexpr int BatteryIcons = 5;

    // Reads every icon still missing; `pathOf` gives the file of a picture name ("GPS-3").
    // The files are read outside the frame lock; one that fails is tried again next time.
    void loadMissing(WidgetManager& manager, const std::function<std::string(const char*)>& pathOf);

    // Fewer than 3 satellites (or no count) GPS-0, then one step per two satellites up to GPS-5.
    static int signalIndex(int satellitesUsed);
    // 0-19 % Bat-0, 20-39 Bat-25, 40-59 Bat-50, 60-79 Bat-75, more Bat-100 (also 255, not reported).
    static int batteryIndex(int percent);

    // Null while the picture is missing. Paint thread, under the frame lock.
    const Image* signal(int satellitesUsed) const { return signal_[signalIndex(satellitesUsed)].get(); }
    const Image* battery(int percent) const { return battery_[batteryIndex(percent)].get(); }
    const Image* charging() const { return charging_.get(); }

private:
    std::array<std::unique_ptr<Image>, SignalIcons> signal_;
    std::array<std::unique_ptr<Image>, BatteryIcons> battery_;
    std::unique_ptr<Image> charging_;
};

}  // namespace movira
