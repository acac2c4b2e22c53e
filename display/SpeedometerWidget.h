// The analogue speedometer page: a dial with ticks and numbers, the speed needle, markers
// for the average and maximum speed, the digital speed, odometer, clock and compass, and
// the best times written beside the dial. Four scale modes (60, 120, 250 and 400 km/h) are
// chosen with the own bar's mode buttons and kept in the settings.
// Threads as for every page (Widget.h); the mode is also read by the paint thread, so it
// is atomic.
#pragma once

#include "display/Geometry.h"
#include "display/Widget.h"

#include <atomic>
#include <string>

namespace movira {

class SpeedometerWidget final : public Widget {
public:
    static constexpr int DefaultMode = 1;

    SpeedometerWidget(AppCore& core, WidgetManager& manager);

    const char* className() const override { return "SpeedometerWidget"; }
    // BtnLeft, the four mode buttons (VeloMode, SlowMode, RaceMode, PlaneMode), BtnRight.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    void saveSettings(IniFile& ini) override;
    // A key that is missing or empty keeps its value; see the .cpp for refused values.
    void loadSettings(const IniFile& ini) override;

    // Switches the scale at once: modes 0 to 3, anything else is mode 1. The mode buttons
    // call it on release, before the base release posts their command; the routing of
    // that tap comes with the dial.
    void setMode(int mode);
    int mode() const { return mode_; }
    // The mode a button command chooses (VeloMode..PlaneMode give 0..3), or -1.
    static int modeForCommand(int command);
    // The scale runs from 0 to the mode's maximum, km/h.
    float scaleMinimum() const { return 0.0f; }
    float scaleMaximum() const;

private:
    // A face name and a cell height in logical pixels.
    struct FontSetting {
        std::string name;
        int size;
    };

    Colour backgroundColour_ = 0x000000;
    Colour speedArrowColour_ = 0x0000FF;     // needle and hub
    Colour speedTextColour_ = 0xFFFF00;      // digital speed
    Colour maxSpeedArrowColour_ = 0x0000FF;
    Colour avgSpeedArrowColour_ = 0x00FF00;
    Colour odomerTextColour_ = 0xFF00FF;
    Colour accelTextColour_ = 0x00FF80;
    Colour fastestColour_ = 0x80FF00;
    Colour northArrowColour_ = 0xFF0000;
    Colour southArrowColour_ = 0x0000FF;
    Colour clockTextColour_ = 0x80FF00;
    Colour speedometerColour_ = 0x00A4A4;    // ticks and scale numbers
    FontSetting accelFont_{"Times New Roman", 18};
    FontSetting fastestFont_{"Times New Roman", 14};
    FontSetting odomerFont_{"Times New Roman", 28};
    FontSetting speedFont_{"LCD", 40};
    FontSetting clockFont_{"LCD", 32};
    FontSetting speedometerFont_{"Times New Roman", 20};
    std::atomic<int> mode_{DefaultMode};
};

}  // namespace movira
