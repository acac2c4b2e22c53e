// The page of the satellites in view: a sky plot with north up and one dot per satellite,
// a strip of signal bars, and latitude, longitude, speed and altitude in the corners.
// Threads as for every page (Widget.h).
#pragma once

#include "display/Geometry.h"
#include "display/Widget.h"

#include <string>

namespace movira {

class SattelitesWidget final : public Widget {
public:
    SattelitesWidget(AppCore& core, WidgetManager& manager);

    const char* className() const override { return "SattelitesWidget"; }
    // The previous/next arrows.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    void saveSettings(IniFile& ini) override;
    // A key that is missing or empty keeps its value; see the .cpp for refused values.
    void loadSettings(const IniFile& ini) override;

private:
    Colour backgroundColour_ = 0xC0C0C0;
    Colour nameColour_ = 0x000000;        // satellite numbers, N/S/E/W, corner read-outs
    Colour lowSignalColour_ = 0x0000FF;   // SNR 20 or less
    Colour midSignalColour_ = 0x00FFFF;   // SNR 21 to 49
    Colour highSignalColour_ = 0x00C000;  // SNR 50 or more
    Colour borderColour_ = 0x202020;      // outline of dots and bars
    Colour shadowColour_ = 0x404040;      // shadows of the bars
    Colour miscLineColour_ = 0x606060;    // rings and cross of the sky plot
    int fontSize_ = 12;                   // font height, logical pixels
    std::string fontFace_ = "Times New Roman";
};

}  // namespace movira
