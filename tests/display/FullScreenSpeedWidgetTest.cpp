// The large speed page on pixels: the digits, the time between the icons, the icons
// chosen by satellites and battery, the colours from the settings, and the font fitting.
#include "display/FullScreenSpeedWidget.h"
#include "display/Surface.h"
#include "settings/IniFile.h"
#include "tests/display/DisplayTestBed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace movira::test {
namespace {

constexpr int kPage = 2;

const QRgb kWhite = rgbOf(0xFFFFFF);
const QRgb kTimeGreen = rgbOf(FullScreenSpeedWidget::DefaultTimeText);

class FullScreenSpeedPage {
public:
    explicit FullScreenSpeedPage(int width = 480, int height = 800, bool pictures = true)
        : bed(width, height, 96, pictures) {
        bed.pages->setCurrentIndex(kPage);
    }
    QImage show(double kmh, int satellites = 8) {
        bed.fix(kmh, satellites);
        return bed.pageFrame(kPage);  // no bars over the page
    }
    DisplayTestBed bed;
};

TEST(FullScreenSpeedWidget, SpeedTextRoundsToWholeKilometresPerHour) {
    struct Case {
        float kmh;
        const wchar_t* text;
    } cases[] = {
        {-9999.0f, L"0"}, {0.4f, L"0"}, {0.5f, L"1"}, {99.5f, L"100"}, {123.49f, L"123"}, {-3.0f, L"0"},
        {std::numeric_limits<float>::quiet_NaN(), L"0"}, {3.4e38f, L"2147483647"},
        {std::numeric_limits<float>::infinity(), L"2147483647"},
    };
    for (const auto& c : cases) EXPECT_EQ(FullScreenSpeedWidget::speedText(c.kmh), c.text) << c.kmh;
}

TEST(FullScreenSpeedWidget, FindsItsSensorsAtTheFirstFix) {
    FullScreenSpeedPage page;
    auto& widget = static_cast<FullScreenSpeedWidget&>(page.bed.pages->page(kPage));
    EXPECT_EQ(widget.speedSensorIndex(), -1);
    // Before the first fix: only the background, no digits and no time.
    QImage frame = page.bed.frame();
    EXPECT_EQ(inkBox(frame, kWhite, {0, 100, 480, 800}), Rect{});
    frame = page.show(50);
    auto model = page.bed.core->model();
    ASSERT_GE(widget.speedSensorIndex(), 0);
    ASSERT_GE(widget.timeSensorIndex(), 0);
    EXPECT_STREQ(model->sensors.at(widget.speedSensorIndex())->caption(), L"Speed");
    EXPECT_STREQ(model->sensors.at(widget.timeSensorIndex())->caption(), L"Current time");
}

TEST(FullScreenSpeedWidget, DigitsAreRightAlignedBelowTheIcons) {
    FullScreenSpeedPage page;
    const QImage frame = page.show(123);
    const Rect digits = inkBox(frame, kWhite, {0, 16, 480, 800});
    ASSERT_NE(digits, Rect{});
    EXPECT_GE(digits.right, 460);  // right-aligned (the face keeps a little room right of a digit)
    EXPECT_GT(digits.width(), 3 * digits.height() / 2);  // three digits
    // Centred in the space below the signal icon (16 pixels high).
    const int middle = (digits.top + digits.bottom) / 2;
    EXPECT_NEAR(middle, (800 + 16) / 2, 12);
}

TEST(FullScreenSpeedWidget, WithoutASpeedThePageShowsZero) {
    FullScreenSpeedPage page;
    DisplayTestBed& bed = page.bed;
    // A fix without a position: no speed.
    bed.core->onSentence(nmea("GPRMC,120509.00,V,,,,,,,030524,,,N"));
    bed.pages->onDoubleClick();
    const QImage frame = bed.frame();
    const Rect zero = inkBox(frame, kWhite, {0, 16, 480, 800});
    ASSERT_NE(zero, Rect{});
    EXPECT_LT(zero.width(), zero.height());  // one digit
}

TEST(FullScreenSpeedWidget, TheSignalIconFollowsTheSatellitesInUse) {
    struct Case {
        int satellites;
        int icon;
    } cases[] = {{0, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}, {8, 3}, {10, 4}, {11, 5}, {12, 5}};
    FullScreenSpeedPage page;
    for (const auto& c : cases) {
        const QImage frame = page.show(40, c.satellites);
        // GPS-i is 20 x 16 in red 40 (i + 1), at the top-left corner.
        EXPECT_EQ(qRed(frame.pixel(0, 0)) & 0xF8, loadedChannel(40 * (c.icon + 1))) << c.satellites;
        EXPECT_EQ(qRed(frame.pixel(19, 15)) & 0xF8, loadedChannel(40 * (c.icon + 1))) << c.satellites;
        EXPECT_EQ(pixel(frame, 20, 0), 0u) << c.satellites;
    }
}

TEST(FullScreenSpeedWidget, TheBatteryIconFollowsTheCharge) {
    struct Case {
        int percent;
        int icon;  // 0, 25, 50, 75, 100
    } cases[] = {{0, 0}, {19, 0}, {20, 25}, {39, 25}, {40, 50}, {55, 50}, {60, 75}, {79, 75}, {80, 100}, {255, 100}};
    FullScreenSpeedPage page;
    for (const auto& c : cases) {
        page.bed.battery.set(BatteryStatus{false, static_cast<uint8_t>(c.percent)});
        const QImage frame = page.show(40);
        // Bat-n is 24 x 12 in blue 40 + n, at the top-right corner.
        EXPECT_EQ(qBlue(frame.pixel(479, 0)) & 0xF8, loadedChannel(40 + c.icon)) << c.percent;
        EXPECT_EQ(qBlue(frame.pixel(456, 11)) & 0xF8, loadedChannel(40 + c.icon)) << c.percent;
        EXPECT_EQ(pixel(frame, 455, 0), 0u) << c.percent;
    }
    // Charging: the 8 x 6 white picture blended at 192 in the middle of the battery box.
    page.bed.battery.set(BatteryStatus{true, 55});
    QImage frame = page.show(40);
    EXPECT_GT(qRed(frame.pixel(468, 6)), 150);
    EXPECT_EQ(qRed(frame.pixel(457, 1)), 0);
    // Unreadable status: no battery icon at all.
    page.bed.battery.set(std::nullopt);
    frame = page.show(40);
    EXPECT_EQ(pixel(frame, 479, 0), 0u);
}

TEST(FullScreenSpeedWidget, TheTimeSitsBetweenTheIconsOnTheirLowerEdge) {
    FullScreenSpeedPage page;
    const QImage frame = page.show(40);
    const Rect time = inkBox(frame, kTimeGreen, {0, 0, 480, 100});
    ASSERT_NE(time, Rect{});
    EXPECT_GE(time.left, 20);    // right of the signal icon
    EXPECT_LE(time.right, 456);  // left of the battery icon
    EXPECT_LE(time.bottom, 16);  // bottom on the lower icon's edge (GPS, 16 high)
    EXPECT_NEAR((time.left + time.right) / 2, (20 + 456) / 2, 6);
}

TEST(FullScreenSpeedWidget, WithoutTheSignalIconTheTimeShrinksToTheSmallestFont) {
    FullScreenSpeedPage page;
    for (int i = 0; i <= 5; ++i) page.bed.removePicture("GPS-" + std::to_string(i));
    const QImage frame = page.show(40);
    const Rect time = inkBox(frame, kTimeGreen, {0, 0, 480, 100});
    ASSERT_NE(time, Rect{});
    EXPECT_LE(time.height(), 5);
    EXPECT_LE(time.bottom, 12);  // on the battery icon's lower edge
}

TEST(FullScreenSpeedWidget, SpeedFontStartsLargerInLandscapeAndShrinksToFit) {
    FullScreenSpeedPage portrait(480, 800);
    const Rect tall = inkBox(portrait.show(5), kWhite, {0, 16, 480, 800});
    FullScreenSpeedPage landscape(800, 480);
    const Rect wide = inkBox(landscape.show(5), kWhite, {0, 16, 800, 480});
    ASSERT_NE(tall, Rect{});
    ASSERT_NE(wide, Rect{});
    EXPECT_NEAR(static_cast<double>(wide.height()) / tall.height(), 170.0 / 140.0, 0.06);

    // On a small portrait page three digits at 140 are too wide: the font shrinks until they fit.
    FullScreenSpeedPage small(240, 320);
    const Rect fitted = inkBox(small.show(188), kWhite, {0, 16, 240, 320});
    ASSERT_NE(fitted, Rect{});
    EXPECT_GE(fitted.left, 0);
    EXPECT_GE(fitted.right, 230);
    EXPECT_LT(fitted.height(), tall.height());
}

TEST(FullScreenSpeedWidget, ColoursComeFromTheSettings) {
    FullScreenSpeedPage page;
    IniFile ini;
    ini.setValue("SpeedTextColor", "255", "FullScreenSpeedWidget");      // red
    ini.setValue("BackGroundColor", "8388608", "FullScreenSpeedWidget");  // 0x800000: dark blue
    ini.setValue("TimeTextColor", "", "FullScreenSpeedWidget");          // empty: default stays
    page.bed.pages->loadSettings(ini);
    const QImage frame = page.show(77);
    EXPECT_NE(inkBox(frame, rgbOf(0x0000FF), {0, 16, 480, 800}), Rect{});
    EXPECT_EQ(inkBox(frame, kWhite, {0, 16, 480, 800}), Rect{});
    EXPECT_EQ(pixel(frame, 240, 790), rgbOf(0x800000));
    EXPECT_NE(inkBox(frame, kTimeGreen, {0, 0, 480, 100}), Rect{});

    IniFile saved;
    page.bed.pages->page(kPage).saveSettings(saved);
    EXPECT_EQ(saved.getValue("SpeedTextColor", "FullScreenSpeedWidget"), "255");
    EXPECT_EQ(saved.getValue("BackGroundColor", "FullScreenSpeedWidget"), "8388608");
    EXPECT_EQ(saved.getValue("TimeTextColor", "FullScreenSpeedWidget"), "8453888");
    EXPECT_EQ(saved.getValue("Comment", "FullScreenSpeedWidget"), "Настройки виджета полноэкранной скорости");
}

TEST(FullScreenSpeedWidget, MissingPicturesLeaveTheIconsOutAndAreTriedAgain) {
    FullScreenSpeedPage page(480, 800, false);
    QImage frame = page.show(60);
    EXPECT_EQ(pixel(frame, 0, 0), 0u);
    EXPECT_NE(inkBox(frame, kWhite, {0, 0, 480, 800}), Rect{});
    // Pictures that appear later are loaded at the next fix.
    page.bed.writePicture("GPS-3", 20, 16, qRgb(200, 0, 0));
    frame = page.show(60);
    EXPECT_EQ(qRed(frame.pixel(0, 0)) & 0xF8, loadedChannel(200));
}

}  // namespace
}  // namespace movira::test
