#include "display/SpeedometerWidget.h"

#include "core/AppCore.h"
#include "core/NoValue.h"
#include "core/UserCommand.h"
#include "display/ColourSetting.h"
#include "display/PageSettings.h"
#include "display/Surface.h"
#include "display/WidgetManager.h"
#include "platform/Battery.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <utility>

namespace movira {

namespace {

constexpr char Comment[] = "Настройки виджета спидометра";

// Angles in radians, counter-clockwise from the positive x axis with y up: the scale
// minimum sits at the lower left, the maximum at the lower right.
constexpr float StartAngle = 3.4470246f;   // 197.5 degrees
constexpr float EndAngle = -0.30543256f;   // -17.5 degrees
constexpr float Pi = 3.1415920f;           // the single-precision value the degree conversions use

constexpr int DialTopPortrait = 25;
constexpr int DialTopLandscape = 15;
constexpr int DialBottomMarginLandscape = 10;
constexpr int CompassSize = 65;
constexpr int CompassNeedle = 27;
constexpr int HubRadius = 7;
constexpr int ChargingAlpha = 192;

struct ModeScale {
    float maximum;     // km/h
    int tick;          // every tick, km/h
    int medium;        // longer ticks at multiples of this
    int number;        // numbered ticks at multiples of this
    float fastest[3];  // distances of the columns shown, metres
    float targets[4];  // acceleration targets shown, km/h
    int targetCount;
};

constexpr ModeScale Modes[] = {
    {60.0f, 1, 5, 10, {100.0f, 500.0f, 1000.0f}, {20.0f, 30.0f, 40.0f}, 3},
    {120.0f, 5, 10, 20, {100.0f, 500.0f, 1000.0f}, {40.0f, 60.0f, 80.0f}, 3},
    {250.0f, 10, 25, 50, {402.0f, 1000.0f, 10000.0f}, {60.0f, 100.0f, 150.0f}, 3},
    {400.0f, 25, 25, 50, {100.0f, 402.0f, 1000.0f}, {100.0f, 150.0f, 200.0f, 250.0f}, 4},
};

bool showsFastest(const ModeScale& mode, float metres) {
    return std::find(std::begin(mode.fastest), std::end(mode.fastest), metres) != std::end(mode.fastest);
}

bool showsTarget(const ModeScale& mode, float kmh) {
    return std::find(mode.targets, mode.targets + mode.targetCount, kmh) != mode.targets + mode.targetCount;
}

// A speed inside the scale: no value, below zero and not-a-number give 0.
float limited(float kmh, float maximum) {
    if (!(kmh >= 0.0f)) return 0.0f;
    return std::min(kmh, maximum);
}

float angleOf(float kmh, float maximum) { return StartAngle + (EndAngle - StartAngle) * kmh / maximum; }

// The point at `radius` and `angle` around the centre, truncated.
Point onCircle(int cx, int cy, float radius, float angle) {
    return {static_cast<int>(static_cast<float>(cx) + radius * std::cos(angle)),
            static_cast<int>(static_cast<float>(cy) - radius * std::sin(angle))};
}

// cy - 1.1 x height, truncated.
int above(int y, int height) { return static_cast<int>(y - 1.1 * height); }

}  // namespace

// What one frame shows, copied from the model in one short visit.
struct SpeedometerWidget::Frame {
    int mode = DefaultMode;  // read once: a tap may switch it while the frame is drawn
    float speed = NoValue;
    float average = NoValue;
    float max = NoValue;
    float course = NoValue;
    int satellitesUsed = 0;
    std::wstring distance;
    std::wstring time;
    std::array<float, MaxFastest> fastestMetres{};
    std::array<std::wstring, MaxFastest> fastestTime;
    std::array<bool, MaxAcceleration> accelerationShown{};  // a measured time at one of the mode's targets
    std::array<float, MaxAcceleration> accelerationTarget{};
    std::array<std::wstring, MaxAcceleration> accelerationTime;
};

SpeedometerWidget::SpeedometerWidget(AppCore& core, WidgetManager& manager)
    : Widget(core, manager, core.uiText().speedometer()) {}

SpeedometerWidget::~SpeedometerWidget() = default;

void SpeedometerWidget::createOwnButtons() {
    fillOwnBar({{PrevWidget, "BtnLeft"},
                {VeloMode, "BtnVeloMode"},
                {SlowMode, "BtnSlowMode"},
                {RaceMode, "BtnRaceMode"},
                {PlaneMode, "BtnPlaneMode"},
                {NextWidget, "BtnRight"}});
}

void SpeedometerWidget::setMode(int mode) {
    mode_ = (mode == 0 || mode == 2 || mode == 3) ? mode : DefaultMode;
}

int SpeedometerWidget::modeForCommand(int command) {
    switch (command) {
    case VeloMode: return 0;
    case SlowMode: return 1;
    case RaceMode: return 2;
    case PlaneMode: return 3;
    default: return -1;
    }
}

float SpeedometerWidget::scaleMaximum() const { return Modes[mode_].maximum; }

// ---- Fix: sensors, pictures, texts ----

bool SpeedometerWidget::findSensors(FoundSensors& f) {
    const bool missing = f.speed == -1 || f.average == -1 || f.distance == -1 || f.max == -1 || f.time == -1 ||
                         f.fastestCount == 0 || f.accelerationCount == 0 || f.azimuth == -1;
    if (!missing) return false;
    const UiText& texts = core().uiText();
    const auto append = [](auto& indices, int& count, int index) {
        // A walk repeated for a sensor still missing does not list the others twice.
        if (std::find(indices.begin(), indices.begin() + count, index) == indices.begin() + count) {
            indices[count++] = index;
        }
    };
    auto model = core().model();
    for (int i = 0; i < model->sensors.count(); ++i) {
        const wchar_t* caption = model->sensors.at(i)->caption();
        const auto has = [caption](const wchar_t* text) { return std::wcsstr(caption, text) != nullptr; };
        // The first test that applies decides. "Distance ex", the geodesic distance, comes
        // before "Distance" in the sensor order and is the one taken.
        if (f.speed == -1 && has(texts.speed())) {
            f.speed = i;
        } else if (f.average == -1 && has(texts.averageSpeed())) {
            f.average = i;
        } else if (f.distance == -1 && has(texts.distance())) {
            f.distance = i;
        } else if (f.max == -1 && has(texts.maxSpeed())) {
            f.max = i;
        } else if (f.time == -1 && has(texts.currentTime())) {
            f.time = i;
        } else if (f.fastestCount < MaxFastest && has(texts.theFastest())) {
            append(f.fastest, f.fastestCount, i);
        } else if (f.accelerationCount < MaxAcceleration && has(texts.accel())) {
            append(f.acceleration, f.accelerationCount, i);
        } else if (f.azimuth == -1 && has(texts.azimuth())) {
            f.azimuth = i;
        }
    }
    return true;
}

void SpeedometerWidget::loadImages() {
    icons_.loadMissing(manager(), [this](const char* name) { return picturePath(name); });
    // The compass, like the icons: read outside the frame lock, handed over under it, tried
    // again at the next fix while it is missing. Only this thread replaces it.
    if (compass_) return;
    auto compass = std::make_unique<Image>();
    if (!compass->load(picturePath("compass"))) return;
    auto frame = manager().lockFrame();
    compass_ = std::move(compass);
}

void SpeedometerWidget::attach() {
    // Only this thread writes found_, so reading it here needs no lock.
    FoundSensors found = found_;
    if (findSensors(found)) {
        auto frame = manager().lockFrame();
        found_ = found;
    }
    loadImages();
    Widget::attach();

    // The texts that change only with a fix are formatted here, not per frame.
    const float maximum = scaleMaximum();
    float speed = NoValue;
    std::array<float, MaxFastest> metres{};
    {
        auto model = core().model();
        const int count = model->sensors.count();
        if (found.speed >= 0 && found.speed < count) speed = model->sensors.at(found.speed)->value(0);
        for (int i = 0; i < found.fastestCount; ++i) {
            if (found.fastest[i] < count) metres[i] = model->sensors.at(found.fastest[i])->value(1);
        }
    }
    wchar_t labels[Labels][LabelSize] = {};
    // The readout shows 0 without a fix and never more than the scale maximum.
    if (found.speed >= 0) std::swprintf(labels[0], LabelSize, L"%i", static_cast<int>(limited(speed, maximum)));
    for (int i = 0; i < found.fastestCount; ++i) {
        std::swprintf(labels[i + 1], LabelSize, L"%g", static_cast<double>(metres[i]));
    }
    auto frame = manager().lockFrame();
    if (found.speed >= 0) std::wmemcpy(labels_[0], labels[0], LabelSize);
    for (int i = 0; i < found.fastestCount; ++i) std::wmemcpy(labels_[i + 1], labels[i + 1], LabelSize);
}

SpeedometerWidget::FoundSensors SpeedometerWidget::foundSensors() {
    auto frame = manager().lockFrame();
    return found_;
}

std::wstring SpeedometerWidget::label(int index) {
    if (index < 0 || index >= Labels) return {};
    auto frame = manager().lockFrame();
    return labels_[index];
}

// ---- Taps ----

void SpeedometerWidget::onMouseUp(Point point) {
    const int cell = ownBarCellAt(point);
    if (cell >= 0) {
        int command = 0;
        {
            auto frame = manager().lockFrame();
            if (cell < ownBar().count()) command = ownBar().at(cell).command();
        }
        // The main window ignores these commands: the page switches its scale itself.
        if (const int mode = modeForCommand(command); mode >= 0) setMode(mode);
    }
    Widget::onMouseUp(point);
}

// ---- Painting ----

void SpeedometerWidget::readFrame(Frame& frame) const {
    const FoundSensors& f = found_;
    frame.mode = mode_;
    const ModeScale& mode = Modes[frame.mode];
    auto model = core().model();
    const SensorSet& sensors = model->sensors;
    const int count = sensors.count();
    const auto valid = [count](int index) { return index >= 0 && index < count; };
    frame.satellitesUsed = model->parser.fix().satellitesUsed;
    if (valid(f.speed)) frame.speed = sensors.at(f.speed)->value(0);
    if (valid(f.average)) frame.average = sensors.at(f.average)->value(0);
    if (valid(f.max)) frame.max = sensors.at(f.max)->value(0);
    if (valid(f.distance)) frame.distance = sensors.at(f.distance)->text();
    if (valid(f.time)) frame.time = sensors.at(f.time)->text();
    if (valid(f.azimuth)) {
        frame.course = sensors.at(f.azimuth)->value(0);
        // The azimuth sensor may keep only its text: then the course it shows, from the fix.
        if (frame.course == NoValue) frame.course = model->parser.fix().course;
    }
    for (int i = 0; i < f.fastestCount; ++i) {
        if (!valid(f.fastest[i])) continue;
        const Sensor& sensor = *sensors.at(f.fastest[i]);
        frame.fastestMetres[i] = sensor.value(1);
        if (showsFastest(mode, frame.fastestMetres[i])) frame.fastestTime[i] = sensor.text();
    }
    for (int i = 0; i < f.accelerationCount; ++i) {
        if (!valid(f.acceleration[i])) continue;
        const Sensor& sensor = *sensors.at(f.acceleration[i]);
        // Nothing measured yet is 0 or no value; only a time above zero is shown.
        const float seconds = sensor.value(0);
        const float target = sensor.value(1);
        if (!(seconds > 0.0f) || !showsTarget(mode, target)) continue;
        frame.accelerationShown[i] = true;
        frame.accelerationTarget[i] = target;
        frame.accelerationTime[i] = sensor.text();
    }
}

void SpeedometerWidget::createFonts(Surface& surface) {
    const auto make = [&surface](std::unique_ptr<Font>& font, const FontSetting& setting) {
        if (!font) font = surface.createFont(setting.name, setting.size, 0);
    };
    make(fastestCache_, fastestFont_);
    make(odomerCache_, odomerFont_);
    make(speedCache_, speedFont_);
    make(clockCache_, clockFont_);
    make(speedometerCache_, speedometerFont_);
}

void SpeedometerWidget::paint(Surface& surface, const Rect& r) {
    surface.fillRect(r, backgroundColour_);
    createFonts(surface);
    const int W = r.width();
    const int H = r.height();
    if (W <= 0 || H <= 0) return;

    const bool landscape = W >= H;
    Rect dial;
    if (landscape) {
        dial.top = r.top + DialTopLandscape;
        dial.bottom = r.bottom - DialBottomMarginLandscape;
        dial.left = r.left;
        dial.right = r.left + (dial.bottom - dial.top) * 3 / 2;
    } else {
        dial = {r.left, r.top + DialTopPortrait, r.right, r.top + DialTopPortrait + (2 * W) / 3};
    }
    if (dial.width() <= 0) return;  // a page too low for a dial

    Frame frame;
    readFrame(frame);

    // The times beside the dial can reach past the page's edges: drawing stays on this
    // page, also while it slides in next to another.
    surface.setClip(r);
    drawDial(surface, dial, frame, landscape);
    drawIcons(surface, r, frame.satellitesUsed);
    int columnsBottom = dial.bottom;
    if (landscape) {
        drawAcceleration(surface, dial, frame);
        drawFastest(surface, dial, frame, true, columnsBottom);
        if (r.right - dial.right > CompassSize - 1) {
            drawCompass(surface, {r.right - CompassSize, r.bottom - CompassSize, r.right, r.bottom}, frame.course);
        }
    } else {
        drawFastest(surface, dial, frame, false, columnsBottom);
        if (found_.time >= 0) {
            const Size size = surface.measureText(*clockCache_, frame.time);
            surface.drawText(*clockCache_, frame.time, (dial.left + dial.right - CompassSize) / 2 - size.width / 2,
                             columnsBottom, clockTextColour_);
        }
        drawCompass(surface, {dial.right - CompassSize, dial.bottom, dial.right, dial.bottom + CompassSize},
                    frame.course);
        drawAcceleration(surface, dial, frame);
    }
    surface.clearClip();
}

void SpeedometerWidget::drawScale(Surface& surface, const Rect& dial, int modeIndex) {
    const ModeScale& mode = Modes[modeIndex];
    const int w = dial.width();
    const int cx = (dial.left + dial.right) / 2;
    const int cy = dial.top + w / 2;
    const int outer = w / 2 - 5;
    const int numberEnd = w / 2 - 22;
    const int numberRadius = numberEnd - (2 * speedometerFont_.size) / 3;
    const int maximum = static_cast<int>(mode.maximum);
    for (int v = 0; v <= maximum; v += mode.tick) {
        const float angle = angleOf(static_cast<float>(v), mode.maximum);
        const Point end = onCircle(cx, cy, static_cast<float>(outer), angle);
        if (v % mode.number == 0) {
            const Point start = onCircle(cx, cy, static_cast<float>(numberEnd), angle);
            surface.line(speedometerColour_, 5, end.x, end.y, start.x, start.y);
            std::swprintf(text_, TextSize, L"%0.0f", static_cast<double>(v));
            const Size size = surface.measureText(*speedometerCache_, text_);
            const Point centre = onCircle(cx, cy, static_cast<float>(numberRadius), angle);
            surface.drawText(*speedometerCache_, text_, centre.x - size.width / 2, centre.y - size.height / 2,
                             speedometerColour_);
        } else {
            const int length = v % mode.medium == 0 ? 13 : 9;
            const Point start = onCircle(cx, cy, static_cast<float>(outer - length), angle);
            surface.line(speedometerColour_, 3, end.x, end.y, start.x, start.y);
        }
    }
}

void SpeedometerWidget::drawDial(Surface& surface, const Rect& dial, const Frame& frame, bool landscape) {
    drawScale(surface, dial, frame.mode);
    const float maximum = Modes[frame.mode].maximum;
    const int w = dial.width();
    const int cx = (dial.left + dial.right) / 2;
    const int cy = dial.top + w / 2;

    int clockTop = 0;  // landscape: the clock stands above the digital speed
    bool clockPlaced = false;
    Size clock;
    if (landscape && found_.time >= 0) clock = surface.measureText(*clockCache_, frame.time);
    if (found_.speed >= 0) {
        const Size size = surface.measureText(*speedCache_, labels_[0]);
        const int top = above(cy, size.height);
        surface.drawText(*speedCache_, labels_[0], cx - size.width / 2, top, speedTextColour_);
        clockTop = above(top, clock.height);
        clockPlaced = true;
    }
    if (landscape && found_.time >= 0) {
        if (!clockPlaced) clockTop = above(cy, clock.height);
        surface.drawText(*clockCache_, frame.time, dial.left + (w - clock.width) / 2, clockTop, clockTextColour_);
    }
    if (found_.speed >= 0) {
        const float speed = std::trunc(limited(frame.speed, maximum));
        const Point tip = onCircle(cx, cy, static_cast<float>(w / 2), angleOf(speed, maximum));
        surface.line(speedArrowColour_, 3, cx, cy, tip.x, tip.y);
        surface.filledCircle(speedArrowColour_, 1, speedArrowColour_, cx, cy, HubRadius);
    }
    const auto marker = [&](float kmh, Colour colour) {
        const float angle = angleOf(limited(kmh, maximum), maximum);
        const Point inner = onCircle(cx, cy, static_cast<float>((2 * w) / 5), angle);
        const Point outer = onCircle(cx, cy, static_cast<float>(w / 2), angle);
        surface.line(colour, 5, inner.x, inner.y, outer.x, outer.y);
    };
    if (found_.average >= 0) marker(frame.average, avgSpeedArrowColour_);
    if (found_.max >= 0) marker(frame.max, maxSpeedArrowColour_);
    if (found_.distance >= 0) {
        const Size size = surface.measureText(*odomerCache_, frame.distance);
        surface.drawText(*odomerCache_, frame.distance, cx - size.width / 2, landscape ? cy + size.height / 4 : cy,
                         odomerTextColour_);
    }
}

void SpeedometerWidget::drawIcons(Surface& surface, const Rect& r, int s) {
    if (const Image* icon = icons_.signal(s)) {
        const Size size = icon->size();
        icon->drawBlended(surface, {r.left, r.top, r.left + size.width, r.top + size.height}, 255);
    }

    const auto status = core().battery().status();
    if (!status) return;
    Rect box{r.right, r.top, r.right, r.top};
    if (const Image* icon = icons_.battery(status->percent)) {
        const Size size = icon->size();
        box = {r.right - size.width, r.top, r.right, r.top + size.height};
        icon->drawBlended(surface, box, 255);
    }
    if (const Image* charging = icons_.charging(); status->charging && charging) {
        const Size size = charging->size();
        const int left = (box.left + box.right - size.width) / 2;
        const int top = (box.top + box.bottom - size.height) / 2;
        charging->drawBlended(surface, {left, top, left + size.width, top + size.height}, ChargingAlpha);
    }
}

int SpeedometerWidget::drawColumn(Surface& surface, int x0, int x1, int labelTop, int labelIndex,
                                  const std::wstring& time, bool landscape) {
    const Font& font = *fastestCache_;
    const Colour colour = fastestColour_;
    const int middle = (x0 + x1) / 2;
    const Size label = surface.measureText(font, labels_[labelIndex]);
    surface.drawText(font, labels_[labelIndex], middle - label.width / 2, labelTop, colour);
    // A bracket under the label spans the column; the best time stands under it.
    int timeTop = 0;
    if (landscape) {
        const int y = labelTop + label.height + 1;
        surface.line(colour, x0, y - 2, x0, y + 2);
        surface.line(colour, x1, y - 2, x1, y + 2);
        surface.line(colour, x0, y, x1, y);
        timeTop = y + 1;
    } else {
        const int y = labelTop + label.height;
        surface.line(colour, x0, y - 1, x0, y + 3);
        surface.line(colour, x1, y - 1, x1, y + 3);
        surface.line(colour, x0, y + 1, x1, y + 1);
        timeTop = y + 2;
    }
    const Size size = surface.measureText(font, time);
    surface.drawText(font, time, middle - size.width / 2, timeTop, colour);
    return timeTop + size.height;
}

void SpeedometerWidget::drawFastest(Surface& surface, const Rect& dial, const Frame& frame, bool landscape,
                                    int& textBottom) {
    const ModeScale& mode = Modes[frame.mode];
    const int w = dial.width();
    // Portrait: three columns under the dial beside the compass; landscape: a row in the
    // dial's open bottom.
    const int g = landscape ? (5 * w) / 24 : (w - CompassSize) / 3;
    int x0 = landscape ? dial.left + (5 * w) / 32 + 2 : dial.left + 2;
    const int labelTop = landscape ? dial.bottom - 25 : dial.bottom;
    for (int i = 0; i < found_.fastestCount; ++i) {
        if (!showsFastest(mode, frame.fastestMetres[i])) continue;  // takes no column
        const int bottom = drawColumn(surface, x0, x0 + g - 4, labelTop, i + 1, frame.fastestTime[i], landscape);
        textBottom = std::max(textBottom, bottom);
        x0 += g;
    }
}

void SpeedometerWidget::drawAcceleration(Surface& surface, const Rect& dial, const Frame& frame) {
    const float maximum = Modes[frame.mode].maximum;
    const int w = dial.width();
    const int cx = (dial.left + dial.right) / 2;
    const int cy = dial.top + w / 2;
    for (int i = 0; i < found_.accelerationCount; ++i) {
        if (!frame.accelerationShown[i]) continue;
        // Turned along the circle, just beyond the speed it belongs to.
        const float angle = angleOf(frame.accelerationTarget[i], maximum);
        const int degrees = static_cast<int>(angle * 180.0f / Pi - 264.0f);
        const auto font = surface.createFont(accelFont_.name, accelFont_.size, degrees);
        const Point corner = onCircle(cx, cy, static_cast<float>(w / 2 + 20), angle + 0.1f);
        surface.drawText(*font, frame.accelerationTime[i], corner.x, corner.y, accelTextColour_);
    }
}

void SpeedometerWidget::drawCompass(Surface& surface, const Rect& box, float course) {
    if (found_.azimuth < 0 || !compass_) return;
    compass_->drawBlended(surface, box, 255);
    // Without a course the needle stands as for course 0. The course is brought into one
    // turn first: an absurd value would overflow the conversion to radians.
    float a = course;
    if (a == NoValue || !std::isfinite(a)) a = 0.0f;
    a = std::fmod(a, 360.0f);
    // The needle shows north relative to the direction of travel.
    const float phi = (90.0f - a) * Pi / 180.0f;
    const float dx = CompassNeedle * std::cos(phi);
    const float dy = CompassNeedle * std::sin(phi);
    const int cx = box.left + 32;
    const int cy = box.top + 32;
    const auto rounded = [](float value) { return static_cast<int>(value + 0.5f); };
    surface.line(southArrowColour_, 3, cx, cy, rounded(cx + dx), rounded(cy + dy));
    surface.line(northArrowColour_, 3, cx, cy, rounded(cx - dx), rounded(cy - dy));
}

// ---- Settings ----

void SpeedometerWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("SpeedArrowColor", ColourSetting::toText(speedArrowColour_));
    put("SpeedTextColor", ColourSetting::toText(speedTextColour_));
    put("MaxSpeedArrowColor", ColourSetting::toText(maxSpeedArrowColour_));
    put("AvgSpeedArrowColor", ColourSetting::toText(avgSpeedArrowColour_));
    put("OdomerTextColor", ColourSetting::toText(odomerTextColour_));
    put("AccelTextColor", ColourSetting::toText(accelTextColour_));
    put("FastestColor", ColourSetting::toText(fastestColour_));
    put("NorthArrowColor", ColourSetting::toText(northArrowColour_));
    put("SouthArrowColor", ColourSetting::toText(southArrowColour_));
    put("ClockTextColor", ColourSetting::toText(clockTextColour_));
    put("SpeedometerColor", ColourSetting::toText(speedometerColour_));
    put("AccelTextFontName", accelFont_.name);
    put("FastestTextFontName", fastestFont_.name);
    put("OdomerTextFontName", odomerFont_.name);
    put("SpeedTextFontName", speedFont_.name);
    put("ClockTextFontName", clockFont_.name);
    put("SpeedometerTextFontName", speedometerFont_.name);
    put("AccelFontSize", std::to_string(accelFont_.size));
    put("FastestFontSize", std::to_string(fastestFont_.size));
    put("OdomerFontSize", std::to_string(odomerFont_.size));
    put("SpeedFontSize", std::to_string(speedFont_.size));
    put("ClockFontSize", std::to_string(clockFont_.size));
    put("SpeedometerFontSize", std::to_string(speedometerFont_.size));
    put("SpeedometerMode", std::to_string(mode_));
}

void SpeedometerWidget::loadSettings(const IniFile& ini) {
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BackGroundColor", backgroundColour_);
    colour("SpeedArrowColor", speedArrowColour_);
    colour("SpeedTextColor", speedTextColour_);
    colour("MaxSpeedArrowColor", maxSpeedArrowColour_);
    colour("AvgSpeedArrowColor", avgSpeedArrowColour_);
    colour("OdomerTextColor", odomerTextColour_);
    colour("AccelTextColor", accelTextColour_);
    colour("FastestColor", fastestColour_);
    colour("NorthArrowColor", northArrowColour_);
    colour("SouthArrowColor", southArrowColour_);
    colour("ClockTextColor", clockTextColour_);
    colour("SpeedometerColor", speedometerColour_);
    PageSettings::readFace(ini, "AccelTextFontName", section, accelFont_.name);
    PageSettings::readFace(ini, "FastestTextFontName", section, fastestFont_.name);
    PageSettings::readFace(ini, "OdomerTextFontName", section, odomerFont_.name);
    PageSettings::readFace(ini, "SpeedTextFontName", section, speedFont_.name);
    PageSettings::readFace(ini, "ClockTextFontName", section, clockFont_.name);
    PageSettings::readFace(ini, "SpeedometerTextFontName", section, speedometerFont_.name);
    PageSettings::readFontSize(ini, "AccelFontSize", section, accelFont_.size);
    PageSettings::readFontSize(ini, "FastestFontSize", section, fastestFont_.size);
    PageSettings::readFontSize(ini, "OdomerFontSize", section, odomerFont_.size);
    PageSettings::readFontSize(ini, "SpeedFontSize", section, speedFont_.size);
    PageSettings::readFontSize(ini, "ClockFontSize", section, clockFont_.size);
    PageSettings::readFontSize(ini, "SpeedometerFontSize", section, speedometerFont_.size);
    // Any number goes through the mode rule (7 gives mode 1); text that is no number
    // leaves the mode as it is.
    if (const std::optional<int> mode = PageSettings::readInt(ini, "SpeedometerMode", section)) setMode(*mode);
}

}  // namespace movira
