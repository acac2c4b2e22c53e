// The page that draws the speed over time as a line chart from the track log: the newest
// fix at the right, a speed scale that adapts to the fastest speed shown, minute marks,
// and dashed lines at the current and the highest speed. Own buttons zoom the time axis
// from 1 to 128 fixes per pixel column.
// Threads as for every page (Widget.h): paint on the paint thread under the frame lock; it
// walks the track log under the model lock and draws after letting go of it. The zoom is
// changed on the UI thread. Speeds in km/h.
#pragma once

#include "display/Font.h"
#include "display/Geometry.h"
#include "display/Widget.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace movira {

class SpeedChartWidget final : public Widget {
public:
    static constexpr int MinZoom = 1;
    static constexpr int MaxZoom = 128;
    // The vertex buffer grows in steps of this many points and is kept between frames.
    static constexpr size_t PointStep = 1000;
    // Dashed lines: pixels drawn, then pixels left out.
    static constexpr int DashOn = 6;
    static constexpr int DashOff = 4;
    static constexpr Colour DefaultBorder = 0x606060;
    static constexpr Colour DefaultBackground = 0x000000;
    static constexpr Colour DefaultChart = 0x80FF00;
    static constexpr Colour DefaultCurrentSpeed = 0xFF00FF;
    static constexpr Colour DefaultMaximumSpeed = 0x00FFFF;
    static constexpr Colour DefaultSmallText = 0xFFFFFF;
    static constexpr Colour DefaultBigText = 0xFFFF00;
    static constexpr Colour DefaultAxes = 0xFFFF00;

    // The top of the speed scale for the fastest speed shown: 20, 50, 100 or 200 km/h.
    static int scaleFor(float fastest);
    // The step between two scale ticks: a fifth of the scale, 5 for the scale of 20.
    static int tickStep(int scale) { return scale == 20 ? 5 : scale / 5; }

    SpeedChartWidget(AppCore& core, WidgetManager& manager);

    const char* className() const override { return "SpeedChartWidget"; }
    // BtnLeft, ZoomOut, ZoomIn, ZoomAuto, an empty cell, BtnRight.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    // A released zoom button changes the zoom before the base release posts its command.
    void onMouseUp(Point point) override;
    void saveSettings(IniFile& ini) override;
    // A key that is missing or empty keeps its value; font heights outside 1..1000 are
    // refused, face names cut to 255 bytes.
    void loadSettings(const IniFile& ini) override;

    // Fixes per pixel column: 1, 2, 4, ... 128. Any thread.
    int zoom() const { return zoom_; }
    // ZoomIn halves, ZoomOut doubles, within 1..128; ZoomAuto gives 1. False for any other
    // command or when the zoom is already at its end.
    bool applyZoomCommand(int command);
    // Points the vertex buffer holds (it only grows). Take the frame lock: not from inside a frame.
    size_t pointCapacity();

private:
    // A fix whose local time is on a whole minute, at the x of its column.
    struct MinuteMark {
        int x;
        int hour;
        int minute;
    };
    // What one frame shows, gathered from the track log under the model lock.
    struct Walk {
        int count = 0;               // vertices
        bool any = false;            // a fix was walked
        float fastest = 0.0f;        // the highest speed met (negative as 0): sets the scale
        bool hasCurrent = false;
        float current = 0.0f;        // the newest speed of 0 or more, and its x
        int currentX = 0;
    };

    // Paint thread: the walk over the visible fixes, newest first (model lock held inside).
    Walk walkTrack(int left, int columns, int zoom);
    // Makes room for `count` vertices; false when that much memory cannot be had.
    bool reserveVertices(size_t count);
    void drawMinuteMarks(Surface& surface, int left, int right, int top, int axisY, int bottom);
    // "hh:mm" of the mark, in the scratch text.
    std::wstring_view minuteLabel(const MinuteMark& mark);
    // Its width in the small font, measured once per label.
    int minuteLabelWidth(Surface& surface, const MinuteMark& mark);
    void dashedLine(Surface& surface, Colour colour, int x1, int y1, int x2, int y2);
    // The border colour on the page around the chart rectangle and in its rounded corners.
    void fillBorder(Surface& surface, const Rect& page, const Rect& chart);
    static constexpr int CornerSize = 3;  // the corner square a rounded rectangle may leave

    Colour borderColour_ = DefaultBorder;          // the page around the chart
    Colour backgroundColour_ = DefaultBackground;  // the chart
    Colour chartColour_ = DefaultChart;            // the speed line
    Colour currentSpeedColour_ = DefaultCurrentSpeed;
    Colour maximumSpeedColour_ = DefaultMaximumSpeed;
    Colour smallTextColour_ = DefaultSmallText;
    Colour bigTextColour_ = DefaultBigText;  // kept and written back; the figures use the line colours
    Colour axesColour_ = DefaultAxes;
    int smallTextSize_ = 13;                 // font heights, logical pixels
    int bigTextSize_ = 30;
    std::string smallFontFace_ = "Times New Roman";
    std::string bigFontFace_ = "Times New Roman";
    std::atomic<int> zoom_{MinZoom};

    // Paint thread only, kept between frames so that a frame allocates nothing.
    std::unique_ptr<Font> smallFont_;
    std::unique_ptr<Font> bigFont_;
    std::vector<int> vertexX_;        // a vertex's x, and the speed it stands for
    std::vector<float> vertexSpeed_;
    std::vector<Point> points_;       // the same vertices on the screen
    std::vector<MinuteMark> marks_;   // newest first
    // The label widths by hour x 60 + minute, -1 until measured (the font never changes).
    std::array<int16_t, 24 * 60> labelWidths_;
};

}  // namespace movira
