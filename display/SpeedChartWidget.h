// The page that draws the speed over time as a line chart from the track log: the newest
// fix at the right, a speed scale that adapts to the fastest speed shown, minute marks,
// and dashed lines at the current and the highest speed. Own buttons zoom the time axis.
// Threads as for every page (Widget.h).
#pragma once

#include "display/Geometry.h"
#include "display/Widget.h"

#include <string>

namespace movira {

class SpeedChartWidget final : public Widget {
public:
    SpeedChartWidget(AppCore& core, WidgetManager& manager);

    const char* className() const override { return "SpeedChartWidget"; }
    // BtnLeft, ZoomOut, ZoomIn, ZoomAuto, an empty cell, BtnRight.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    void saveSettings(IniFile& ini) override;
    // A key that is missing or empty keeps its value; see the .cpp for refused values.
    void loadSettings(const IniFile& ini) override;

private:
    Colour borderColour_ = 0x606060;         // the page around the chart
    Colour backgroundColour_ = 0x000000;     // the chart
    Colour chartColour_ = 0x80FF00;          // the speed line
    Colour currentSpeedColour_ = 0xFF00FF;
    Colour maximumSpeedColour_ = 0x00FFFF;
    Colour smallTextColour_ = 0xFFFFFF;
    Colour bigTextColour_ = 0xFFFF00;        // kept and written back; the figures use the line colours
    Colour axesColour_ = 0xFFFF00;
    int smallTextSize_ = 13;                 // font heights, logical pixels
    int bigTextSize_ = 30;
    std::string smallFontFace_ = "Times New Roman";
    std::string bigFontFace_ = "Times New Roman";
};

}  // namespace movira
