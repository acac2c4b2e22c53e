#include "display/SpeedChartWidget.h"

#include "core/AppCore.h"
#include "core/UiText.h"
#include "core/UserCommand.h"
#include "display/ColourSetting.h"
#include "display/PageSettings.h"
#include "display/Surface.h"
#include "settings/IniFile.h"

#include "display/WidgetManager.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cwchar>
#include <new>
#include <string>
#include <string_view>

namespace movira {

namespace {

constexpr char Comment[] = "Настройки виджета графика скорости";
constexpr int Inset = 5;          // the chart inside the page: 5 pixels, 15 at the top
constexpr int TopInset = 15;
constexpr int AxisInset = 10;     // the axes inside the chart
constexpr int LabelGap = 5;       // the least room between two minute labels
// Speeds beyond any vehicle are drawn as this (far above the chart, clipped), so that the
// mapping to a pixel row never leaves the int range.
constexpr float FastestDrawn = 1.0e6f;

// A speed as the chart draws it: below 0, unknown or not a number counts as 0.
float drawnSpeed(float kmh) {
    if (!(kmh >= 0.0f)) return 0.0f;
    return std::min(kmh, FastestDrawn);
}

}  // namespace

SpeedChartWidget::SpeedChartWidget(AppCore& core, WidgetManager& manager)
    : Widget(core, manager, core.uiText().speedChart()), vertexSpeed_(PointStep), points_(PointStep) {
    marks_.reserve(64);
    labelWidths_.fill(-1);
}

void SpeedChartWidget::createOwnButtons() {
    fillOwnBar({{PrevWidget, "BtnLeft"},
                {ZoomOut, "BtnZoomOut"},
                {ZoomIn, "BtnZoomIn"},
                {ZoomAuto, "BtnZoomAuto"},
                {0, nullptr},
                {NextWidget, "BtnRight"}});
}

int SpeedChartWidget::scaleFor(float fastest) {
    if (fastest > 100.0f) return 200;
    if (fastest > 50.0f) return 100;
    if (fastest > 20.0f) return 50;
    return 20;
}

bool SpeedChartWidget::applyZoomCommand(int command) {
    const int zoom = zoom_;
    int changed = zoom;
    if (command == ZoomIn && zoom > MinZoom) changed = zoom / 2;
    if (command == ZoomOut && zoom < MaxZoom) changed = zoom * 2;
    if (command == ZoomAuto) changed = MinZoom;
    if (changed == zoom) return false;
    zoom_ = changed;
    return true;
}

size_t SpeedChartWidget::pointCapacity() {
    auto frame = manager().lockFrame();
    return points_.size();
}

void SpeedChartWidget::onMouseUp(Point point) {
    if (const int cell = ownBarCellAt(point); cell >= 0) {
        int command = 0;
        {
            auto frame = manager().lockFrame();
            // A cell whose picture is missing is an empty cell: it does nothing.
            if (cell < ownBar().count() && ownBar().at(cell).icon()) command = ownBar().at(cell).command();
        }
        if (applyZoomCommand(command)) core().requestRepaint();
    }
    Widget::onMouseUp(point);
}

bool SpeedChartWidget::reserveVertices(size_t count) {
    if (points_.size() >= count) return true;
    const size_t size = (count + PointStep - 1) / PointStep * PointStep;
    try {
        vertexSpeed_.resize(size);
        points_.resize(size);
    } catch (const std::bad_alloc&) {
        vertexSpeed_.resize(points_.size());
        return false;
    }
    return true;
}

SpeedChartWidget::Walk SpeedChartWidget::walkTrack(int left, int columns, int zoom) {
    Walk walk;
    marks_.clear();
    if (columns <= 0) return walk;
    auto model = core().model();
    const TrackLog& log = model->parser.trackLog();
    const int64_t n = static_cast<int64_t>(log.size());
    int64_t first = std::max<int64_t>(0, n - static_cast<int64_t>(columns) * zoom);
    // One vertex per fix at zoom 1 and 2, at most two per column above.
    const auto needed = [zoom](int64_t fixes) {
        return static_cast<size_t>(zoom <= 2 ? fixes : 2 * ((fixes + zoom - 1) / zoom)) + 1;
    };
    if (!reserveVertices(needed(n - first))) {
        // Without room for all, the newest fixes that fit are shown.
        const int64_t room = static_cast<int64_t>(points_.size()) - 1;
        first = n - (zoom <= 2 ? room : room / 2 * zoom);
    }

    // The oldest fix walked: the oldest group may reach below `first` (never below 0).
    int64_t end = first;
    if (zoom > 2 && n > first) {
        const int64_t oldestNewest = n - 1 - (n - 1 - first) / zoom * zoom;
        end = std::max<int64_t>(0, oldestNewest - zoom + 1);
    }
    const auto xOf = [&](int64_t index) { return left + static_cast<int>((index - first) / zoom); };
    // The x of the column a fix is drawn in: its own, or that of its group's newest fix.
    const auto columnX = [&](int64_t index) {
        return zoom <= 2 ? xOf(index) : xOf(n - 1 - (n - 1 - index) / zoom * zoom);
    };
    walk.any = n > end;
    for (int64_t i = n - 1; i >= end; --i) {
        const float speed = log[static_cast<size_t>(i)].speed;
        if (speed >= 0.0f) {
            walk.hasCurrent = true;
            walk.current = speed;
            walk.currentX = columnX(i);
            break;
        }
    }
    const auto mark = [&](int x, const SystemTime& time) {
        // Several fixes in the same second at the same x give one label at most.
        if (!marks_.empty() && marks_.back().x == x && marks_.back().hour == time.hour &&
            marks_.back().minute == time.minute)
            return;
        marks_.push_back({x, time.hour, time.minute});
    };

    int count = 0;
    float fastest = 0.0f;
    if (zoom <= 2) {
        for (int64_t i = n - 1; i >= end; --i) {
            const TrackPoint& p = log[static_cast<size_t>(i)];
            const int x = xOf(i);
            const float speed = drawnSpeed(p.speed);
            fastest = std::max(fastest, speed);
            if (p.localTime.second == 0) mark(x, p.localTime);
            points_[static_cast<size_t>(count)].x = x;
            vertexSpeed_[static_cast<size_t>(count++)] = speed;
        }
    } else {
        // Groups of `zoom` fixes from the newest on share the x of their newest fix; each
        // gives a vertical stroke from its lowest to its highest speed.
        for (int64_t newest = n - 1; newest >= first; newest -= zoom) {
            const int x = xOf(newest);
            const int64_t oldest = std::max<int64_t>(0, newest - zoom + 1);
            float lowest = FastestDrawn;
            float highest = 0.0f;
            for (int64_t i = newest; i >= oldest; --i) {
                const TrackPoint& p = log[static_cast<size_t>(i)];
                const float speed = drawnSpeed(p.speed);
                lowest = std::min(lowest, speed);
                highest = std::max(highest, speed);
                if (p.localTime.second == 0) mark(x, p.localTime);
            }
            fastest = std::max(fastest, highest);
            points_[static_cast<size_t>(count)].x = x;
            vertexSpeed_[static_cast<size_t>(count++)] = lowest;
            if (highest != lowest) {
                points_[static_cast<size_t>(count)].x = x;
                vertexSpeed_[static_cast<size_t>(count++)] = highest;
            }
        }
    }
    walk.fastest = fastest;
    walk.count = count;
    return walk;
}

void SpeedChartWidget::dashedLine(Surface& surface, Colour colour, int x1, int y1, int x2, int y2) {
    // The lines of this page run along an axis; dashes start at the first point and the
    // last point is left out, as for a solid line.
    if (y1 == y2) {
        const int step = x2 >= x1 ? 1 : -1;
        for (int64_t x = x1; (x2 - x) * step > 0; x += step * (DashOn + DashOff)) {
            const int64_t end = step > 0 ? std::min<int64_t>(x + DashOn, x2) : std::max<int64_t>(x - DashOn, x2);
            const int64_t from = std::min(x, end + (step > 0 ? 0 : 1));
            const int64_t to = std::max(x + 1, end);
            surface.fillRect({static_cast<int>(from), y1, static_cast<int>(to), y1 + 1}, colour);
        }
    } else if (x1 == x2) {
        const int step = y2 >= y1 ? 1 : -1;
        for (int64_t y = y1; (y2 - y) * step > 0; y += step * (DashOn + DashOff)) {
            const int64_t end = step > 0 ? std::min<int64_t>(y + DashOn, y2) : std::max<int64_t>(y - DashOn, y2);
            const int64_t from = std::min(y, end + (step > 0 ? 0 : 1));
            const int64_t to = std::max(y + 1, end);
            surface.fillRect({x1, static_cast<int>(from), x1 + 1, static_cast<int>(to)}, colour);
        }
    } else {
        surface.line(colour, x1, y1, x2, y2);
    }
}

std::wstring_view SpeedChartWidget::minuteLabel(const MinuteMark& mark) {
    const int length = std::swprintf(text_, TextSize, L"%02i:%02i", mark.hour, mark.minute);
    return {text_, static_cast<size_t>(std::max(length, 0))};
}

int SpeedChartWidget::minuteLabelWidth(Surface& surface, const MinuteMark& mark) {
    if (mark.hour < 0 || mark.hour >= 24 || mark.minute < 0 || mark.minute >= 60)
        return surface.measureText(*smallFont_, minuteLabel(mark)).width;
    int16_t& width = labelWidths_[static_cast<size_t>(mark.hour * 60 + mark.minute)];
    if (width < 0) {
        width = static_cast<int16_t>(std::clamp(surface.measureText(*smallFont_, minuteLabel(mark)).width, 0,
                                                static_cast<int>(INT16_MAX)));
    }
    return width;
}

void SpeedChartWidget::drawMinuteMarks(Surface& surface, int left, int right, int top, int axisY, int bottom) {
    // Newest first, so from right to left: a label that would come within 5 pixels of the
    // one drawn to its right is left out, with its grid line. A day at the largest zoom has
    // well over a thousand marks: the text is only made for the few that are drawn.
    bool drawn = false;
    int previousLeft = 0;
    for (const MinuteMark& mark : marks_) {
        const int width = minuteLabelWidth(surface, mark);
        int labelLeft = mark.x - width / 2;
        if (labelLeft + width > right) labelLeft = right - width;
        if (labelLeft < left) labelLeft = left;
        if (drawn && !(static_cast<int64_t>(labelLeft) + width < static_cast<int64_t>(previousLeft) - LabelGap)) continue;
        surface.drawText(*smallFont_, minuteLabel(mark), labelLeft, axisY, smallTextColour_);
        dashedLine(surface, axesColour_, mark.x, top, mark.x, bottom);
        previousLeft = labelLeft;
        drawn = true;
    }
}

void SpeedChartWidget::fillBorder(Surface& surface, const Rect& r, const Rect& chart) {
    if (chart.width() <= 2 * CornerSize || chart.height() <= 2 * CornerSize) {
        surface.fillRect(r, borderColour_);
        return;
    }
    // Around the chart only: filling the whole page first would write every pixel of the
    // frame twice. The corners are filled too, since the rounded chart leaves its corner
    // pixels as they were.
    surface.fillRect({r.left, r.top, r.right, chart.top}, borderColour_);
    surface.fillRect({r.left, chart.bottom, r.right, r.bottom}, borderColour_);
    surface.fillRect({r.left, chart.top, chart.left, chart.bottom}, borderColour_);
    surface.fillRect({chart.right, chart.top, r.right, chart.bottom}, borderColour_);
    for (const int x : {chart.left, chart.right - CornerSize}) {
        for (const int y : {chart.top, chart.bottom - CornerSize}) {
            surface.fillRect({x, y, x + CornerSize, y + CornerSize}, borderColour_);
        }
    }
}

void SpeedChartWidget::paint(Surface& surface, const Rect& r) {
    if (!smallFont_) smallFont_ = surface.createFont(smallFontFace_, smallTextSize_, 0);
    if (!bigFont_) bigFont_ = surface.createFont(bigFontFace_, bigTextSize_, 0);

    const int L = r.left + Inset;
    const int T = r.top + TopInset;
    const int R = r.right - Inset;
    const int B = r.bottom - Inset;
    const int axisLeft = L + AxisInset;
    const int axisTop = T + AxisInset;
    const int axisY = B - AxisInset;
    // Lines of speeds beyond the scale and long labels stay on this page during a slide.
    surface.setClip(r);
    fillBorder(surface, r, {L, T, R, B});
    surface.roundRect(backgroundColour_, 1, backgroundColour_, {L, T, R, B});
    surface.line(axesColour_, axisLeft, axisTop, axisLeft, axisY);
    surface.line(axesColour_, axisLeft, axisY, R - Inset, axisY);

    const int zoom = zoom_;
    const Walk walk = walkTrack(axisLeft, R - L - 30, zoom);

    const int scale = scaleFor(walk.fastest);
    const float k = static_cast<float>(axisTop - axisY) / static_cast<float>(scale);
    const auto y = [&](float kmh) {
        const float row = static_cast<float>(axisY) + drawnSpeed(kmh) * k;
        return static_cast<int>(std::clamp(row, -1.0e8f, 1.0e8f));
    };

    // Scale ticks: a dashed grid line above 0, the number above its line, the unit at the top.
    const int step = tickStep(scale);
    for (int t = 0; t <= scale; t += step) {
        const int ty = y(static_cast<float>(t));
        if (t > 0) dashedLine(surface, axesColour_, L + Inset, ty, R - AxisInset, ty);
        const int length = t == scale ? std::swprintf(text_, TextSize, L"%i км/ч", t)
                                      : std::swprintf(text_, TextSize, L"%i", t);
        const std::wstring_view label(text_, static_cast<size_t>(std::max(length, 0)));
        const Size size = surface.measureText(*smallFont_, label);
        surface.drawText(*smallFont_, label, L + Inset, ty - size.height, smallTextColour_);
    }
    {
        const int length = std::swprintf(text_, TextSize, L"Zoom:%ix", zoom);
        const std::wstring_view label(text_, static_cast<size_t>(std::max(length, 0)));
        const Size size = surface.measureText(*smallFont_, label);
        surface.drawText(*smallFont_, label, R - AxisInset - size.width, axisTop - size.height, smallTextColour_);
    }

    drawMinuteMarks(surface, L, R, axisTop, axisY, B - Inset);

    for (int i = 0; i < walk.count; ++i) points_[static_cast<size_t>(i)].y = y(vertexSpeed_[static_cast<size_t>(i)]);
    surface.polyline(chartColour_, 2, points_.data(), walk.count);

    const auto figure = [&](float kmh, int lineEnd, Colour colour) {
        const int fy = y(kmh);
        dashedLine(surface, colour, axisLeft, fy, lineEnd, fy);
        const int length = std::swprintf(text_, TextSize, L"%.0f", static_cast<double>(kmh));
        const std::wstring_view text(text_, static_cast<size_t>(std::max(length, 0)));
        const Size size = surface.measureText(*bigFont_, text);
        surface.drawText(*bigFont_, text, static_cast<int>((static_cast<int64_t>(lineEnd) + axisLeft - size.width) / 2),
                         fy - size.height, colour);
    };
    if (walk.hasCurrent) figure(walk.current, walk.currentX, currentSpeedColour_);
    if (walk.any) figure(walk.fastest, R - AxisInset, maximumSpeedColour_);
    surface.clearClip();
}

void SpeedChartWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BorderColor", ColourSetting::toText(borderColour_));
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("ChartColor", ColourSetting::toText(chartColour_));
    put("SmallTextColor", ColourSetting::toText(smallTextColour_));
    put("CurSpeedLineColor", ColourSetting::toText(currentSpeedColour_));
    put("MaxSpeedLineColor", ColourSetting::toText(maximumSpeedColour_));
    put("BigTextColor", ColourSetting::toText(bigTextColour_));
    put("AxesColor", ColourSetting::toText(axesColour_));
    put("SmallTextSize", std::to_string(smallTextSize_));
    put("BigTextSize", std::to_string(bigTextSize_));
    put("SmallTextFontName", smallFontFace_);
    put("BigTextFontName", bigFontFace_);
}

void SpeedChartWidget::loadSettings(const IniFile& ini) {
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BorderColor", borderColour_);
    colour("BackGroundColor", backgroundColour_);
    colour("ChartColor", chartColour_);
    colour("SmallTextColor", smallTextColour_);
    colour("CurSpeedLineColor", currentSpeedColour_);
    colour("MaxSpeedLineColor", maximumSpeedColour_);
    colour("BigTextColor", bigTextColour_);
    colour("AxesColor", axesColour_);
    PageSettings::readFontSize(ini, "SmallTextSize", section, smallTextSize_);
    PageSettings::readFontSize(ini, "BigTextSize", section, bigTextSize_);
    PageSettings::readFace(ini, "SmallTextFontName", section, smallFontFace_);
    PageSettings::readFace(ini, "BigTextFontName", section, bigFontFace_);
}

}  // namespace movira
