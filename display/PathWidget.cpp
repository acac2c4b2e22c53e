#include "display/PathWidget.h"

#include "core/AppCore.h"
#include "core/NoValue.h"
#include "core/UiText.h"
#include "core/UserCommand.h"
#include "display/ColourSetting.h"
#include "display/PageSettings.h"
#include "display/ScreenWindow.h"
#include "display/Surface.h"
#include "display/WidgetManager.h"
#include "sensors/Sensor.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <iterator>
#include <string>
#include <utility>

namespace movira {

namespace {

constexpr char Comment[] = "Настройки виджета пройденного пути";
constexpr int Margin = 5;      // between the page's edge, the panel's boxes and the map box
constexpr int ColumnGap = 3;   // either side of the portrait panel's middle
constexpr int MapInset = 2;    // the track stays this far inside the map box
constexpr int MinMapSide = 12;
constexpr int EndDotRadius = 3;
constexpr float KmPerKmhSecond = 1.0f / 7200;  // the mean of two speeds, and hours per second

// Bounds on what a frame computes. Every point of the track lies in the bounding box, so
// its pixel is at most zoom x half the map's side from the map's centre plus the pan:
// with MaxZoom 4096, sides of at most 8192 (the surface's limit) and the pan below, that
// stays within +-2^26. Anything beyond FarAway (a value no track gives) is cut before it
// becomes an integer.
constexpr double MaxPan = 1 << 25;
constexpr double FarAway = 1 << 28;

// Floor, so that a shift by whole pixels moves every point alike. Branch-free: it runs
// twice for every point of the track at every frame.
inline int toPixel(double value) {
    value = std::min(std::max(-FarAway, value), FarAway);  // NaN gives -FarAway
    const int whole = static_cast<int>(value);
    return whole - (static_cast<double>(whole) > value ? 1 : 0);
}

bool isUnset(float bound) { return bound == NoValue; }

}  // namespace

PathWidget::Trip::Trip() : minLatitude(NoValue), maxLatitude(NoValue), minLongitude(NoValue), maxLongitude(NoValue) {}

// ---- Map points ----

void PathWidget::MapPoints::append(GeoPoint point) {
    if (size_ % ChunkSize == 0 && size_ / ChunkSize == chunks_.size())
        chunks_.push_back(std::make_unique<std::array<GeoPoint, ChunkSize>>());
    (*chunks_[size_ / ChunkSize])[size_ % ChunkSize] = point;
    ++size_;
}

void PathWidget::MapPoints::clear() {
    chunks_.clear();
    size_ = 0;
}

inline Point PathWidget::Projection::at(GeoPoint p) const {
    return {toPixel((p.longitude - midLon) * kx + ox), toPixel((p.latitude - midLat) * ky + oy)};
}

// ---- Life ----

PathWidget::PathWidget(AppCore& core, WidgetManager& manager)
    : Widget(core, manager, core.uiText().distance()), previousSpeed_(NoValue) {}

PathWidget::~PathWidget() = default;

void PathWidget::createOwnButtons() {
    fillOwnBar({{PrevWidget, "BtnLeft"},
                {ZoomOut, "BtnZoomOut"},
                {ZoomIn, "BtnZoomIn"},
                {ZoomAuto, "BtnZoomAuto"},
                {CenterPos, "BtnCenterPos"},
                {NextWidget, "BtnRight"}});
}

// ---- Per fix ----

void PathWidget::attach() {
    takeNewPoints();
    findSensors();
    Widget::attach();
}

void PathWidget::takeNewPoints() {
    fresh_.clear();
    {
        auto model = core().model();
        const TrackLog& log = model->parser.trackLog();
        const size_t count = log.size();
        // Each point is taken once, so a fix costs the same however long the track is.
        for (; taken_ < count; ++taken_) {
            const TrackPoint& point = log[taken_];
            if (point.latitude == NoValue || point.longitude == NoValue || !std::isfinite(point.latitude) ||
                !std::isfinite(point.longitude) || !(point.speed >= 0.0f) || !std::isfinite(point.speed))
                continue;
            if (const auto time = point.localTime.toFileTime()) {
                // A step back in time, or a gap of more than an hour (a receiver's clock
                // step, a long loss of fix), is no travel: it would add its whole length as
                // moving time at the mean of two unrelated speeds.
                if (previousSpeed_ != NoValue && previousTime_ > 0 && *time > previousTime_ &&
                    *time - previousTime_ <= Sensor::MaxFixInterval) {
                    const int64_t seconds = (*time - previousTime_) / kFileTimeUnitsPerSecond;
                    working_.movingSeconds += seconds;
                    working_.distance += (point.speed + previousSpeed_) * static_cast<float>(seconds) * KmPerKmhSecond;
                    // Within the first second there is no moving time yet: no average then.
                    if (working_.movingSeconds > 0)
                        working_.averageSpeed =
                            working_.distance * 3600.0f / static_cast<float>(working_.movingSeconds);
                }
                previousTime_ = *time;
            } else {
                previousTime_ = 0;
            }
            previousSpeed_ = point.speed;
            Trip& t = working_;
            if (isUnset(t.minLatitude) || point.latitude < t.minLatitude) t.minLatitude = point.latitude;
            if (isUnset(t.maxLatitude) || point.latitude > t.maxLatitude) t.maxLatitude = point.latitude;
            if (isUnset(t.minLongitude) || point.longitude < t.minLongitude) t.minLongitude = point.longitude;
            if (isUnset(t.maxLongitude) || point.longitude > t.maxLongitude) t.maxLongitude = point.longitude;
            fresh_.push_back({point.longitude, point.latitude});
        }
    }
    if (fresh_.empty()) return;
    auto frame = manager().lockFrame();
    for (const GeoPoint& point : fresh_) map_.append(point);
    trip_ = working_;
}

void PathWidget::findSensors() {
    int speed = speedSensor_;
    int time = timeSensor_;
    if (speed != -1 && time != -1) return;
    const UiText& texts = core().uiText();
    {
        auto model = core().model();
        for (int i = 0; i < model->sensors.count(); ++i) {
            const wchar_t* caption = model->sensors.at(i)->caption();
            if (speed == -1 && std::wcsstr(caption, texts.speed())) {
                speed = i;
            } else if (time == -1 && std::wcsstr(caption, texts.currentTime())) {
                time = i;
            }
        }
    }
    speedSensor_ = speed;
    timeSensor_ = time;
}

// ---- Texts ----

std::wstring PathWidget::elapsedText(int64_t seconds) {
    seconds = std::max<int64_t>(seconds, 0);
    const long long days = seconds / 86400;
    const int hours = static_cast<int>(seconds % 86400 / 3600);
    const int minutes = static_cast<int>(seconds % 3600 / 60);
    const int rest = static_cast<int>(seconds % 60);
    wchar_t text[64];
    if (days > 0) {
        std::swprintf(text, std::size(text), L"%lldD.%i:%i:%i", days, hours, minutes, rest);
    } else if (hours > 0) {
        std::swprintf(text, std::size(text), L"%i:%02i:%02i", hours, minutes, rest);
    } else if (minutes > 0) {
        std::swprintf(text, std::size(text), L"%i:%02i", minutes, rest);
    } else {
        std::swprintf(text, std::size(text), L"%i sec", rest);
    }
    return text;
}

std::wstring PathWidget::distanceText(float km) {
    wchar_t text[TextSize];
    int length;
    if (km < 1.0f) {
        length = std::swprintf(text, TextSize, L"%.0f m", static_cast<double>(km) * 1000.0);
    } else if (km < 10.0f) {
        length = std::swprintf(text, TextSize, L"%.2f km", static_cast<double>(km));
    } else {
        length = std::swprintf(text, TextSize, L"%.1f km", static_cast<double>(km));
    }
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::wstring PathWidget::averageText(const Trip& trip) {
    if (trip.movingSeconds <= 0) return {};
    wchar_t text[TextSize];
    const int length = std::swprintf(text, TextSize, L"%0.1f km/h", static_cast<double>(trip.averageSpeed));
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// ---- Painting ----

void PathWidget::paint(Surface& surface, const Rect& r) {
    if (!smallFont_) smallFont_ = surface.createFont(smallFontFace_, smallTextSize_, 0);
    if (!midFont_) midFont_ = surface.createFont(midFontFace_, midTextSize_, 0);
    if (!bigFont_) bigFont_ = surface.createFont(bigFontFace_, bigTextSize_, 0);

    // Time, speed, elapsed, average, distance. The sensors' texts in one short visit.
    std::wstring values[5];
    {
        const int time = timeSensor_;
        const int speed = speedSensor_;
        auto model = core().model();
        const SensorSet& sensors = model->sensors;
        if (time >= 0 && time < sensors.count()) values[0] = sensors.at(time)->text();
        if (speed >= 0 && speed < sensors.count()) values[1] = sensors.at(speed)->text();
    }
    values[2] = elapsedText(trip_.movingSeconds);
    values[3] = averageText(trip_);
    values[4] = distanceText(trip_.distance);

    const bool landscape = r.height() < r.width();
    const Rect map = mapArea(surface, r, landscape);
    fillAround(surface, r, map);
    if (landscape) {
        paintLandscapePanel(surface, r, values);
    } else {
        paintPortraitPanel(surface, r, values);
    }
    paintMap(surface, map);
}

Rect PathWidget::mapArea(const Surface& surface, const Rect& r, bool landscape) const {
    const int hs = surface.measureText(*smallFont_, L"O").height;
    const int hm = surface.measureText(*midFont_, L"O").height;
    if (landscape) {
        const int x1 = r.left + Margin + surface.measureText(*midFont_, L"OOOOOOOOO").width + Margin;
        return {x1 + Margin, r.top + Margin, r.right - Margin, r.bottom - Margin};
    }
    const int hb = surface.measureText(*bigFont_, L"O").height;
    const int bottom = r.top + hs + hb + 2 + 2 * (hs + hm + 2);
    return {r.left + Margin, bottom + Margin, r.right - Margin, r.bottom - Margin};
}

void PathWidget::fillAround(Surface& surface, const Rect& r, const Rect& a) {
    // The border colour goes everywhere but under the map box, which is filled next: the same
    // picture as filling the whole page first, at half the cost.
    if (a.width() <= 0 || a.height() <= 0) {
        surface.fillRect(r, borderColour_);
        return;
    }
    surface.fillRect({r.left, r.top, r.right, a.top}, borderColour_);
    surface.fillRect({r.left, a.bottom, r.right, r.bottom}, borderColour_);
    surface.fillRect({r.left, a.top, a.left, a.bottom}, borderColour_);
    surface.fillRect({a.right, a.top, r.right, a.bottom}, borderColour_);
    // The rounded box leaves its corner pixels as they were.
    for (const Point corner : {Point{a.left, a.top}, Point{a.right - 1, a.top}, Point{a.left, a.bottom - 1},
                               Point{a.right - 1, a.bottom - 1}})
        surface.fillRect({corner.x, corner.y, corner.x + 1, corner.y + 1}, borderColour_);
}

void PathWidget::paintLandscapePanel(Surface& surface, const Rect& r, const std::wstring* values) {
    static const wchar_t* const labels[5] = {L"Current time:", L"Speed:", L"Elapsed:", L"Avg. speed:", L"Distance:"};
    const int x0 = r.left + Margin;
    const int x1 = x0 + surface.measureText(*midFont_, L"OOOOOOOOO").width + Margin;
    const int hs = surface.measureText(*smallFont_, L"O").height;
    const int hm = surface.measureText(*midFont_, L"O").height;
    int y = r.top;
    for (int i = 0; i < 5; ++i) {
        surface.drawText(*smallFont_, labels[i], x0, y, smallTimeTextColour_);
        y += hs;
        const Rect box{x0, y, x1, y + hm + 2};
        surface.roundRect(backgroundColour_, 1, backgroundColour_, box);
        const int width = surface.measureText(*midFont_, values[i]).width;
        surface.drawText(*midFont_, values[i], (x0 + x1 - width) / 2, y + 1, bigTimeTextColour_);
        y = box.bottom;
    }
}

void PathWidget::paintPortraitPanel(Surface& surface, const Rect& r, const std::wstring* values) {
    const int x0 = r.left + Margin;
    const int x1 = r.right - Margin;
    const int xm = (x0 + x1) / 2;
    const int hs = surface.measureText(*smallFont_, L"O").height;
    const int hm = surface.measureText(*midFont_, L"O").height;
    const int hb = surface.measureText(*bigFont_, L"O").height;

    surface.drawText(*smallFont_, L"Current time:", x0, r.top, smallTimeTextColour_);
    int y = r.top + hs;
    surface.roundRect(backgroundColour_, 1, backgroundColour_, {x0, y, x1, y + hb + 2});
    const int timeWidth = surface.measureText(*bigFont_, values[0]).width;
    surface.drawText(*bigFont_, values[0], (x0 + x1 - timeWidth) / 2, y + 1, bigTimeTextColour_);
    y += hb + 2;

    // Two rows of two: speed and elapsed, then average and distance.
    const wchar_t* const labels[4] = {L"Speed:", L"Elapsed:", L"Avg. speed:", L"Distance:"};
    for (int row = 0; row < 2; ++row) {
        surface.drawText(*smallFont_, labels[2 * row], x0, y, smallTimeTextColour_);
        surface.drawText(*smallFont_, labels[2 * row + 1], xm + ColumnGap, y, smallTimeTextColour_);
        y += hs;
        surface.roundRect(backgroundColour_, 1, backgroundColour_, {x0, y, xm - ColumnGap, y + hm + 2});
        surface.roundRect(backgroundColour_, 1, backgroundColour_, {xm + ColumnGap, y, x1, y + hm + 2});
        const std::wstring& left = values[1 + 2 * row];
        const std::wstring& right = values[2 + 2 * row];
        const int leftWidth = surface.measureText(*midFont_, left).width;
        const int rightWidth = surface.measureText(*midFont_, right).width;
        surface.drawText(*midFont_, left, (xm + x0 - leftWidth - ColumnGap) / 2, y + 1, midTimeTextColour_);
        surface.drawText(*midFont_, right, (xm + x1 - rightWidth + ColumnGap) / 2, y + 1, midTimeTextColour_);
        y += hm + 2;
    }
}

void PathWidget::pageShift(const Surface& surface, double& dx, double& dy) const {
    // The pan is what the finger did on the screen; the page is mirrored, then turned a
    // quarter clockwise, before it reaches the screen.
    double x = panX_;
    double y = panY_;
    if (surface.rotate()) {
        const double screenX = x;
        x = y;
        y = -screenX;
    }
    if (surface.mirror()) x = -x;
    dx = x;
    dy = y;
}

void PathWidget::setPan(double x, double y) {
    panX_ = std::clamp(x, -MaxPan, MaxPan);
    panY_ = std::clamp(y, -MaxPan, MaxPan);
}

void PathWidget::rememberMapRect(const Surface& surface, const Rect& a) {
    // The map box as the finger finds it: mirrored, turned and scaled as the frame is.
    const Rect page = surface.bounds();
    Rect s = a;
    if (surface.mirror()) s = {page.width() - a.right, a.top, page.width() - a.left, a.bottom};
    if (surface.rotate()) s = {page.height() - s.bottom, s.left, page.height() - s.top, s.right};
    const auto device = [](int logical, int dpi) {
        return static_cast<int>(static_cast<int64_t>(logical) * (dpi > 0 ? dpi : 96) / 96);
    };
    mapOnScreen_ = {device(s.left, surface.dpiX()), device(s.top, surface.dpiY()), device(s.right, surface.dpiX()),
                    device(s.bottom, surface.dpiY())};
}

void PathWidget::paintMap(Surface& surface, const Rect& a) {
    rememberMapRect(surface, a);
    // A panel too large for the page leaves no map box.
    if (a.width() <= 0 || a.height() <= 0) return;
    surface.roundRect(backgroundColour_, 1, backgroundColour_, a);

    const Trip& t = trip_;
    // Also an empty track: every bound is NoValue then.
    if (t.minLatitude == t.maxLatitude || t.minLongitude == t.maxLongitude) return;
    const Rect inner{a.left + MapInset, a.top + MapInset, a.right - MapInset, a.bottom - MapInset};
    if (inner.width() < MinMapSide || inner.height() < MinMapSide) return;
    if (map_.size() < 2) return;

    const double fx = inner.width() / (static_cast<double>(t.maxLongitude) - t.minLongitude);
    const double fy = inner.height() / (static_cast<double>(t.maxLatitude) - t.minLatitude);
    const double scale = std::min(fx, fy) * zoom_;
    const int cx = (inner.left + inner.right) / 2;
    const int cy = (inner.top + inner.bottom) / 2;
    Projection p{scale,
                 -scale,
                 (static_cast<double>(t.maxLongitude) + t.minLongitude) * 0.5,
                 (static_cast<double>(t.maxLatitude) + t.minLatitude) * 0.5,
                 0.0,
                 0.0};
    const auto place = [&] {
        double dx;
        double dy;
        pageShift(surface, dx, dy);
        p.ox = cx + dx + 0.5;
        p.oy = cy + dy + 0.5;
    };
    place();

    if (centreRequest_) {
        centreRequest_ = false;
        const Point last = p.at(map_[map_.size() - 1]);
        // The page must move by (sx, sy); the pan is kept as the screen sees it.
        double sx = cx - last.x;
        double sy = cy - last.y;
        if (surface.mirror()) sx = -sx;
        if (surface.rotate()) {
            setPan(panX_ - sy, panY_ + sx);
        } else {
            setPan(panX_ + sx, panY_ + sy);
        }
        place();
    }

    projectLine(p, inner);
    const Line& l = line_;

    surface.setClip(inner);
    int start = 0;
    for (const int end : l.runEnds) {
        surface.polyline(pathColour_, 1, l.points.data() + start, end - start);
        start = end;
    }
    if (l.open) surface.polyline(pathColour_, 1, l.points.data() + start, static_cast<int>(l.points.size()) - start);
    const Point first = l.first;
    const Point last = l.previous;
    surface.line(startPointColour_, first.x - 2, first.y - 2, first.x + 3, first.y + 3);
    surface.line(startPointColour_, first.x - 2, first.y + 2, first.x + 3, first.y - 3);
    surface.filledCircle(endPointColour_, 1, endPointColour_, last.x, last.y, EndDotRadius);
    surface.clearClip();
}

void PathWidget::projectLine(const Projection& p, const Rect& inner) {
    Line& l = line_;
    if (l.count == 0 || !(l.projection == p) || !(l.inner == inner) || l.count > map_.size()) {
        l.projection = p;
        l.inner = inner;
        l.count = 1;
        l.points.clear();
        l.runEnds.clear();
        l.before = map_[0];
        l.first = l.previous = p.at(l.before);
        l.open = false;
    }
    // Every point is projected. A point on the pixel of the one before adds nothing to the
    // line, and a stretch whose ends both lie on one side beyond the map box draws nothing in
    // it: both are left out, and the line is drawn in runs.
    const auto beside = [&inner](Point u, Point v) {
        return (u.x < inner.left && v.x < inner.left) || (u.x >= inner.right && v.x >= inner.right) ||
               (u.y < inner.top && v.y < inner.top) || (u.y >= inner.bottom && v.y >= inner.bottom);
    };
    Point previous = l.previous;
    GeoPoint before = l.before;
    bool open = l.open;
    const size_t count = map_.size();
    for (size_t i = l.count; i < count;) {
        // Within one chunk of the map at a time.
        const GeoPoint* run = &map_[i];
        const size_t end = std::min(count, (i / MapPoints::ChunkSize + 1) * MapPoints::ChunkSize);
        for (const GeoPoint* g = run; g != run + (end - i); ++g) {
            if (g->longitude == before.longitude && g->latitude == before.latitude) continue;  // standing still
            before = *g;
            const Point q = p.at(*g);
            if (q == previous) continue;
            if (beside(previous, q)) {
                if (open) l.runEnds.push_back(static_cast<int>(l.points.size()));
                open = false;
            } else {
                if (!open) l.points.push_back(previous);
                l.points.push_back(q);
                open = true;
            }
            previous = q;
        }
        i = end;
    }
    l.count = count;
    l.previous = previous;
    l.before = before;
    l.open = open;
}

// ---- Touch ----

void PathWidget::onMouseDown(Point point) {
    fingerDown_ = true;
    panFrom_ = point;
    {
        auto frame = manager().lockFrame();
        const Rect& m = mapOnScreen_;
        panning_ = m.width() > 0 && point.x >= m.left && point.x <= m.right && point.y >= m.top && point.y <= m.bottom;
    }
    Widget::onMouseDown(point);
}

void PathWidget::onMouseMove(Point point) {
    if (!fingerDown_ || !panning_) {
        Widget::onMouseMove(point);
        return;
    }
    const ScreenWindow* window = manager().window();
    const int dpiX = window && window->dpiX() > 0 ? window->dpiX() : 96;
    const int dpiY = window && window->dpiY() > 0 ? window->dpiY() : 96;
    {
        // The finger's travel in logical pixels, so that the track follows it on any screen.
        auto frame = manager().lockFrame();
        setPan(panX_ + (point.x - panFrom_.x) * 96.0 / dpiX, panY_ + (point.y - panFrom_.y) * 96.0 / dpiY);
    }
    panFrom_ = point;
    core().requestRepaint();
}

void PathWidget::onMouseUp(Point point) {
    fingerDown_ = false;
    panning_ = false;
    if (const int cell = ownBarCellAt(point); cell >= 0) {
        auto frame = manager().lockFrame();
        const int command = cell < ownBar().count() ? ownBar().at(cell).command() : 0;
        switch (command) {
            case ZoomOut:
                zoom_ = std::max(zoom_ * 0.5f, MinZoom);
                break;
            case ZoomIn:
                zoom_ = std::min(zoom_ * 2.0f, MaxZoom);
                break;
            case ZoomAuto:
                zoom_ = 1.0f;
                panX_ = panY_ = 0.0;
                break;
            case CenterPos:
                centreRequest_ = true;
                break;
            default:
                break;
        }
    }
    Widget::onMouseUp(point);
}

// ---- For tests ----

PathWidget::Trip PathWidget::trip() const {
    auto frame = manager().lockFrame();
    return trip_;
}

float PathWidget::zoom() const {
    auto frame = manager().lockFrame();
    return zoom_;
}

double PathWidget::panX() const {
    auto frame = manager().lockFrame();
    return panX_;
}

double PathWidget::panY() const {
    auto frame = manager().lockFrame();
    return panY_;
}

Rect PathWidget::mapRectOnScreen() const {
    auto frame = manager().lockFrame();
    return mapOnScreen_;
}

// ---- Settings ----

void PathWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BorderColor", ColourSetting::toText(borderColour_));
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("PathColor", ColourSetting::toText(pathColour_));
    put("SmallTimeTextColor", ColourSetting::toText(smallTimeTextColour_));
    put("MidTimeTextColor", ColourSetting::toText(midTimeTextColour_));
    put("BigTimeTextColor", ColourSetting::toText(bigTimeTextColour_));
    put("EndPointColor", ColourSetting::toText(endPointColour_));
    put("StartPointColor", ColourSetting::toText(startPointColour_));
    put("SmallTextSize", std::to_string(smallTextSize_));
    put("MidTextSize", std::to_string(midTextSize_));
    put("BigTextSize", std::to_string(bigTextSize_));
    put("SmallTextFontName", smallFontFace_);
    put("MidTextFontName", midFontFace_);
    put("BigTextFontName", bigFontFace_);
}

void PathWidget::loadSettings(const IniFile& ini) {
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BorderColor", borderColour_);
    colour("BackGroundColor", backgroundColour_);
    colour("PathColor", pathColour_);
    colour("SmallTimeTextColor", smallTimeTextColour_);
    colour("MidTimeTextColor", midTimeTextColour_);
    colour("BigTimeTextColor", bigTimeTextColour_);
    colour("EndPointColor", endPointColour_);
    colour("StartPointColor", startPointColour_);
    PageSettings::readFontSize(ini, "SmallTextSize", section, smallTextSize_);
    PageSettings::readFontSize(ini, "MidTextSize", section, midTextSize_);
    PageSettings::readFontSize(ini, "BigTextSize", section, bigTextSize_);
    PageSettings::readFace(ini, "SmallTextFontName", section, smallFontFace_);
    PageSettings::readFace(ini, "MidTextFontName", section, midFontFace_);
    PageSettings::readFace(ini, "BigTextFontName", section, bigFontFace_);
}

}  // namespace movira
