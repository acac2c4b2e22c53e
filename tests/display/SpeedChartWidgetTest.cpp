// The speed chart on pixels: axes, the adaptive scale with its ticks and labels, the zoom
// buttons and label, the fixes a zoom shows, minute marks that never overlap, the dashed
// current and maximum lines with their figures, the vertex buffer kept between frames, and
// frames painted while the reader appends to the track.
#include "core/UserCommand.h"
#include "display/SpeedChartWidget.h"
#include "display/Surface.h"
#include "tests/display/DisplayTestBed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace movira::test {
namespace {

constexpr int kPage = 4;
using Page = SpeedChartWidget;

const QRgb kBorder = rgbOf(Page::DefaultBorder);
const QRgb kChartBackground = rgbOf(Page::DefaultBackground);
const QRgb kLine = rgbOf(Page::DefaultChart);
const QRgb kCurrent = rgbOf(Page::DefaultCurrentSpeed);
const QRgb kMaximum = rgbOf(Page::DefaultMaximumSpeed);
const QRgb kText = rgbOf(Page::DefaultSmallText);
const QRgb kAxes = rgbOf(Page::DefaultAxes);

// Portrait 480 x 800: chart {5, 15, 475, 795}; axes from (15, 25) down to 785 and right to
// 470; 440 columns, the newest fix of a long track at x 454.
constexpr int kAxisLeft = 15;
constexpr int kAxisTop = 25;
constexpr int kAxisY = 785;
constexpr int kColumns = 440;

// The row of a speed on a scale, as the page maps it.
int rowOf(float kmh, int scale) {
    return static_cast<int>(static_cast<float>(kAxisY) +
                            kmh * (static_cast<float>(kAxisTop - kAxisY) / static_cast<float>(scale)));
}

class ChartPage {
public:
    explicit ChartPage(int width = 480, int height = 800) : bed(width, height) { bed.pages->setCurrentIndex(kPage); }

    // Fixes `step` seconds apart from `start` (seconds of the day) on, at these speeds (km/h).
    void drive(const std::vector<double>& speeds, int start = 12 * 3600, int step = 1) {
        for (size_t i = 0; i < speeds.size(); ++i) {
            const int t = (start + static_cast<int>(i) * step) % 86400;
            char time[16];
            // Six digits: a time with decimals would be replaced by the device clock.
            std::snprintf(time, sizeof time, "%02d%02d%02d", t / 3600, t / 60 % 60, t % 60);
            bed.fix(speeds[i], 8, time);
        }
    }
    QImage frame() {
        for (ButtonEdge edge : {ButtonEdge::Top, ButtonEdge::Bottom, ButtonEdge::Left, ButtonEdge::Right}) {
            bed.pages->countdowns().hide(edge);
        }
        return bed.frame();
    }
    // A tap on the own bar along the bottom: cells 80 pixels apart.
    void tapCell(int cell) {
        widget().showButtons();
        const Point p{cell * 80 + 40, 780};
        bed.pages->onMouseDown(p);
        bed.pages->onMouseUp(p);
    }
    // The speed the track log holds for a fix (the receiver's knots turned back into km/h).
    float storedSpeed(int index) {
        auto model = bed.core->model();
        return model->parser.trackPoint(index)->speed;
    }
    Page& widget() { return static_cast<Page&>(bed.pages->page(kPage)); }

    DisplayTestBed bed;
};

// The box of a text drawn alone in that colour at x, y, in a page of the same size.
Rect textBox(const std::wstring& text, int size, int x, int y, Colour colour, QSize page = {480, 800}) {
    Surface scratch;
    scratch.resize({page.width(), page.height()}, 96, 96);
    scratch.fillRect(scratch.bounds(), 0x000000);
    const auto font = scratch.createFont("Times New Roman", size, 0);
    scratch.drawText(*font, text, x, y, colour);
    return inkBox(scratch.target(), rgbOf(colour), {0, 0, page.width(), page.height()});
}
Size textSize(const std::wstring& text, int size) {
    Surface scratch;
    const auto font = scratch.createFont("Times New Roman", size, 0);
    return scratch.measureText(*font, text);
}

// The dashed lines of the chart start with a dash at their first point.
bool dashedAt(const QImage& frame, int x, int y, QRgb colour) {
    return pixel(frame, x, y) == colour && pixel(frame, x + Page::DashOn, y) != colour &&
           pixel(frame, x + Page::DashOn + Page::DashOff, y) == colour;
}

TEST(SpeedChartWidget, AnEmptyTrackShowsAxesTicksAndZoomButNoLine) {
    ChartPage page;
    page.bed.pages->setCurrentIndex(3);  // a page of another colour drawn before
    page.frame();
    page.bed.pages->setCurrentIndex(kPage);
    const QImage frame = page.frame();
    EXPECT_EQ(pixel(frame, 2, 400), kBorder);
    EXPECT_EQ(pixel(frame, 100, 10), kBorder);
    EXPECT_EQ(pixel(frame, 477, 797), kBorder);
    EXPECT_EQ(pixel(frame, 100, 400), kChartBackground);
    // The chart {5, 15, 475, 795} has rounded corners: its corner pixels are the border's.
    for (const Point corner : {Point{5, 15}, Point{474, 15}, Point{5, 794}, Point{474, 794}}) {
        EXPECT_EQ(pixel(frame, corner.x, corner.y), kBorder) << corner.x << "," << corner.y;
    }
    EXPECT_EQ(pixel(frame, 6, 15), kChartBackground);
    EXPECT_EQ(pixel(frame, 474, 793), kChartBackground);
    // Axes: up to (15, 25) and right to 469 (the last point is left out).
    EXPECT_EQ(pixel(frame, kAxisLeft, kAxisTop), kAxes);
    EXPECT_EQ(pixel(frame, kAxisLeft, 600), kAxes);
    EXPECT_EQ(pixel(frame, 469, kAxisY), kAxes);
    EXPECT_EQ(pixel(frame, 470, kAxisY), kChartBackground);
    // Ticks 5, 10, 15 and 20 every 190 pixels, dashed from x 10; labels above them at x 10.
    const int small = textSize(L"0", 13).height;
    for (int t = 0; t <= 20; t += 5) {
        const int y = kAxisY - 38 * t;
        EXPECT_EQ(rowOf(static_cast<float>(t), 20), y);
        if (t > 0) {
            EXPECT_TRUE(dashedAt(frame, 10, y, kAxes)) << t;
        }
        const std::wstring label = t == 20 ? L"20 км/ч" : std::to_wstring(t);
        EXPECT_EQ(inkBox(frame, kText, {0, y - small - 2, 200, y}), textBox(label, 13, 10, y - small, 0xFFFFFF)) << t;
    }
    const Size zoom = textSize(L"Zoom:1x", 13);
    EXPECT_EQ(inkBox(frame, kText, {300, 0, 480, kAxisTop}),
              textBox(L"Zoom:1x", 13, 465 - zoom.width, kAxisTop - zoom.height, 0xFFFFFF));
    for (QRgb colour : {kLine, kCurrent, kMaximum}) EXPECT_EQ(inkBox(frame, colour, {0, 0, 480, 800}), Rect{});
}

TEST(SpeedChartWidget, TheScaleAdaptsToTheFastestSpeedShown) {
    const struct {
        std::vector<double> speeds;
        int scale;
        int step;
    } cases[] = {
        {{12, 18}, 20, 5}, {{10, 45, 30}, 50, 10}, {{75, 20}, 100, 20}, {{30, 101, 10}, 200, 40},
    };
    const int small = textSize(L"0", 13).height;
    for (const auto& c : cases) {
        ChartPage page;
        page.drive(c.speeds);
        const QImage frame = page.frame();
        const int first = rowOf(static_cast<float>(c.step), c.scale);
        EXPECT_TRUE(dashedAt(frame, 10, first, kAxes)) << c.scale;
        EXPECT_EQ(inkBox(frame, kText, {0, first - small - 2, 200, first}),
                  textBox(std::to_wstring(c.step), 13, 10, first - small, 0xFFFFFF))
            << c.scale;
        const std::wstring top = std::to_wstring(c.scale) + L" км/ч";
        EXPECT_EQ(inkBox(frame, kText, {0, kAxisTop - small - 2, 200, kAxisTop}),
                  textBox(top, 13, 10, kAxisTop - small, 0xFFFFFF))
            << c.scale;
    }
    EXPECT_EQ(Page::scaleFor(-9999.0f), 20);
    EXPECT_EQ(Page::scaleFor(20.0f), 20);
    EXPECT_EQ(Page::scaleFor(20.01f), 50);
    EXPECT_EQ(Page::scaleFor(100.0f), 100);
    EXPECT_EQ(Page::scaleFor(1.0e9f), 200);
}

TEST(SpeedChartWidget, ZoomButtonsDoubleAndHalveBetweenOneAndOneHundredTwentyEight) {
    ChartPage page;
    page.drive({30});
    page.frame();
    enum { ZoomOutCell = 1, ZoomInCell = 2, AutoCell = 3, EmptyCell = 4 };
    const struct {
        int cell;
        int zoom;
    } steps[] = {
        {ZoomInCell, 1}, {ZoomOutCell, 2}, {ZoomOutCell, 4},  {ZoomOutCell, 8},  {ZoomOutCell, 16},
        {ZoomOutCell, 32}, {ZoomOutCell, 64}, {ZoomOutCell, 128}, {ZoomOutCell, 128}, {ZoomInCell, 64},
        {EmptyCell, 64}, {AutoCell, 1}, {AutoCell, 1},
    };
    for (const auto& s : steps) {
        page.tapCell(s.cell);
        EXPECT_EQ(page.widget().zoom(), s.zoom) << s.cell;
        const std::wstring label = L"Zoom:" + std::to_wstring(s.zoom) + L"x";
        const Size size = textSize(label, 13);
        const QImage frame = page.frame();
        EXPECT_EQ(inkBox(frame, kText, {200, 0, 480, kAxisTop}),
                  textBox(label, 13, 465 - size.width, kAxisTop - size.height, 0xFFFFFF))
            << s.zoom;
    }
}

TEST(SpeedChartWidget, AZoomButtonWithoutItsPictureDoesNothing) {
    ChartPage page;
    page.bed.removePicture("BtnZoomOut");
    page.drive({30});
    page.tapCell(1);
    EXPECT_EQ(page.widget().zoom(), 1);
}

TEST(SpeedChartWidget, ZoomOneShowsOneFixPerColumnAndZoomTwoTwice) {
    // 60 old fixes at 150 km/h, then 440 at 30: at zoom 1 only the 440 are shown (scale 50);
    // at zoom 2 all 500 (scale 200), the newest at column 249.
    std::vector<double> speeds(60, 150.0);
    speeds.resize(500, 30.0);
    ChartPage page;
    page.drive(speeds);
    QImage frame = page.frame();
    const int small = textSize(L"0", 13).height;
    EXPECT_EQ(inkBox(frame, kText, {0, kAxisTop - small - 2, 200, kAxisTop}),
              textBox(L"50 км/ч", 13, 10, kAxisTop - small, 0xFFFFFF));
    Rect line = inkBox(frame, kLine, {0, 0, 480, 800});
    EXPECT_NEAR(line.left, kAxisLeft, 1);
    EXPECT_NEAR(line.right, kAxisLeft + kColumns, 2);

    page.tapCell(1);
    ASSERT_EQ(page.widget().zoom(), 2);
    frame = page.frame();
    EXPECT_EQ(inkBox(frame, kText, {0, kAxisTop - small - 2, 200, kAxisTop}),
              textBox(L"200 км/ч", 13, 10, kAxisTop - small, 0xFFFFFF));
    line = inkBox(frame, kLine, {0, 0, 480, 800});
    EXPECT_NEAR(line.left, kAxisLeft, 1);
    EXPECT_NEAR(line.right, kAxisLeft + 249 + 1, 2);
    EXPECT_NEAR(line.top, rowOf(page.storedSpeed(0), 200), 2);
}

TEST(SpeedChartWidget, AboveZoomTwoEachColumnIsOneStrokeFromItsLowestToItsHighestSpeed) {
    // Zoom 4, 400 fixes: columns 15 to 114, each with speeds 10 and 40 in turn.
    std::vector<double> speeds;
    for (int i = 0; i < 400; ++i) speeds.push_back(i % 2 ? 40.0 : 10.0);
    ChartPage page;
    page.drive(speeds);
    page.tapCell(1);
    page.tapCell(1);
    ASSERT_EQ(page.widget().zoom(), 4);
    const QImage frame = page.frame();
    const int low = rowOf(page.storedSpeed(0), 50);
    const int high = rowOf(page.storedSpeed(1), 50);
    const Rect line = inkBox(frame, kLine, {0, 0, 480, 800});
    EXPECT_NEAR(line.left, kAxisLeft, 1);
    EXPECT_NEAR(line.right, kAxisLeft + 100, 2);
    EXPECT_NEAR(line.top, high, 1);
    EXPECT_NEAR(line.bottom, low + 1, 2);
    // Every column is covered from the lowest speed to the highest.
    for (int x = kAxisLeft + 2; x < kAxisLeft + 98; x += 7) {
        for (int y = high + 2; y < low - 1; y += 3) {
            ASSERT_EQ(pixel(frame, x, y), kLine) << x << "," << y;
        }
    }
    EXPECT_EQ(page.widget().pointCapacity(), Page::PointStep);
}

TEST(SpeedChartWidget, CurrentAndMaximumSpeedsAreDashedLinesWithTheirFigures) {
    // 437 fixes at 10 knots, then 30 (the maximum), 25 and 15 knots (the newest, at x 454).
    std::vector<double> speeds(437, 18.52);
    for (double kmh : {55.56, 46.3, 27.78}) speeds.push_back(kmh);
    ChartPage page;
    page.drive(speeds);
    const QImage frame = page.frame();
    const float current = page.storedSpeed(439);
    const float maximum = page.storedSpeed(437);
    const int yc = rowOf(current, 100);
    const int ym = rowOf(maximum, 100);

    EXPECT_TRUE(dashedAt(frame, kAxisLeft, yc, kCurrent));
    EXPECT_EQ(pixel(frame, 15 + 10 * 40, yc), kCurrent);
    EXPECT_TRUE(dashedAt(frame, 25, ym, kMaximum));
    EXPECT_EQ(pixel(frame, 460, ym), kMaximum);  // the maximum line runs to 465
    EXPECT_NE(pixel(frame, 465, ym), kMaximum);

    const Size big28 = textSize(L"28", 30);
    EXPECT_EQ(inkBox(frame, kCurrent, {0, 0, 480, yc}),
              textBox(L"28", 30, (454 + kAxisLeft - big28.width) / 2, yc - big28.height, Page::DefaultCurrentSpeed));
    const Size big56 = textSize(L"56", 30);
    EXPECT_EQ(inkBox(frame, kMaximum, {0, 0, 480, ym}),
              textBox(L"56", 30, (465 + kAxisLeft - big56.width) / 2, ym - big56.height, Page::DefaultMaximumSpeed));
}

// The x of every minute line: axes-coloured pixels of a row just below the top of the chart.
std::vector<int> minuteLines(const QImage& frame) {
    std::vector<int> xs;
    for (int x = kAxisLeft + 1; x < 470; ++x) {
        if (pixel(frame, x, kAxisTop + 2) == kAxes) xs.push_back(x);
    }
    return xs;
}

TEST(SpeedChartWidget, MinuteMarksGetALabelAndAGridLine) {
    // From 12:00:30, one fix a second: whole minutes at fixes 30, 90, ... 390.
    ChartPage page;
    page.drive(std::vector<double>(440, 30.0), 12 * 3600 + 30);
    const QImage frame = page.frame();
    const std::vector<int> expected = {45, 105, 165, 225, 285, 345, 405};
    EXPECT_EQ(minuteLines(frame), expected);
    for (int x : expected) {
        const Rect label = inkBox(frame, kText, {x - 40, kAxisY, x + 40, 800});
        ASSERT_NE(label, Rect{}) << x;
        EXPECT_NEAR((label.left + label.right) / 2, x, 3) << x;
        EXPECT_TRUE(pixel(frame, x, 789) == kAxes || pixel(frame, x, 789) == kText) << "the line reaches B - 5";
    }
}

TEST(SpeedChartWidget, MinuteLabelsThatWouldOverlapAreLeftOutWithTheirLines) {
    // One fix a minute: every column has a minute mark.
    ChartPage page;
    page.drive(std::vector<double>(kColumns, 30.0), 0, 60);
    const QImage frame = page.frame();
    const std::vector<int> lines = minuteLines(frame);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.back(), kAxisLeft + kColumns - 1) << "the newest is always drawn";
    int narrowest = 1000;
    int widest = 0;
    for (int minute = 0; minute < 24 * 60; minute += 7) {
        wchar_t label[8];
        std::swprintf(label, 8, L"%02i:%02i", minute / 60, minute % 60);
        narrowest = std::min(narrowest, textSize(label, 13).width);
        widest = std::max(widest, textSize(label, 13).width);
    }
    // A label is drawn only more than 5 pixels left of the one to its right, and then it is.
    for (size_t i = 2; i < lines.size(); ++i) {  // the oldest may be pushed off the left edge
        const int gap = lines[i] - lines[i - 1];
        EXPECT_GE(gap, narrowest + 6) << i;
        EXPECT_LE(gap, widest + 7) << i;
    }
    // Labels do not touch.
    for (size_t i = 1; i < lines.size(); ++i) {
        const int between = (lines[i - 1] + lines[i]) / 2;
        EXPECT_NE(pixel(frame, between, kAxisY + 6), kText) << i;
    }
}

TEST(SpeedChartWidget, TheVertexBufferGrowsInStepsAndIsKept) {
    ChartPage page(800, 480);  // 760 columns
    page.drive(std::vector<double>(1600, 40.0));
    page.frame();
    EXPECT_EQ(page.widget().pointCapacity(), Page::PointStep);  // 761 vertices
    page.widget().applyZoomCommand(ZoomOut);
    ASSERT_EQ(page.widget().zoom(), 2);
    page.frame();
    EXPECT_EQ(page.widget().pointCapacity(), 2 * Page::PointStep);  // 1521 vertices
    page.widget().applyZoomCommand(ZoomOut);
    page.widget().applyZoomCommand(ZoomOut);
    page.frame();
    page.widget().applyZoomCommand(ZoomAuto);
    page.frame();
    EXPECT_EQ(page.widget().pointCapacity(), 2 * Page::PointStep);
}

TEST(SpeedChartWidget, PagesReadTheTrackWhileTheReaderAppends) {
    ChartPage page;
    page.drive({20});
    std::atomic<bool> done{false};
    std::thread reader([&] {
        page.drive(std::vector<double>(1500, 60.0), 13 * 3600);
        done = true;
    });
    int frames = 0;
    while (!done || frames < 20) {
        page.bed.pages->setCurrentIndex(frames % 2 ? kPage : 0);
        page.bed.pages->paintFrame();
        ++frames;
    }
    reader.join();
    page.bed.pages->setCurrentIndex(kPage);
    const QImage frame = page.frame();
    EXPECT_NE(inkBox(frame, kLine, {0, 0, 480, 800}), Rect{});
    EXPECT_EQ(page.widget().zoom(), 1);
}

}  // namespace
}  // namespace movira::test
