// The page that draws the travelled track on an empty map (longitude to x, latitude to y,
// one scale), with a trip panel of time, speed, moving time, average speed and distance.
// Own buttons zoom the map, fit the whole track again and centre the latest position.
// Threads as for every page (Widget.h).
#pragma once

#include "display/Geometry.h"
#include "display/Widget.h"

#include <string>

namespace movira {

class PathWidget final : public Widget {
public:
    PathWidget(AppCore& core, WidgetManager& manager);

    const char* className() const override { return "PathWidget"; }
    // BtnLeft, ZoomOut, ZoomIn, ZoomAuto, CenterPos, BtnRight.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    void saveSettings(IniFile& ini) override;
    // A key that is missing or empty keeps its value; see the .cpp for refused values.
    void loadSettings(const IniFile& ini) override;

private:
    Colour borderColour_ = 0x606060;          // the page around the boxes
    Colour backgroundColour_ = 0x000000;      // value boxes and map box
    Colour pathColour_ = 0xFFFF00;
    Colour smallTimeTextColour_ = 0xFFFFFF;   // panel labels
    Colour midTimeTextColour_ = 0x80FF00;     // portrait panel values but the time
    Colour bigTimeTextColour_ = 0x80FF00;     // portrait time; every landscape value
    Colour endPointColour_ = 0x0000FF;
    Colour startPointColour_ = 0x0000FF;
    int smallTextSize_ = 13;                  // font heights, logical pixels
    int midTextSize_ = 20;
    int bigTextSize_ = 30;
    std::string smallFontFace_ = "Times New Roman";
    std::string midFontFace_ = "LCD";
    std::string bigFontFace_ = "LCD";
};

}  // namespace movira
