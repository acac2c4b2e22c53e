// The large speed page: the current speed in LCD digits filling the screen, the time of
// day above it between a reception icon (top left) and a battery icon (top right).
#pragma once

#include "display/Image.h"
#include "display/StatusIcons.h"
#include "display/Widget.h"

#include <array>
#include <atomic>
#include <memory>

namespace movira {

class FullScreenSpeedWidget final : public Widget {
public:
    static constexpr Colour DefaultBackground = 0x000000;
    static constexpr Colour DefaultSpeedText = 0xFFFFFF;
    static constexpr Colour DefaultTimeText = 0x80FF00;

    FullScreenSpeedWidget(AppCore& core, WidgetManager& manager);

    const char* className() const override { return "FullScreenSpeedWidget"; }
    void createOwnButtons() override { fillArrowBar(); }
    void paint(Surface& surface, const Rect& rect) override;
    // Finds the speed and time sensors and loads the icons (both until they are there),
    // then lays the buttons out.
    void attach() override;
    void saveSettings(IniFile& ini) override;
    void loadSettings(const IniFile& ini) override;
    // Loads every icon still missing from the program's "Pics" folder.
    void loadImages();

    // The speed as shown: rounded to whole km/h, "0" without a speed or below zero.
    static std::wstring speedText(float kmh);

    Colour background() const { return background_; }
    Colour speedTextColour() const { return speedTextColour_; }
    Colour timeTextColour() const { return timeTextColour_; }
    int speedSensorIndex() const { return speedSensor_; }
    int timeSensorIndex() const { return timeSensor_; }

private:
    void findSensors();

    Colour background_ = DefaultBackground;
    Colour speedTextColour_ = DefaultSpeedText;
    Colour timeTextColour_ = DefaultTimeText;
    std::atomic<int> speedSensor_{-1};
    std::atomic<int> timeSensor_{-1};
    StatusIcons icons_;
};

}  // namespace movira
