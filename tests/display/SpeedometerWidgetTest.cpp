// The speedometer page on pixels: the sensors it finds, the digital speed and needle held
// to the scale, ticks and numbers per mode, the markers, the fastest columns per mode,
// acceleration times only where measured, the compass, the mode buttons, the portrait and
// landscape layouts, and absurd values that stay on the page.
#include "core/UserCommand.h"
#include "display/SpeedometerWidget.h"
#include "display/Surface.h"
#include "settings/IniFile.h"
#include "tests/display/DisplayTestBed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace movira::test {
namespace {

constexpr int kPage = 1;
constexpr double kPi = 3.14159265358979;

const QRgb kScale = rgbOf(0x00A4A4);
const QRgb kNeedle = rgbOf(0x0000FF);  // also the maximum marker and the south half
const QRgb kAverage = rgbOf(0x00FF00);
const QRgb kFastest = rgbOf(0x80FF00);
const QRgb kAccel = rgbOf(0x00FF80);
const QRgb kNorth = rgbOf(0xFF0000);
const QRgb kSouth = rgbOf(0x0000FF);
const QRgb kBackground = 0;
// The compass test picture, solid grey 64, as it reaches the frame.
const QRgb kCompassGrey = loadedColour(qRgb(64, 64, 64));

// The dial as the page lays it out: its box, and the circle in the box's top square.
struct Dial {
    Rect box;
    int w = 0;
    int cx = 0;
    int cy = 0;
    double maximum = 120;

    static Dial of(int width, int height, double maximum) {
        Dial d;
        if (width < height) {
            d.box = {0, 25, width, 25 + 2 * width / 3};
        } else {
            d.box = {0, 15, (height - 25) * 3 / 2, height - 10};
        }
        d.w = d.box.width();
        d.cx = d.w / 2;
        d.cy = d.box.top + d.w / 2;
        d.maximum = maximum;
        return d;
    }
    // 197.5 degrees at 0, -17.5 degrees at the maximum, clockwise over the top.
    double angle(double kmh) const { return (197.5 - 215.0 * kmh / maximum) * kPi / 180.0; }
    Point at(double radius, double angle) const {
        return {static_cast<int>(cx + radius * std::cos(angle)), static_cast<int>(cy - radius * std::sin(angle))};
    }
    QRgb pixelAt(const QImage& frame, double radius, double kmh) const {
        const Point p = at(radius, angle(kmh));
        return pixel(frame, p.x, p.y);
    }
};

const double kMaximum[] = {60, 120, 250, 400};

class SpeedometerPage {
public:
    explicit SpeedometerPage(int width = 480, int height = 800) : bed(width, height) {
        // The compass picture: a solid dark grey square.
        bed.writePicture("compass", 65, 65, qRgb(64, 64, 64));
        bed.pages->setCurrentIndex(kPage);
    }
    SpeedometerWidget& widget() { return static_cast<SpeedometerWidget&>(bed.pages->page(kPage)); }
    Dial dial() {
        return Dial::of(bed.window.clientSize().width, bed.window.clientSize().height,
                        kMaximum[widget().mode()]);
    }

    // A complete fix at 12:mm:ss, `second` seconds after noon; an empty course keeps the last one.
    void drive(double kmh, int second, const char* course = "") {
        char time[16];
        // Six digits: the receiver's time (with decimals the parser takes the device clock's).
        std::snprintf(time, sizeof time, "12%02d%02d", second / 60 % 60, second % 60);
        char gga[160];
        std::snprintf(gga, sizeof gga, "GPGGA,%s,5230.000,N,01320.000,E,1,08,0.9,35.0,M,0.0,M,,", time);
        bed.core->onSentence(nmea(gga));
        char rmc[160];
        std::snprintf(rmc, sizeof rmc, "GPRMC,%s,A,5230.000,N,01320.000,E,%.3f,%s,030524,,,A", time, kmh / 1.852,
                      course);
        bed.core->onSentence(nmea(rmc));
    }
    // One frame without the bars over the page.
    QImage frame() {
        bed.hideBars();
        return bed.frame();
    }
    std::wstring caption(int index) {
        auto model = bed.core->model();
        return index >= 0 ? model->sensors.at(index)->caption() : L"(none)";
    }
    float value(int index, int which) {
        auto model = bed.core->model();
        return model->sensors.at(index)->value(which);
    }

    DisplayTestBed bed;
};

// Where a text's pixels of `colour` lie when drawn alone at 0, 0 in the page's font.
std::vector<Point> textInk(const char* face, int size, const std::wstring& text, QRgb colour, Size& measured) {
    Surface surface;
    surface.resize(Size{400, 100}, 96, 96);
    surface.fillRect(surface.bounds(), 0);
    const auto font = surface.createFont(face, size, 0);
    measured = surface.measureText(*font, text);
    surface.drawText(*font, text, 0, 0, static_cast<Colour>(qRed(colour) | qGreen(colour) << 8 | qBlue(colour) << 16));
    std::vector<Point> ink;
    const QImage image = surface.target().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 400; ++x) {
            if (pixel(image, x, y) == colour) ink.push_back({x, y});
        }
    }
    return ink;
}

// Whether the frame shows exactly the text's ink with its top-left corner at x, y.
bool showsText(const QImage& frame, const std::vector<Point>& ink, Size measured, int x, int y, QRgb colour) {
    int matched = 0;
    for (int dy = 0; dy < measured.height; ++dy) {
        for (int dx = -1; dx <= measured.width; ++dx) {
            const bool expected = std::find(ink.begin(), ink.end(), Point{dx, dy}) != ink.end();
            const bool shown = pixel(frame, x + dx, y + dy) == colour;
            if (expected != shown) return false;
            matched += expected;
        }
    }
    return matched > 0;
}

// Every pixel of the text's ink is there, with its top-left corner at x, y. For places
// where other drawing of the colour comes near (the numbers touch their ticks).
bool containsText(const QImage& frame, const std::vector<Point>& ink, int x, int y, QRgb colour) {
    if (ink.empty()) return false;
    for (const Point& p : ink) {
        if (pixel(frame, x + p.x, y + p.y) != colour) return false;
    }
    return true;
}

TEST(SpeedometerWidget, FindsItsSensorsByCaptionAtTheFirstFix) {
    SpeedometerPage page;
    EXPECT_EQ(page.widget().foundSensors().speed, -1);
    page.drive(30, 0, "45.0");
    const SpeedometerWidget::FoundSensors found = page.widget().foundSensors();
    const UiText& texts = page.bed.core->uiText();
    EXPECT_EQ(page.caption(found.speed), texts.speed());
    EXPECT_EQ(page.caption(found.average), texts.averageSpeed());
    // The geodesic distance comes first and is taken.
    EXPECT_EQ(page.caption(found.distance), std::wstring(texts.distance()) + L" ex");
    EXPECT_EQ(page.caption(found.max), texts.maxSpeed());
    EXPECT_EQ(page.caption(found.time), texts.currentTime());
    EXPECT_EQ(page.caption(found.azimuth), texts.azimuth());
    ASSERT_EQ(found.fastestCount, 5);
    const float metres[] = {100, 402, 500, 1000, 10000};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(page.value(found.fastest[i], 1), metres[i]) << i;
    // Thirteen acceleration sensors: 0-300 km/h is left out.
    ASSERT_EQ(found.accelerationCount, 13);
    EXPECT_EQ(page.value(found.acceleration[0], 1), 10.0f);
    EXPECT_EQ(page.value(found.acceleration[12], 1), 250.0f);

    // Later fixes find nothing new and list nothing twice.
    page.drive(31, 1);
    const SpeedometerWidget::FoundSensors again = page.widget().foundSensors();
    EXPECT_EQ(again.fastestCount, 5);
    EXPECT_EQ(again.accelerationCount, 13);
    EXPECT_EQ(again.fastest, found.fastest);

    // The labels: the speed and the fastest distances as "%g".
    EXPECT_EQ(page.widget().label(0), L"31");
    const wchar_t* labels[] = {L"100", L"402", L"500", L"1000", L"10000"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(page.widget().label(i + 1), labels[i]);
}

TEST(SpeedometerWidget, TheReadoutStaysOnTheScale) {
    struct Case {
        int mode;
        double kmh;
        const wchar_t* shown;
    } cases[] = {
        {1, 135, L"120"}, {1, 50.7, L"50"}, {1, 0, L"0"}, {0, 135, L"60"}, {2, 135.5, L"135"},
        {3, 399.9, L"399"}, {3, 1000, L"400"},
    };
    SpeedometerPage page;
    int second = 0;
    for (const auto& c : cases) {
        page.widget().setMode(c.mode);
        page.drive(c.kmh, ++second);
        EXPECT_EQ(page.widget().label(0), c.shown) << c.mode << " " << c.kmh;
    }
    // A fix without a speed shows 0.
    page.bed.core->onSentence(nmea("GPRMC,120509.00,V,,,,,,,030524,,,N"));
    EXPECT_EQ(page.widget().label(0), L"0");
}

TEST(SpeedometerWidget, AtTwiceTheSpeedTheNeedleRestsAtTheLowerRightEnd) {
    SpeedometerPage page;
    page.drive(0, 0);
    page.drive(135, 1);
    const QImage frame = page.frame();
    const Dial d = page.dial();
    EXPECT_EQ(page.widget().label(0), L"120");
    // Along the needle up to its tip at radius w / 2, at the angle of 120 km/h.
    for (double radius : {20.0, 100.0, 200.0, d.w / 2.0 - 4}) {
        EXPECT_EQ(d.pixelAt(frame, radius, 120), kNeedle) << radius;
    }
    EXPECT_EQ(d.pixelAt(frame, d.w / 2.0 + 3, 120), kBackground);  // ends at radius w / 2
    EXPECT_EQ(d.pixelAt(frame, 150, 135), kBackground);             // not beyond the scale
    // The hub, a disc of radius 7.
    EXPECT_EQ(pixel(frame, d.cx + 5, d.cy - 4), kNeedle);
    EXPECT_EQ(pixel(frame, d.cx - 5, d.cy + 4), kNeedle);
    EXPECT_EQ(pixel(frame, d.cx - 9, d.cy - 9), kBackground);
    // The readout "120" in LCD digits, centred on the hub, 1.1 text heights above it (the
    // hub covers the lowest rows).
    const QRgb cyan = rgbOf(0xFFFF00);
    Size measured;
    const auto ink = textInk("LCD", 40, L"120", cyan, measured);
    const int top = static_cast<int>(d.cy - 1.1 * measured.height);
    EXPECT_TRUE(showsText(frame, ink, {measured.width, d.cy - 8 - top}, d.cx - measured.width / 2, top, cyan));
}

struct TickCase {
    int mode;
    int ticks;     // all ticks
    int numbered;  // ticks with a number
    int medium;    // longer ticks without a number
    int numberEvery;
};

class SpeedometerScale : public ::testing::TestWithParam<std::tuple<TickCase, bool>> {};

TEST_P(SpeedometerScale, TicksAndNumbersStandWhereTheModePutsThem) {
    const auto [c, landscape] = GetParam();
    SpeedometerPage page(landscape ? 800 : 480, landscape ? 480 : 800);
    page.widget().setMode(c.mode);
    const QImage frame = page.frame();  // no fix: no needle or markers over the ticks
    const Dial d = page.dial();
    const int tick = static_cast<int>(d.maximum) / (c.ticks - 1);
    const int outer = d.w / 2 - 5;
    int ticks = 0;
    int numbered = 0;
    int medium = 0;
    // Every step of the tick interval is a tick (and nothing halfway between): the inner
    // end tells the kind: numbered to w/2 - 22, medium to R - 13, small to R - 9.
    for (int v = 0; v <= d.maximum; v += tick) {
        ticks += d.pixelAt(frame, outer - 2, v) == kScale;
        if (v < d.maximum) {
            EXPECT_EQ(d.pixelAt(frame, outer - 2, v + tick / 2.0), kBackground) << v;
        }
        const bool isNumbered = d.pixelAt(frame, d.w / 2 - 20, v) == kScale;
        const bool reachesMedium = d.pixelAt(frame, outer - 11, v) == kScale;
        EXPECT_EQ(d.pixelAt(frame, outer - 7, v), kScale) << v;
        numbered += isNumbered;
        medium += reachesMedium && !isNumbered;
        EXPECT_EQ(isNumbered, v % c.numberEvery == 0) << v;
    }
    // Numbers on the circle inside the numbered ticks, none halfway between them.
    const int numberRadius = d.w / 2 - 22 - 2 * 20 / 3;
    for (int v = 0; v <= d.maximum; v += c.numberEvery / 2) {
        const Point centre = d.at(numberRadius, d.angle(v));
        const Rect number = inkBox(frame, kScale, {centre.x - 6, centre.y - 6, centre.x + 7, centre.y + 7});
        EXPECT_EQ(number != Rect{}, v % c.numberEvery == 0) << v;
    }
    EXPECT_EQ(ticks, c.ticks);
    EXPECT_EQ(numbered, c.numbered);
    EXPECT_EQ(medium, c.medium);
}

INSTANTIATE_TEST_SUITE_P(Modes, SpeedometerScale,
                         ::testing::Combine(::testing::Values(TickCase{0, 61, 7, 6, 10}, TickCase{1, 25, 7, 6, 20},
                                                              TickCase{2, 26, 6, 0, 50}, TickCase{3, 17, 9, 8, 50}),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return "Mode" + std::to_string(std::get<0>(info.param).mode) +
                                    (std::get<1>(info.param) ? "Landscape" : "Portrait");
                         });

TEST(SpeedometerWidget, NumbersAreTheirValuesCentredOnTheirPoint) {
    SpeedometerPage page;
    page.widget().setMode(3);
    const QImage frame = page.frame();
    const Dial d = page.dial();
    for (int v : {0, 50, 200, 350, 400}) {
        Size measured;
        const std::wstring text = std::to_wstring(v);
        const auto ink = textInk("Times New Roman", 20, text, kScale, measured);
        const Point centre = d.at(d.w / 2 - 22 - 2 * 20 / 3, d.angle(v));
        // One pixel of play for the angle's rounding.
        bool found = false;
        for (int dx = -1; dx <= 1 && !found; ++dx) {
            for (int dy = -1; dy <= 1 && !found; ++dy) {
                found = containsText(frame, ink, centre.x - measured.width / 2 + dx,
                                     centre.y - measured.height / 2 + dy, kScale);
            }
        }
        EXPECT_TRUE(found) << v;
    }
}

TEST(SpeedometerWidget, MarkersStandAtTheAverageAndTheMaximum) {
    SpeedometerPage page;
    int second = 0;
    for (double kmh : {0.0, 20.0, 40.0, 60.0, 80.0, 100.0, 30.0}) page.drive(kmh, second++);
    const auto found = page.widget().foundSensors();
    const float average = page.value(found.average, 0);
    const float maximum = page.value(found.max, 0);
    ASSERT_GT(average, 5.0f);
    ASSERT_NEAR(maximum, 100.0f, 0.1f);
    const QImage frame = page.frame();
    const Dial d = page.dial();
    // From 2w/5 to w/2, width 5.
    EXPECT_EQ(d.pixelAt(frame, d.w * 0.45, average), kAverage);
    EXPECT_EQ(d.pixelAt(frame, 2 * d.w / 5 + 2, average), kAverage);
    EXPECT_EQ(d.pixelAt(frame, 2 * d.w / 5 - 4, average), kBackground);
    EXPECT_EQ(d.pixelAt(frame, d.w * 0.45, maximum), kNeedle);
    EXPECT_EQ(d.pixelAt(frame, d.w / 2 - 2, maximum), kNeedle);
    // The needle at 30 km/h.
    EXPECT_EQ(d.pixelAt(frame, 100, 30), kNeedle);
    // The odometer: magenta text centred under the hub.
    const Rect odometer = inkBox(frame, rgbOf(0xFF00FF), {0, d.cy, 480, d.cy + 60});
    ASSERT_NE(odometer, Rect{});
    EXPECT_NEAR((odometer.left + odometer.right) / 2, d.cx, 4);
}

struct ColumnCase {
    int mode;
    std::vector<std::wstring> labels;
};

class SpeedometerColumns : public ::testing::TestWithParam<std::tuple<ColumnCase, bool>> {};

TEST_P(SpeedometerColumns, EachModeShowsItsThreeDistances) {
    const auto& [c, landscape] = GetParam();
    SpeedometerPage page(landscape ? 800 : 480, landscape ? 480 : 800);
    page.drive(10, 0);
    page.widget().setMode(c.mode);
    const QImage frame = page.frame();
    const Dial d = page.dial();
    const int g = landscape ? 5 * d.w / 24 : (d.w - 65) / 3;
    int x0 = landscape ? 5 * d.w / 32 + 2 : 2;
    const int labelTop = landscape ? d.box.bottom - 25 : d.box.bottom;
    for (const std::wstring& label : c.labels) {
        const int x1 = x0 + g - 4;
        Size measured;
        const auto ink = textInk("Times New Roman", 14, label, kFastest, measured);
        EXPECT_TRUE(showsText(frame, ink, measured, (x0 + x1) / 2 - measured.width / 2, labelTop, kFastest))
            << std::string(label.begin(), label.end());
        // The bracket under the label: ends at x0 and x1, the bar across.
        const int y = labelTop + measured.height + (landscape ? 1 : 0);
        const int bar = landscape ? y : y + 1;
        EXPECT_EQ(pixel(frame, x0, y), kFastest);
        EXPECT_EQ(pixel(frame, x1, y), kFastest);
        EXPECT_EQ(pixel(frame, (x0 + x1) / 2, bar), kFastest);
        EXPECT_EQ(pixel(frame, x1 + 2, bar), kBackground);
        x0 += g;
    }
    // No fourth column (in portrait the compass stands there).
    if (landscape) {
        EXPECT_EQ(inkBox(frame, kFastest, {x0, labelTop, x0 + g, labelTop + 30}), Rect{});
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, SpeedometerColumns,
                         ::testing::Combine(::testing::Values(ColumnCase{0, {L"100", L"500", L"1000"}},
                                                              ColumnCase{1, {L"100", L"500", L"1000"}},
                                                              ColumnCase{2, {L"402", L"1000", L"10000"}},
                                                              ColumnCase{3, {L"100", L"402", L"1000"}}),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return "Mode" + std::to_string(std::get<0>(info.param).mode) +
                                    (std::get<1>(info.param) ? "Landscape" : "Portrait");
                         });

TEST(SpeedometerWidget, AccelerationTimesAreDrawnOnlyWhereMeasured) {
    SpeedometerPage page;
    int second = 0;
    // From a standstill to 50 km/h: 0-10 to 0-50 have times, the others none.
    for (double kmh : {0.0, 0.0, 10.0, 20.0, 30.0, 40.0, 50.0}) page.drive(kmh, second++);
    const auto found = page.widget().foundSensors();
    ASSERT_GT(page.value(found.acceleration[3], 0), 0.0f);  // 0-40
    ASSERT_FALSE(page.value(found.acceleration[5], 0) > 0.0f);  // 0-60: nothing yet

    struct Case {
        int mode;
        std::vector<double> drawn;  // targets with a time among the mode's
    } cases[] = {{1, {40}}, {0, {20, 30, 40}}, {2, {}}, {3, {}}};
    for (const auto& c : cases) {
        page.widget().setMode(c.mode);
        const QImage frame = page.frame();
        const Dial d = page.dial();
        const Rect all = inkBox(frame, kAccel, {0, 0, 480, 800});
        if (c.drawn.empty()) {
            EXPECT_EQ(all, Rect{}) << c.mode;
            continue;
        }
        ASSERT_NE(all, Rect{}) << c.mode;
        // Each time starts at its corner, outside the dial, 0.1 rad beyond its speed.
        int covered = 0;
        for (double target : c.drawn) {
            const Point corner = d.at(d.w / 2 + 20, d.angle(target) + 0.1);
            const Rect near = inkBox(frame, kAccel, {corner.x - 60, corner.y - 60, corner.x + 61, corner.y + 61});
            EXPECT_NE(near, Rect{}) << c.mode << " " << target;
            covered += near != Rect{};
        }
        // Nothing inside the dial.
        for (int y = all.top; y < all.bottom; ++y) {
            for (int x = all.left; x < all.right; ++x) {
                if (pixel(frame, x, y) != kAccel) continue;
                EXPECT_GT(std::hypot(x - d.cx, y - d.cy), d.w / 2.0 + 10) << x << "," << y;
            }
        }
        EXPECT_EQ(covered, static_cast<int>(c.drawn.size()));
    }
}

TEST(SpeedometerWidget, ASavedModeOutsideTheFourLoadsAsMode1) {
    struct Case {
        const char* saved;
        int mode;
    } cases[] = {{"7", 1}, {"0", 0}, {"3", 3}, {"-1", 1}, {"2", 2}, {"", 2}, {"fast", 2}};
    SpeedometerPage page;
    for (const auto& c : cases) {
        IniFile ini;
        ini.setValue("SpeedometerMode", c.saved, "SpeedometerWidget");
        page.bed.pages->loadSettings(ini);
        EXPECT_EQ(page.widget().mode(), c.mode) << c.saved;
    }
    // Mode 1 draws the 120 scale: its top number, 60, straight above the centre (mode 2
    // has no tick there).
    IniFile ini;
    ini.setValue("SpeedometerMode", "7", "SpeedometerWidget");
    page.bed.pages->loadSettings(ini);
    const QImage frame = page.frame();
    const Dial d = page.dial();
    EXPECT_EQ(pixel(frame, d.cx, d.cy - d.w / 2 + 8), kScale);
}

TEST(SpeedometerWidget, ANarrowPortraitPageHasItsDialInTheTopSquare) {
    SpeedometerPage page(240, 320);
    const QImage frame = page.frame();
    // Dial box 25..185; circle of radius 115 round (120, 145).
    const Rect scale = inkBox(frame, kScale, {0, 0, 240, 320});
    ASSERT_NE(scale, Rect{});
    EXPECT_NEAR(scale.top, 30, 1);  // the 60 tick's outer end at 145 - 115
    EXPECT_LE(scale.bottom, 185);
    EXPECT_GE(scale.left, 120 - 115 - 2);
    EXPECT_LE(scale.right, 120 + 115 + 2);
    // The outer ends of the ticks at 0, 60 and 120 km/h.
    EXPECT_EQ(pixel(frame, 120, 32), kScale);
    const Point zero{static_cast<int>(120 + 113 * std::cos(197.5 * kPi / 180)),
                     static_cast<int>(145 - 113 * std::sin(197.5 * kPi / 180))};
    EXPECT_EQ(pixel(frame, zero.x, zero.y), kScale);
    EXPECT_EQ(pixel(frame, 240 - zero.x - 1, zero.y), kScale);
    EXPECT_EQ(pixel(frame, 120, 27), kBackground);
}

TEST(SpeedometerWidget, TheCompassShowsNorthRelativeToTheCourse) {
    struct Case {
        bool landscape;
        const char* course;  // "" = never a course
        int northX;          // direction of the north half from the centre
        int northY;
    } cases[] = {
        {false, "", 0, -1},    {false, "0.0", 0, -1},  {false, "90.0", -1, 0}, {false, "180.0", 0, 1},
        {false, "270.0", 1, 0}, {true, "", 0, -1},     {true, "90.0", -1, 0},
        {false, "3e38", 0, 0},  // absurd but finite: some direction, no overflow
    };
    for (const auto& c : cases) {
        SpeedometerPage page(c.landscape ? 800 : 480, c.landscape ? 480 : 800);
        page.drive(40, 0, c.course);
        const QImage frame = page.frame();
        const Dial d = page.dial();
        const Point centre = c.landscape ? Point{800 - 65 + 32, 480 - 65 + 32}
                                         : Point{d.box.right - 65 + 32, d.box.bottom + 32};
        // The picture around the needle.
        EXPECT_EQ(pixel(frame, centre.x - 30, centre.y - 30), kCompassGrey) << c.course;
        if (std::string(c.course) == "3e38") {
            EXPECT_NE(inkBox(frame, kNorth, {centre.x - 32, centre.y - 32, centre.x + 33, centre.y + 33}), Rect{});
            continue;
        }
        EXPECT_EQ(pixel(frame, centre.x + 20 * c.northX, centre.y + 20 * c.northY), kNorth) << c.course;
        EXPECT_EQ(pixel(frame, centre.x - 20 * c.northX, centre.y - 20 * c.northY), kSouth) << c.course;
        // 27 pixels long.
        EXPECT_EQ(pixel(frame, centre.x + 30 * c.northX, centre.y + 30 * c.northY), kCompassGrey) << c.course;
    }
}

TEST(SpeedometerWidget, ALandscapePageNeedsRoomForTheCompass) {
    // 800 x 480: the dial ends at 682, 118 pixels are left: the compass is there. At 700 x 480
    // 18 are left: none.
    for (int width : {800, 700}) {
        SpeedometerPage page(width, 480);
        page.drive(40, 0, "0.0");
        const QImage frame = page.frame();
        const Rect compass = inkBox(frame, kCompassGrey, {width - 65, 415, width, 480});
        EXPECT_EQ(compass != Rect{}, width == 800) << width;
    }
}

TEST(SpeedometerWidget, AModeButtonSwitchesTheScaleBeforeItsCommandIsPosted) {
    SpeedometerPage page;  // portrait: the own bar along the bottom, cells 79 long
    page.drive(30, 0);
    const auto tap = [&](Point p) {
        page.bed.pages->onMouseDown(p);
        page.bed.pages->onMouseUp(p);
    };
    struct Case {
        Point point;
        int mode;     // after the tap
        int command;  // posted
    } cases[] = {
        {{100, 780}, 0, VeloMode}, {{420, 780}, 0, NextWidget}, {{340, 780}, 3, PlaneMode},
        {{260, 780}, 2, RaceMode}, {{170, 10}, 2, ShowOptions}, {{20, 780}, 2, PrevWidget},
        {{120, 780}, 0, VeloMode}, {{180, 780}, 1, SlowMode}, {{240, 400}, 1, 0},
    };
    for (const auto& c : cases) {
        page.bed.port.lastCommand = 0;
        page.widget().showButtons();
        tap(c.point);
        EXPECT_EQ(page.widget().mode(), c.mode) << c.point.x << "," << c.point.y;
        EXPECT_EQ(page.bed.port.lastCommand, c.command) << c.point.x << "," << c.point.y;
    }
    // With the bars hidden a tap on the bar's place changes nothing.
    for (ButtonEdge edge : {ButtonEdge::Top, ButtonEdge::Bottom}) page.bed.pages->countdowns().hide(edge);
    tap({100, 780});
    EXPECT_EQ(page.widget().mode(), 1);
}

// Absurd sensor values: the readout and needle stay on the scale, nothing is drawn outside
// the page's rectangle, and no conversion overflows (the sanitizers catch that).
TEST(SpeedometerWidget, AbsurdValuesStayOnTheScaleAndOnThePage) {
    SpeedometerPage page;
    int second = 0;
    for (double kmh : {0.0, 0.0, 20.0, 40.0, 60.0, 80.0}) page.drive(kmh, second++, "10.0");
    const float absurd[] = {3.4e38f, -3.4e38f, -9999.0f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    for (float value : absurd) {
        {
            auto model = page.bed.core->model();
            GpsFix fix = model->parser.fix();
            fix.speed = value;
            fix.course = value;
            for (int i = 0; i < model->sensors.count(); ++i) model->sensors.at(i)->update(fix);
        }
        page.widget().attach();
        const std::wstring readout = page.widget().label(0);
        const int shown = std::stoi(readout);
        EXPECT_GE(shown, 0) << value;
        EXPECT_LE(shown, 120) << value;

        const QImage frame = page.frame();
        const Dial d = page.dial();
        // The needle's pixels all lie within the dial's circle.
        const Rect needle = inkBox(frame, kNeedle, {0, 0, 480, 800});
        ASSERT_NE(needle, Rect{}) << value;
        EXPECT_GE(needle.top, d.cy - d.w / 2 - 3) << value;
        EXPECT_LE(needle.bottom, d.box.bottom + 80) << value;  // or the compass below

        // Drawn into a rectangle inside a larger buffer: nothing outside it changes.
        Surface surface;
        surface.resize(Size{640, 900}, 96, 96);
        constexpr Colour kOutside = 0x102030;
        surface.fillRect(surface.bounds(), kOutside);
        const Rect inner{100, 50, 580, 850};
        {
            auto lock = page.bed.pages->lockFrame();
            page.widget().paint(surface, inner);
        }
        const QImage image = surface.target().convertToFormat(QImage::Format_RGB32);
        int outside = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (inner.contains({x, y})) continue;
                outside += pixel(image, x, y) != rgbOf(kOutside);
            }
        }
        EXPECT_EQ(outside, 0) << value;
    }
}

TEST(SpeedometerWidget, LongFaceNamesAreCutAndStillDraw) {
    SpeedometerPage page;
    std::string cyrillic;
    for (int i = 0; i < 200; ++i) cyrillic += "Ж";  // 400 bytes
    IniFile ini;
    ini.setValue("SpeedometerTextFontName", cyrillic, "SpeedometerWidget");
    ini.setValue("SpeedTextFontName", std::string(1000, 'x'), "SpeedometerWidget");
    page.bed.pages->loadSettings(ini);
    IniFile saved;
    page.widget().saveSettings(saved);
    const std::string face = saved.getValue("SpeedometerTextFontName", "SpeedometerWidget");
    EXPECT_EQ(face.size(), 254u);  // 127 whole letters of two bytes
    EXPECT_EQ(face, cyrillic.substr(0, 254));
    EXPECT_EQ(saved.getValue("SpeedTextFontName", "SpeedometerWidget").size(), 255u);
    page.drive(50, 0);
    const QImage frame = page.frame();
    EXPECT_NE(inkBox(frame, kScale, {0, 0, 480, 800}), Rect{});
}

}  // namespace
}  // namespace movira::test
