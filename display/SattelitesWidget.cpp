#include "display/SattelitesWidget.h"

#include "core/AppCore.h"
#include "core/NmeaParser.h"
#include "core/UiText.h"
#include "display/ColourSetting.h"
#include "display/PageSettings.h"
#include "display/Surface.h"
#include "display/WidgetManager.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <string>
#include <span>
#include <utility>

namespace movira {

namespace {

constexpr char Comment[] = "Настройки виджета спутников";
constexpr int Channels = NmeaParser::SatelliteSlots;  // the sky plot shows every entry
constexpr int StripChannels = SattelitesWidget::StripChannels;
constexpr int LabelColumn = 20;   // labels end / bars start this far into the strip
constexpr int RingMargin = 10;    // between the outer ring and the plot's edge
constexpr int LetterOffset = 5;   // N/S/E/W sit this far off the cross
constexpr int DotRadius = 5;
constexpr int ShadowOffset = 3;
constexpr int ReadOutInset = 2;
constexpr int RightColumn = 60;   // the right read-outs start this far from the plot's right edge
// Points further out than this lie beyond any screen; coordinates are cut to it before
// turning into int, so absurd angles cannot overflow.
constexpr double FarAway = 1 << 24;

// A cut face of PageSettings always fits the face buffer: no UTF-8 character is shorter than one byte.
static_assert(PageSettings::MaxFaceBytes <= SattelitesWidget::MaxFaceCharacters);

int coordinate(double value) { return static_cast<int>(std::clamp(value, -FarAway, FarAway)); }

// Bar length for a signal: `span` scaled by snr / 100, kept between 0 and `span`.
int barLength(int span, int snr) {
    if (span <= 0 || snr <= 0) return 0;
    return static_cast<int>(std::min<int64_t>(static_cast<int64_t>(span) * snr / 100, span));
}

}  // namespace

SattelitesWidget::SattelitesWidget(AppCore& core, WidgetManager& manager)
    : Widget(core, manager, core.uiText().satellites()) {}

void SattelitesWidget::createOwnButtons() { fillArrowBar(); }

bool SattelitesWidget::isShown(const SatelliteInfo& s) {
    return s.prn != NoValueInt && s.elevation != NoValueInt && s.azimuth != NoValueInt && s.snr != NoValueInt;
}

Colour SattelitesWidget::signalColour(int snr) const {
    if (snr <= 20) return lowSignalColour_;
    if (snr >= 50) return highSignalColour_;
    return midSignalColour_;
}

SattelitesWidget::Layout SattelitesWidget::layout(const Rect& r) {
    if (r.height() < r.width()) {
        return {{r.left, r.top, r.right - StripDepth, r.bottom}, {r.right - StripDepth, r.top, r.right, r.bottom}, true};
    }
    return {{r.left, r.top, r.right, r.bottom - StripDepth}, {r.left, r.bottom - StripDepth, r.right, r.bottom}, false};
}

SattelitesWidget::Sky SattelitesWidget::sky(const Rect& p) {
    const int half = std::min(p.width() / 2, p.height() / 2);
    return {(p.left + p.right) / 2, (p.top + p.bottom) / 2, half, half - RingMargin};
}

Rect SattelitesWidget::backgroundBox(Size picture, const Rect& p) {
    int64_t iw = picture.width;
    int64_t ih = picture.height;
    if (iw <= 0 || ih <= 0) return {};
    if (p.width() < iw) {
        ih = ih * p.width() / iw;
        iw = p.width();
    }
    if (iw <= 0 || ih <= 0) return {};
    if (p.height() < ih) {
        iw = iw * p.height() / ih;
        ih = p.height();
    }
    if (iw <= 0 || ih <= 0) return {};
    const int w = static_cast<int>(iw);
    const int h = static_cast<int>(ih);
    const int cx = (p.left + p.right) / 2;
    const int cy = (p.top + p.bottom) / 2;
    return {cx - w / 2, cy - h / 2, cx + w - w / 2, cy - h / 2 + h};
}

Point SattelitesWidget::position(const Sky& s, int azimuth, int elevation) {
    // The angle in the receiver's degrees with pi as the single-precision 3.141592.
    constexpr double Pi = static_cast<double>(3.141592f);
    const double angle = (90.0 - azimuth) * Pi / 180.0;
    const int64_t d = (90 - static_cast<int64_t>(elevation)) * s.radius / 90;
    const double distance = static_cast<double>(d);
    return {coordinate(s.cx + distance * std::cos(angle)), coordinate(s.cy - distance * std::sin(angle))};
}

void SattelitesWidget::findSensors() {
    int altitude = altitudeSensor_;
    int latitude = latitudeSensor_;
    int longitude = longitudeSensor_;
    int speed = speedSensor_;
    if (altitude != -1 && latitude != -1 && longitude != -1 && speed != -1) return;
    const UiText& texts = core().uiText();
    {
        auto model = core().model();
        // Per sensor the first text still looked for that its caption contains; "Average
        // speed" and "Max speed" have a lower-case "speed" and do not match "Speed".
        for (int i = 0; i < model->sensors.count(); ++i) {
            const wchar_t* caption = model->sensors.at(i)->caption();
            if (altitude == -1 && std::wcsstr(caption, texts.altitude())) {
                altitude = i;
            } else if (latitude == -1 && std::wcsstr(caption, texts.latitude())) {
                latitude = i;
            } else if (longitude == -1 && std::wcsstr(caption, texts.longitude())) {
                longitude = i;
            } else if (speed == -1 && std::wcsstr(caption, texts.speed())) {
                speed = i;
            }
        }
    }
    auto frame = manager().lockFrame();
    altitudeSensor_ = altitude;
    latitudeSensor_ = latitude;
    longitudeSensor_ = longitude;
    speedSensor_ = speed;
}

void SattelitesWidget::loadBackground() {
    {
        auto frame = manager().lockFrame();
        if (background_) return;
    }
    // Read outside the frame lock; a picture that cannot be read is tried again at the next fix.
    auto image = std::make_unique<Image>();
    if (!image->load(picturePath("SatBackGround"))) return;
    auto frame = manager().lockFrame();
    if (!background_) background_ = std::move(image);
}

bool SattelitesWidget::hasBackground() const {
    auto frame = manager().lockFrame();
    return background_ != nullptr;
}

void SattelitesWidget::attach() {
    findSensors();
    loadBackground();
    Widget::attach();
}

std::wstring_view SattelitesWidget::number(int value) {
    const int length = std::swprintf(text_, TextSize, L"%i", value);
    return {text_, static_cast<size_t>(std::max(length, 0))};
}

std::wstring_view SattelitesWidget::label(const SatelliteInfo& satellite, bool marked) {
    if (!marked) return number(satellite.prn);
    const int length = std::swprintf(text_, TextSize, L"%lc%i", static_cast<wint_t>(constellationLetter(satellite.constellation)),
                                     satellite.prn);
    return {text_, static_cast<size_t>(std::max(length, 0))};
}

bool SattelitesWidget::needsMarks(std::span<const SatelliteInfo> satellites) {
    // GPS and the SBAS satellites a GPS receiver lists read as before; a second system needs letters.
    return std::any_of(satellites.begin(), satellites.end(), [](const SatelliteInfo& s) {
        return isShown(s) && s.constellation != Constellation::Gps && s.constellation != Constellation::Sbas;
    });
}

std::array<int, SattelitesWidget::StripChannels> SattelitesWidget::stripChannels(std::span<const SatelliteInfo> satellites) {
    std::array<int, StripChannels> channels;
    channels.fill(-1);
    int shown = 0, shownInFirst = 0;
    for (size_t i = 0; i < satellites.size(); ++i) {
        if (!isShown(satellites[i])) continue;
        ++shown;
        if (i < StripChannels) ++shownInFirst;
    }
    // As many as the strip has rows, all in the first entries: each row is its entry, as always.
    if (shown == shownInFirst) {
        for (int i = 0; i < StripChannels && i < static_cast<int>(satellites.size()); ++i) {
            if (isShown(satellites[static_cast<size_t>(i)])) channels[static_cast<size_t>(i)] = i;
        }
        return channels;
    }
    // More: the strongest, in table order, so that a bar keeps its row while its rank holds.
    std::array<int, Channels> order;
    int count = 0;
    for (size_t i = 0; i < satellites.size() && count < Channels; ++i) {
        if (isShown(satellites[i])) order[static_cast<size_t>(count++)] = static_cast<int>(i);
    }
    const int kept = std::min(count, StripChannels);
    std::partial_sort(order.begin(), order.begin() + kept, order.begin() + count, [&](int a, int b) {
        const int snrA = satellites[static_cast<size_t>(a)].snr, snrB = satellites[static_cast<size_t>(b)].snr;
        return snrA != snrB ? snrA > snrB : a < b;
    });
    std::sort(order.begin(), order.begin() + kept);
    std::copy(order.begin(), order.begin() + kept, channels.begin());
    return channels;
}

void SattelitesWidget::paint(Surface& surface, const Rect& r) {
    surface.fillRect(r, backgroundColour_);
    if (!font_) font_ = surface.createFont(fontFace_, fontSize_, 0);

    // What the frame shows, copied from the model in one short visit so that a frame never
    // mixes two fixes.
    std::array<SatelliteInfo, Channels> satellites{};
    std::array<ReadOut, 4> readOuts;
    const std::array<int, 4> indices = {latitudeSensor_, longitudeSensor_, speedSensor_, altitudeSensor_};
    bool showReadOuts = std::none_of(indices.begin(), indices.end(), [](int i) { return i < 0; });
    {
        auto model = core().model();
        for (int i = 0; i < Channels; ++i) {
            if (const SatelliteInfo* s = model->parser.satellite(i)) satellites[static_cast<size_t>(i)] = *s;
        }
        for (size_t i = 0; showReadOuts && i < indices.size(); ++i) {
            const Sensor* sensor = model->sensors.at(indices[i]);
            if (!sensor) {
                showReadOuts = false;
                break;
            }
            readOuts[i] = {sensor->caption(), sensor->text()};
        }
    }

    // Dots and labels of absurd positions go nowhere but this page.
    surface.setClip(r);
    const Layout parts = layout(r);
    if (background_) {
        const Rect box = backgroundBox(background_->size(), parts.plot);
        if (box.width() > 0 && box.height() > 0) background_->drawBlended(surface, box, 255);
    }
    const bool marked = needsMarks(satellites);
    paintStrip(surface, parts.strip, parts.horizontalBars, satellites, marked);
    paintSky(surface, sky(parts.plot), satellites, marked);
    if (showReadOuts) paintReadOuts(surface, parts.plot, readOuts.data());
    surface.clearClip();
}

void SattelitesWidget::paintStrip(Surface& surface, const Rect& s, bool horizontal,
                                  std::span<const SatelliteInfo> satellites, bool marked) {
    // Rows (columns) belong to channels, so a channel not shown leaves a gap.
    const auto channels = stripChannels(satellites);
    if (horizontal) {
        const int h = s.height() / StripChannels;
        const int x0 = s.left + LabelColumn;
        for (int i = 0; i < StripChannels; ++i) {
            if (channels[static_cast<size_t>(i)] < 0) continue;
            const SatelliteInfo& sat = satellites[static_cast<size_t>(channels[static_cast<size_t>(i)])];
            const int t = s.top + i * h + 1;
            const int b = s.top + i * h + h;
            const std::wstring_view text = label(sat, marked);
            const Size size = surface.measureText(*font_, text);
            surface.drawText(*font_, text, x0 - size.width, (b + t - size.height) / 2, nameColour_);
            const int x1 = x0 + barLength(s.right - x0, sat.snr);
            if (x0 < x1 - ShadowOffset) {
                surface.rectangle(shadowColour_, 1, shadowColour_, {x0, t + ShadowOffset, x1 - ShadowOffset, b});
            }
            surface.rectangle(borderColour_, 1, signalColour(sat.snr), {x0, t, x1, b - ShadowOffset});
        }
        return;
    }
    const int w = s.width() / StripChannels;
    const int yb = s.bottom - LabelColumn;
    for (int i = 0; i < StripChannels; ++i) {
        if (channels[static_cast<size_t>(i)] < 0) continue;
        const SatelliteInfo& sat = satellites[static_cast<size_t>(channels[static_cast<size_t>(i)])];
        const int l = s.left + i * w + 1;
        const int rr = s.left + i * w + w;
        const std::wstring_view text = label(sat, marked);
        const Size size = surface.measureText(*font_, text);
        surface.drawText(*font_, text, (rr + l - size.width) / 2, yb, nameColour_);
        const int y1 = yb - barLength(yb - s.top, sat.snr);
        if (y1 + ShadowOffset < yb) surface.rectangle(shadowColour_, 1, shadowColour_, {l, y1 + ShadowOffset, rr, yb});
        surface.rectangle(borderColour_, 1, signalColour(sat.snr), {l, y1, rr - ShadowOffset, yb});
    }
}

void SattelitesWidget::paintSky(Surface& surface, const Sky& k, std::span<const SatelliteInfo> satellites,
                                bool marked) {
    const int R = k.radius;
    if (R <= 0) return;  // a page too small for a plot
    surface.circleOutline(miscLineColour_, 1, k.cx, k.cy, R);
    surface.circleOutline(miscLineColour_, 1, k.cx, k.cy, R * 2 / 3);
    surface.circleOutline(miscLineColour_, 1, k.cx, k.cy, R / 3);
    surface.line(miscLineColour_, k.cx - R, k.cy, k.cx + R, k.cy);
    surface.line(miscLineColour_, k.cx, k.cy - R, k.cx, k.cy + R);
    // The same letters in both languages.
    surface.drawText(*font_, L"N", k.cx - LetterOffset, k.cy - R - RingMargin, nameColour_);
    surface.drawText(*font_, L"S", k.cx - LetterOffset, k.cy + R, nameColour_);
    surface.drawText(*font_, L"E", k.cx + R, k.cy - LetterOffset, nameColour_);
    surface.drawText(*font_, L"W", k.cx - k.half, k.cy - LetterOffset, nameColour_);

    std::array<Point, Channels> at{};
    for (size_t i = 0; i < satellites.size(); ++i) {
        const SatelliteInfo& sat = satellites[i];
        if (!isShown(sat)) continue;
        at[i] = position(k, sat.azimuth, sat.elevation);
        const Point p = at[i];
        surface.filledCircle(borderColour_, 1, signalColour(sat.snr), p.x, p.y, DotRadius);
    }
    // Labels after all dots, so that no dot covers a number; each points away from the centre.
    for (size_t i = 0; i < satellites.size(); ++i) {
        const SatelliteInfo& sat = satellites[i];
        if (!isShown(sat)) continue;
        const Point p = at[i];
        const std::wstring_view text = label(sat, marked);
        const Size size = surface.measureText(*font_, text);
        surface.drawText(*font_, text, p.x < k.cx ? p.x - size.width : p.x, p.y < k.cy ? p.y - size.height : p.y,
                         nameColour_);
    }
}

void SattelitesWidget::paintReadOuts(Surface& surface, const Rect& p, const ReadOut* readOuts) {
    const auto top = [&](const ReadOut& readOut, int x) {
        const Size caption = surface.measureText(*font_, readOut.caption);
        surface.drawText(*font_, readOut.caption, x, p.top, nameColour_);
        surface.drawText(*font_, readOut.value, x, p.top + caption.height, nameColour_);
    };
    const auto bottom = [&](const ReadOut& readOut, int x) {
        const Size caption = surface.measureText(*font_, readOut.caption);
        const Size value = surface.measureText(*font_, readOut.value);
        surface.drawText(*font_, readOut.value, x, p.bottom - value.height, nameColour_);
        surface.drawText(*font_, readOut.caption, x, p.bottom - value.height - caption.height, nameColour_);
    };
    const int left = p.left + ReadOutInset;
    const int right = p.right - RightColumn;
    top(readOuts[0], left);      // latitude
    top(readOuts[1], right);     // longitude
    bottom(readOuts[2], left);   // speed
    bottom(readOuts[3], right);  // altitude
}

void SattelitesWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("SattelitesNameColor", ColourSetting::toText(nameColour_));
    put("LowSignalColor", ColourSetting::toText(lowSignalColour_));
    put("MidSignalColor", ColourSetting::toText(midSignalColour_));
    put("HighSignalColor", ColourSetting::toText(highSignalColour_));
    put("BorderColor", ColourSetting::toText(borderColour_));
    put("ShadowColor", ColourSetting::toText(shadowColour_));
    put("MiscLineColor", ColourSetting::toText(miscLineColour_));
    put("SattelitesNameFontName", fontFace_);
    put("SattelitesNameFontSize", std::to_string(fontSize_));
}

void SattelitesWidget::loadSettings(const IniFile& ini) {
    // Colours as atoi reads them; font heights outside 1..1000 refused; faces cut to the buffer.
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BackGroundColor", backgroundColour_);
    colour("SattelitesNameColor", nameColour_);
    colour("LowSignalColor", lowSignalColour_);
    colour("MidSignalColor", midSignalColour_);
    colour("HighSignalColor", highSignalColour_);
    colour("BorderColor", borderColour_);
    colour("ShadowColor", shadowColour_);
    colour("MiscLineColor", miscLineColour_);
    PageSettings::readFace(ini, "SattelitesNameFontName", section, fontFace_);
    PageSettings::readFontSize(ini, "SattelitesNameFontSize", section, fontSize_);
}

}  // namespace movira
