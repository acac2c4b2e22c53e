// The page that lists every sensor as a cell: its caption in small text above its value in
// large text, in columns of at least 110 pixels, top to bottom then left to right. A
// vertical drag scrolls the cells; a 5-pixel bar at the right edge shows where they are.
// Its title is "Таблица" in both languages.
// Threads as for every page (Widget.h). The scroll state is shared by the UI thread (drags)
// and the paint thread (limits) under the frame lock; sensor texts are copied from the model
// in one short visit per frame.
#pragma once

#include "display/Font.h"
#include "display/Geometry.h"
#include "display/Widget.h"
#include "sensors/Sensor.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace movira {

class TableWidget final : public Widget {
public:
    static constexpr int MinColumnWidth = 110;
    static constexpr int ScrollBarWidth = 5;
    static constexpr Colour DefaultBackground = 0x606060;
    static constexpr Colour DefaultLabel = 0x000000;
    static constexpr Colour DefaultLabel2 = 0x202020;
    static constexpr Colour DefaultScrollBackground = 0x000000;
    static constexpr Colour DefaultScrollLine = 0xCE00CE;
    static constexpr Colour DefaultSmallText = 0xFFFFFF;
    static constexpr Colour DefaultBigText = 0x80FF00;

    // How the cells share a page `width` pixels wide: `count` columns of `width` pixels with
    // `rows` cells each (the last column may hold fewer). No column when the page is
    // narrower than one column and the scroll bar.
    struct Columns {
        int count = 0;
        int width = 0;
        int rows = 0;
    };
    static Columns columns(int pageWidth, int cells);
    // The thumb of the scroll bar along a track `trackHeight` high that shows `pageHeight`
    // pixels of `contentHeight` from `offset` down: top and bottom relative to the track's
    // top, kept inside the track. Empty (0, 0) without content.
    struct Thumb {
        int top = 0;
        int bottom = 0;
    };
    static Thumb thumb(int pageHeight, int contentHeight, int offset);

    TableWidget(AppCore& core, WidgetManager& manager);

    const char* className() const override { return "TableWidget"; }
    // The previous/next arrows.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    // Records the scroll offset for a drag, then the usual press.
    void onMouseDown(Point point) override;
    // A drag across the page's scroll axis scrolls; along the other axis it changes pages.
    void onMouseMove(Point point) override;
    void onMouseUp(Point point) override;
    void saveSettings(IniFile& ini) override;
    // A key that is missing or empty keeps its value; font heights outside 1..1000 are
    // refused, face names cut to 255 bytes.
    void loadSettings(const IniFile& ini) override;

    // How far the cells are moved up, and the height of the tallest column at the last
    // frame (pixels). Take the frame lock: not from inside a frame.
    int scrollOffset();
    int contentHeight();

private:
    // One sensor as the frame shows it, and what was measured for it: kept between frames so
    // that a text that did not change is not measured again.
    struct Cell {
        wchar_t caption[Sensor::TextSize] = {};
        wchar_t value[Sensor::TextSize] = {};
        bool measured = false;    // false when a text changed since the sizes were taken
        int columnWidth = 0;      // the width the value was cut for
        Size captionSize;
        int valueLength = 0;      // characters of the value that fit the column
        Size valueSize;
    };

    // Paint thread: the sensors' captions and texts, copied under the model lock.
    void readCells();
    void measure(Surface& surface, Cell& cell, int columnWidth);
    void drawScrollBar(Surface& surface, const Rect& r);

    Colour backgroundColour_ = DefaultBackground;
    Colour labelColour_ = DefaultLabel;    // cell outlines and every second cell
    Colour labelColour2_ = DefaultLabel2;  // the first cell and every second one after it
    Colour scrollBackgroundColour_ = DefaultScrollBackground;
    Colour scrollLineColour_ = DefaultScrollLine;
    Colour smallTextColour_ = DefaultSmallText;  // captions
    Colour bigTextColour_ = DefaultBigText;      // values
    int smallTextSize_ = 12;                     // font heights, logical pixels
    int bigTextSize_ = 20;
    std::string smallFontName_ = "Times New Roman";
    std::string bigFontName_ = "Times New Roman";

    // Paint thread only: made at the first frame and kept.
    std::unique_ptr<Font> smallFont_;
    std::unique_ptr<Font> bigFont_;
    int emptyValueHeight_ = 0;  // the height of "O" in the big font
    std::vector<Cell> cells_;

    // Frame lock: written by drags (UI thread) and limited by frames (paint thread).
    int scrollOffset_ = 0;
    int contentHeight_ = 0;
    // UI thread: the drag under way.
    bool dragging_ = false;
    Point dragStart_;
    int offsetAtDown_ = 0;
    // The surface's rotate flag at the last frame: which axis scrolls.
    std::atomic<bool> rotated_{false};
};

}  // namespace movira
