// The page that lists every sensor as a cell: its caption in small text above its value in
// large text, in columns of at least 110 pixels. Its title is "Таблица" in both languages.
// Threads as for every page (Widget.h).
#pragma once

#include "display/Geometry.h"
#include "display/Widget.h"

#include <string>

namespace movira {

class TableWidget final : public Widget {
public:
    TableWidget(AppCore& core, WidgetManager& manager);

    const char* className() const override { return "TableWidget"; }
    // The previous/next arrows.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    void saveSettings(IniFile& ini) override;
    // A key that is missing or empty keeps its value; see the .cpp for refused values.
    void loadSettings(const IniFile& ini) override;

private:
    Colour backgroundColour_ = 0x606060;
    Colour labelColour_ = 0x000000;        // cell outlines and every second cell
    Colour labelColour2_ = 0x202020;       // the first cell and every second one after it
    Colour scrollBackgroundColour_ = 0x000000;
    Colour scrollLineColour_ = 0xCE00CE;
    Colour smallTextColour_ = 0xFFFFFF;    // captions
    Colour bigTextColour_ = 0x80FF00;      // values
    int smallTextSize_ = 12;               // font heights, logical pixels
    int bigTextSize_ = 20;
    std::string smallFontName_ = "Times New Roman";
    std::string bigFontName_ = "Times New Roman";
};

}  // namespace movira
