#include "display/StatusIcons.h"

#include "display/WidgetManager.h"

namespace movira {
namespace {

constexpr const char* kBatteryPictures[] = {"Bat-0", "Bat-25", "Bat-50", "Bat-75", "Bat-100"};

std::unique_ptr<Image> loaded(bool missing, const std::string& path) {
    if (!missing) return nullptr;
    auto image = std::make_unique<Image>();
    if (!image->load(path)) return nullptr;
    return image;
}

}  // namespace

int StatusIcons::signalIndex(int s) {
    if (s < 3) return 0;
    if (s < 5) return 1;
    if (s < 7) return 2;
    if (s < 9) return 3;
    if (s < 11) return 4;
    return 5;
}

int StatusIcons::batteryIndex(int b) {
    if (b <= 19) return 0;
    if (b <= 39) return 1;
    if (b <= 59) return 2;
    if (b <= 79) return 3;
    return 4;
}

void StatusIcons::loadMissing(WidgetManager& manager, const std::function<std::string(const char*)>& pathOf) {
    // Only this thread replaces the icons, so it may look at them without the lock.
    std::array<std::unique_ptr<Image>, SignalIcons> signal;
    std::array<std::unique_ptr<Image>, BatteryIcons> battery;
    for (int i = 0; i < SignalIcons; ++i) {
        signal[i] = loaded(!signal_[i], pathOf(("GPS-" + std::to_string(i)).c_str()));
    }
    for (int i = 0; i < BatteryIcons; ++i) battery[i] = loaded(!battery_[i], pathOf(kBatteryPictures[i]));
    std::unique_ptr<Image> charging = loaded(!charging_, pathOf("BatCharging"));

    auto frame = manager.lockFrame();
    for (int i = 0; i < SignalIcons; ++i) {
        if (signal[i]) signal_[i] = std::move(signal[i]);
    }
    for (int i = 0; i < BatteryIcons; ++i) {
        if (battery[i]) battery_[i] = std::move(battery[i]);
    }
    if (charging) charging_ = std::move(charging);
}

}  // namespace movira
