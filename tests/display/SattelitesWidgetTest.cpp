// The satellite page on pixels: the signal strip in both orientations, the sky plot's rings,
// dots and labels, the background picture, the corner read-outs and their sensors, and
// receiver values no satellite can have.
#include "display/SattelitesWidget.h"
#include "core/NmeaParser.h"
#include "display/Surface.h"
#include "settings/IniFile.h"
#include "tests/display/DisplayTestBed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace movira::test {
namespace {

constexpr int kPage = 3;
using Page = SattelitesWidget;

const QRgb kBackground = rgbOf(Page::DefaultBackground);
const QRgb kName = rgbOf(Page::DefaultName);
const QRgb kLow = rgbOf(Page::DefaultLowSignal);
const QRgb kMid = rgbOf(Page::DefaultMidSignal);
const QRgb kHigh = rgbOf(Page::DefaultHighSignal);
const QRgb kBorder = rgbOf(Page::DefaultBorder);
const QRgb kShadow = rgbOf(Page::DefaultShadow);
const QRgb kLine = rgbOf(Page::DefaultMiscLine);

// One satellite as a GSV block; an empty text is an empty field.
struct Sat {
    std::string prn, elevation, azimuth, snr;
};

// A sensor with a fixed caption and text, to build sensor sets the page must search.
class FixedSensor final : public Sensor {
public:
    FixedSensor(const UiText& text, std::wstring caption) : Sensor(text, std::move(caption)) { setText(L"value"); }
    void update(const GpsFix&) override {}
};

class SatellitePage {
public:
    // Settings, when given, are read before the page is shown for the first time.
    explicit SatellitePage(int width = 480, int height = 800, const IniFile* settings = nullptr)
        : bed(width, height) {
        if (settings) bed.pages->loadSettings(*settings);
        bed.pages->setCurrentIndex(kPage);
    }

    // The satellites go to the channels in the order given (new numbers take the first empty channel).
    void satellites(std::initializer_list<Sat> list) {
        std::vector<Sat> all(list);
        const size_t sentences = (all.size() + 3) / 4;
        for (size_t s = 0; s < sentences; ++s) {
            std::string body = "GPGSV," + std::to_string(sentences) + "," + std::to_string(s + 1) + "," +
                               std::to_string(all.size());
            for (size_t i = 4 * s; i < all.size() && i < 4 * s + 4; ++i) {
                body += "," + all[i].prn + "," + all[i].elevation + "," + all[i].azimuth + "," + all[i].snr;
            }
            bed.core->onSentence(nmea(body));
        }
    }
    QImage show() {
        bed.fix(50);
        for (ButtonEdge edge : {ButtonEdge::Top, ButtonEdge::Bottom, ButtonEdge::Left, ButtonEdge::Right}) {
            bed.pages->countdowns().hide(edge);
        }
        return bed.frame();
    }
    Page& widget() { return static_cast<Page&>(bed.pages->page(kPage)); }

    DisplayTestBed bed;
};

// Portrait 480 x 800: plot {0, 0, 480, 730}, strip {0, 730, 480, 800}; centre (240, 365), R 230.
// Landscape 800 x 480: plot {0, 0, 730, 480}, strip {730, 0, 800, 480}; centre (365, 240), R 230.

TEST(SattelitesWidget, SignalColourThresholds) {
    SatellitePage page;
    const struct {
        int snr;
        QRgb colour;
    } cases[] = {{20, kLow}, {21, kMid}, {49, kMid}, {50, kHigh}};
    page.satellites({{"1", "10", "40", "20"}, {"2", "10", "130", "21"}, {"3", "10", "220", "49"}, {"4", "10", "310", "50"}});
    const QImage frame = page.show();
    for (int i = 0; i < 4; ++i) {
        // Column i spans x 40 i + 1 .. 40 i + 39; the bar's fill lies inside its outline, above y 780.
        EXPECT_EQ(pixel(frame, 40 * i + 10, 777), cases[i].colour) << cases[i].snr;
        EXPECT_EQ(rgbOf(page.widget().signalColour(cases[i].snr)), cases[i].colour) << cases[i].snr;
    }
    EXPECT_EQ(rgbOf(page.widget().signalColour(-5)), kLow);
    EXPECT_EQ(rgbOf(page.widget().signalColour(999)), kHigh);
}

TEST(SattelitesWidget, PortraitBarsStandOnTheBaselineWithTheirShadowToTheRight) {
    SatellitePage page;
    // Channel 1: l 41, rr 80; baseline 780; top 780 - 50 x 40 / 100 = 760.
    page.satellites({{"5", "", "", ""}, {"12", "30", "90", "40"}});
    const QImage frame = page.show();
    EXPECT_EQ(pixel(frame, 60, 759), kBackground);
    EXPECT_EQ(pixel(frame, 60, 760), kBorder);  // top outline
    EXPECT_EQ(pixel(frame, 41, 770), kBorder);  // left outline
    EXPECT_EQ(pixel(frame, 76, 770), kBorder);  // right outline at rr - 3 - 1
    EXPECT_EQ(pixel(frame, 60, 779), kBorder);  // bottom outline
    EXPECT_EQ(pixel(frame, 60, 770), kMid);
    EXPECT_EQ(pixel(frame, 78, 762), kBackground);  // the shadow starts 3 below the top
    EXPECT_EQ(pixel(frame, 78, 763), kShadow);
    EXPECT_EQ(pixel(frame, 79, 779), kShadow);
    EXPECT_EQ(pixel(frame, 80, 770), kBackground);
    // The number under the bar, centred in its column; channel 0 (not tracked) leaves a gap.
    const Rect label = inkBox(frame, kName, {0, 780, 480, 800});
    ASSERT_NE(label, Rect{});
    EXPECT_GE(label.left, 41);
    EXPECT_LE(label.right, 80);
    EXPECT_NEAR((label.left + label.right) / 2, 60, 3);
    EXPECT_EQ(inkBox(frame, kBorder, {0, 730, 40, 800}), Rect{});
}

TEST(SattelitesWidget, LandscapeBarsGrowRightwardsWithTheirShadowBelow) {
    SatellitePage page(800, 480);
    // Channel 0: rows 1 .. 39; bar from x 750 to 750 + 50 x 40 / 100 = 770.
    page.satellites({{"12", "30", "90", "40"}});
    const QImage frame = page.show();
    EXPECT_EQ(pixel(frame, 750, 20), kBorder);
    EXPECT_EQ(pixel(frame, 769, 20), kBorder);
    EXPECT_EQ(pixel(frame, 770, 20), kBackground);
    EXPECT_EQ(pixel(frame, 760, 1), kBorder);
    EXPECT_EQ(pixel(frame, 760, 0), kBackground);
    EXPECT_EQ(pixel(frame, 760, 20), kMid);
    EXPECT_EQ(pixel(frame, 760, 36), kBorder);  // bottom outline at b - 3 - 1
    EXPECT_EQ(pixel(frame, 760, 37), kShadow);
    EXPECT_EQ(pixel(frame, 766, 39), kShadow);
    EXPECT_EQ(pixel(frame, 767, 39), kBackground);  // the shadow ends 3 short of the bar
    // The number right-aligned against x 750, centred on the row.
    const Rect label = inkBox(frame, kName, {730, 0, 800, 40});
    ASSERT_NE(label, Rect{});
    EXPECT_LE(label.right, 750);
    EXPECT_GE(label.right, 745);
    EXPECT_NEAR((label.top + label.bottom) / 2, 20, 3);
}

TEST(SattelitesWidget, ZeroSignalGivesNoBarAndNoShadow) {
    for (const auto& size : {Size{480, 800}, Size{800, 480}}) {
        SatellitePage page(size.width, size.height);
        page.satellites({{"7", "45", "45", "0"}});
        const QImage frame = page.show();
        const Rect strip = size.width > size.height ? Rect{730, 0, 800, 480} : Rect{0, 730, 480, 800};
        EXPECT_EQ(inkBox(frame, kBorder, strip), Rect{}) << size.width;
        EXPECT_EQ(inkBox(frame, kShadow, strip), Rect{}) << size.width;
        EXPECT_EQ(inkBox(frame, kLow, strip), Rect{}) << size.width;
        EXPECT_NE(inkBox(frame, kName, strip), Rect{}) << "the number stays";
    }
}

TEST(SattelitesWidget, BarsStopAtTheStripsEdge) {
    {
        SatellitePage page;  // 150 would reach 780 - 75 = 705, above the strip's top 730
        page.satellites({{"3", "45", "45", "150"}});
        const QImage frame = page.show();
        EXPECT_EQ(pixel(frame, 20, 730), kBorder);
        EXPECT_EQ(pixel(frame, 20, 731), kHigh);
        EXPECT_EQ(pixel(frame, 20, 729), kBackground);
    }
    {
        SatellitePage page(800, 480);  // 150 would reach 750 + 75 = 825, past the right edge 800
        page.satellites({{"3", "45", "45", "150"}});
        const QImage frame = page.show();
        EXPECT_EQ(pixel(frame, 799, 20), kBorder);
        EXPECT_EQ(pixel(frame, 798, 20), kHigh);
        EXPECT_EQ(pixel(frame, 796, 38), kShadow);
        EXPECT_EQ(pixel(frame, 797, 38), kBackground);
    }
}

TEST(SattelitesWidget, TheStripFollowsTheOrientation) {
    SatellitePage page;
    page.satellites({{"9", "45", "45", "60"}});
    QImage frame = page.show();
    EXPECT_NE(inkBox(frame, kHigh, {0, 730, 480, 800}), Rect{});
    EXPECT_EQ(inkBox(frame, kHigh, {430, 0, 480, 730}), Rect{}) << "nothing along the right edge";

    // Turned: the page is drawn 800 x 480 with the strip on the right, and the frame is the
    // quarter turn clockwise: page pixel (x, y) shows at (479 - y, x).
    ASSERT_TRUE(page.bed.pages->toggleRotate());
    page.bed.pages->requestRepaint(page.bed.window);
    frame = page.show();
    ASSERT_EQ(frame.size(), QSize(480, 800));
    // Channel 0 landscape: bar {750, 1, 780, 37}, 750 + 50 x 60 / 100 = 780.
    EXPECT_EQ(pixel(frame, 479 - 20, 760), kHigh);
    EXPECT_EQ(pixel(frame, 479 - 20, 779), kBorder);
    EXPECT_EQ(pixel(frame, 479 - 20, 781), kBackground);
}

TEST(SattelitesWidget, SkyPlotRingsCrossAndLetters) {
    SatellitePage page;
    const QImage frame = page.show();
    // Row 265 (100 above the centre) crosses the rings of 230 and 153 at sqrt(r^2 - 100^2)
    // right of the centre: 207 and 116; the ring of 76 does not reach it.
    const Rect outer = inkBox(frame, kLine, {420, 265, 480, 266});
    const Rect middle = inkBox(frame, kLine, {340, 265, 420, 266});
    EXPECT_NEAR(outer.left, 240 + 207, 1);
    EXPECT_NEAR(middle.left, 240 + 116, 1);
    EXPECT_EQ(inkBox(frame, kLine, {241, 265, 340, 266}), Rect{});
    // The ring of 76 on row 365 - 50: sqrt(76^2 - 50^2) = 57.
    EXPECT_NEAR(inkBox(frame, kLine, {241, 315, 340, 316}).left, 240 + 57, 1);
    // The cross: R either way from the centre, the far ends not drawn by the lines.
    EXPECT_EQ(pixel(frame, 100, 365), kLine);
    EXPECT_EQ(pixel(frame, 240, 500), kLine);
    // N, S, E and W just outside the ring.
    EXPECT_NE(inkBox(frame, kName, {235, 125, 250, 137}), Rect{});
    EXPECT_NE(inkBox(frame, kName, {235, 595, 250, 610}), Rect{});
    EXPECT_NE(inkBox(frame, kName, {470, 360, 480, 375}), Rect{});
    EXPECT_NE(inkBox(frame, kName, {0, 360, 12, 375}), Rect{});
    // No satellites: an empty strip.
    const Rect strip{0, 730, 480, 800};
    for (QRgb colour : {kName, kBorder, kShadow, kLow, kMid, kHigh}) EXPECT_EQ(inkBox(frame, colour, strip), Rect{});
}

TEST(SattelitesWidget, SatellitePositions) {
    const Page::Sky sky = Page::sky({0, 0, 480, 730});
    ASSERT_EQ(sky.cx, 240);
    ASSERT_EQ(sky.cy, 365);
    ASSERT_EQ(sky.radius, 230);
    const struct {
        int azimuth, elevation;
        Point at;
    } cases[] = {
        {0, 90, {240, 365}},  {123, 90, {240, 365}}, {90, 0, {470, 365}},  {0, 0, {240, 135}},
        // pi as 3.141592 leaves south a hair short of the ring, and truncation takes the pixel above.
        {180, 0, {240, 594}}, {270, 0, {10, 365}},   {180, 60, {240, 440}},  // d = 30 x 230 / 90 = 76
        {45, 45, {321, 283}},  // d 115: 240 + 81.3, 365 - 81.3
        {90, -10, {495, 365}},  // below the horizon: outside the ring, not clamped
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Page::position(sky, c.azimuth, c.elevation), c.at) << c.azimuth << " " << c.elevation;
    }
    // Absurd angles stay far outside, without overflowing.
    for (int elevation : {INT_MIN, INT_MAX, -100000}) {
        const Point p = Page::position(sky, 45, elevation);
        EXPECT_TRUE(std::abs(p.x - 240) > 1000 || std::abs(p.y - 365) > 1000) << elevation;
    }
}

TEST(SattelitesWidget, DotsSitAtTheirPositionsWithTheLabelPointingOutwards) {
    SatellitePage page;
    const QImage before = page.show();
    // Elevation 90: the centre. Azimuth 90, elevation 0: (cx + R, cy). Azimuth 315,
    // elevation 0: up and left, d cos 135 = -162.6 -> (77, 202).
    page.satellites({{"10", "90", "0", "55"}, {"11", "0", "90", "35"}, {"12", "0", "315", "10"}});
    const QImage frame = page.show();
    // A dot of radius 5 around the corner point: fill rows and columns point - 4 .. point + 3.
    EXPECT_EQ(inkBox(frame, kHigh, {200, 330, 280, 400}).left, 236);
    EXPECT_EQ(inkBox(frame, kHigh, {200, 330, 280, 400}).top, 361);
    EXPECT_EQ(inkBox(frame, kMid, {430, 330, 480, 400}).left, 466);
    EXPECT_EQ(inkBox(frame, kMid, {430, 330, 480, 400}).top, 361);
    EXPECT_EQ(pixel(frame, 469, 364), kMid);
    EXPECT_EQ(pixel(frame, 468, 360), kBorder);  // top of the outline
    EXPECT_EQ(inkBox(frame, kLow, {40, 170, 120, 240}).left, 73);
    EXPECT_EQ(inkBox(frame, kLow, {40, 170, 120, 240}).top, 198);

    // Labels: new ink of the name colour beside each dot, away from the centre.
    const Rect centre = inkBox(frame, kName, {200, 330, 300, 400}, &before);
    ASSERT_NE(centre, Rect{});
    EXPECT_GE(centre.left, 240);
    EXPECT_GE(centre.top, 365);
    const Rect east = inkBox(frame, kName, {400, 330, 480, 400}, &before);
    ASSERT_NE(east, Rect{});
    EXPECT_GE(east.left, 470);
    EXPECT_GE(east.top, 365);
    const Rect northWest = inkBox(frame, kName, {20, 150, 120, 240}, &before);
    ASSERT_NE(northWest, Rect{});
    EXPECT_LE(northWest.right, 77);
    EXPECT_LE(northWest.bottom, 202);
}

TEST(SattelitesWidget, LabelsLieAboveAllDots) {
    SatellitePage page;
    // Channel 0's label at (cx, cy) reaches over channel 1's dot a few pixels right and below.
    page.satellites({{"88", "90", "0", "55"}, {"2", "87", "135", "10"}});
    const QImage frame = page.show();
    const QImage alone = [&] {
        SatellitePage other;
        other.satellites({{"88", "90", "0", "55"}});
        return other.show();
    }();
    // Every pixel of the label drawn alone is the name colour in the frame with both satellites.
    const Rect label = inkBox(alone, kName, {240, 365, 300, 400});
    ASSERT_NE(label, Rect{});
    for (int y = label.top; y < label.bottom; ++y) {
        for (int x = label.left; x < label.right; ++x) {
            if (pixel(alone, x, y) != kName) continue;
            EXPECT_EQ(pixel(frame, x, y), kName) << x << "," << y;
        }
    }
}

TEST(SattelitesWidget, UntrackedSatellitesAreDrawnNowhere) {
    SatellitePage page;
    const QImage before = page.show();
    // Empty SNR, elevation or azimuth: not shown. Channel 3 is tracked and keeps its column.
    page.satellites({{"14", "40", "60", ""}, {"15", "", "60", "30"}, {"16", "40", "", "30"}, {"17", "40", "60", "30"}});
    const QImage frame = page.show();
    // One dot in the plot, one bar: in column 3 only.
    EXPECT_EQ(inkBox(frame, kBorder, {0, 730, 120, 800}), Rect{});
    EXPECT_NE(inkBox(frame, kBorder, {121, 730, 160, 800}), Rect{});
    EXPECT_EQ(inkBox(frame, kName, {0, 780, 120, 800}, &before), Rect{});
    // Elevation 40 azimuth 60: d 127, (240 + 109.98, 365 - 63.5) = (349, 301); the only dot in the plot.
    EXPECT_EQ(inkBox(frame, kBorder, {0, 0, 480, 730}), (Rect{344, 296, 354, 306}));
}

TEST(SattelitesWidget, EverySystemInTheSkyAndTheStrongestTwelveInTheStrip) {
    SatellitePage page;
    const QImage before = page.show();
    // 12 GPS satellites in three sentences and 6 GLONASS ones: GPS 1..12 with SNR 11..22, GLONASS
    // 65..70 with SNR 50..55. All 18 dots; the strip holds the 6 GLONASS and GPS 7..12.
    std::vector<std::string> gps, glonass;
    for (int i = 0; i < 12; ++i) gps.push_back(std::to_string(i + 1) + "," + std::to_string(5 + 7 * i) + "," + std::to_string(30 * i) + "," + std::to_string(11 + i));
    for (int i = 0; i < 6; ++i) glonass.push_back(std::to_string(65 + i) + ",60," + std::to_string(15 + 60 * i) + "," + std::to_string(50 + i));
    for (int sentence = 0; sentence < 3; ++sentence) {
        std::string body = "GPGSV,3," + std::to_string(sentence + 1) + ",12";
        for (int i = 0; i < 4; ++i) body += "," + gps[static_cast<size_t>(4 * sentence + i)];
        page.bed.core->onSentence(nmea(body));
    }
    std::string body = "GLGSV,2,1,06";
    for (int i = 0; i < 4; ++i) body += "," + glonass[static_cast<size_t>(i)];
    page.bed.core->onSentence(nmea(body));
    page.bed.core->onSentence(nmea("GLGSV,2,2,06," + glonass[4] + "," + glonass[5]));
    const QImage frame = page.show();

    const Page::Sky sky = Page::sky({0, 0, 480, 730});
    for (int i = 0; i < 12; ++i) {
        const Point p = Page::position(sky, 30 * i, 5 + 7 * i);
        EXPECT_EQ(pixel(frame, p.x, p.y), 11 + i <= 20 ? kLow : kMid) << "GPS " << i + 1;
    }
    for (int i = 0; i < 6; ++i) {
        const Point p = Page::position(sky, 15 + 60 * i, 60);
        EXPECT_EQ(pixel(frame, p.x, p.y), kHigh) << "GLONASS " << 65 + i;
    }
    // Twelve bars: GPS 7..12 (SNR 17 to 22) in the first six columns, then the GLONASS ones.
    for (int column = 0; column < 12; ++column) {
        const QRgb colour = column < 4 ? kLow : column < 6 ? kMid : kHigh;
        EXPECT_EQ(pixel(frame, 40 * column + 10, 777), colour) << "column " << column;
    }
    std::array<SatelliteInfo, NmeaParser::SatelliteSlots> table{};
    {
        auto model = page.bed.core->model();
        for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) table[static_cast<size_t>(i)] = *model->parser.satellite(i);
    }
    EXPECT_TRUE(Page::needsMarks(table));
    const auto channels = Page::stripChannels(table);
    EXPECT_EQ(std::count(channels.begin(), channels.end(), -1), 0);
    for (const int entry : channels) EXPECT_TRUE(table[static_cast<size_t>(entry)].snr >= 17) << entry;
    // The labels carry the letters: more ink than the numbers alone would leave.
    EXPECT_NE(inkBox(frame, kName, {0, 780, 480, 800}, &before), Rect{});
}

TEST(SattelitesWidget, GpsAloneKeepsItsChannelsAndPlainNumbers) {
    std::array<SatelliteInfo, NmeaParser::SatelliteSlots> table{};
    table[0] = {5, 40, 100, 30, Constellation::Gps};
    table[3] = {46, 30, 200, 35, Constellation::Sbas};
    EXPECT_FALSE(Page::needsMarks(table));
    auto channels = Page::stripChannels(table);
    EXPECT_EQ(channels[0], 0);
    EXPECT_EQ(channels[1], -1);  // a gap, as before
    EXPECT_EQ(channels[3], 3);
    table[20] = {67, 30, 200, 10, Constellation::Glonass};
    EXPECT_TRUE(Page::needsMarks(table));
    channels = Page::stripChannels(table);
    EXPECT_EQ(std::vector<int>(channels.begin(), channels.begin() + 4), (std::vector<int>{0, 3, 20, -1}));
}

TEST(SattelitesWidget, AbsurdValuesNeverReachBeyondThePage) {
    SatellitePage page;
    page.satellites({{"21", "300", "-50", "999"},     // elevation beyond the zenith: far beyond the ring
                     {"22", "-80", "90", "-5"},       // below the horizon, negative SNR
                     {"23", "-2147483648", "2147483647", "2147483647"},
                     {"24", "90", "0", "-2147483648"},
                     {"25", "-9999", "10", "40"}});    // the receiver's empty marker
    page.show();
    // The page drawn into the middle of a larger buffer: nothing outside its rectangle changes.
    Surface surface;
    surface.resize(Size{1200, 1400}, 96, 96);
    surface.fillRect(surface.bounds(), 0xFFFFFF);
    const Rect r{300, 200, 780, 1000};
    {
        auto frame = page.bed.pages->lockFrame();
        page.widget().paint(surface, r);
    }
    const QImage& image = surface.target();
    int outside = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!r.contains({x, y}) && (image.pixel(x, y) & 0xF8F8F8) != 0xF8F8F8) ++outside;
        }
    }
    EXPECT_EQ(outside, 0);
    // Inside: SNR 999 is a full bar (channel 0 reaches the strip's top 930), the negative SNR none.
    EXPECT_EQ(pixel(image, 300 + 20, 930), kBorder);
    EXPECT_EQ(pixel(image, 300 + 20, 929), kBackground);
    EXPECT_EQ(inkBox(image, kBorder, {341, 930, 380, 1000}), Rect{});
}

TEST(SattelitesWidget, BackgroundPictureFitsThePlotAndComesWhenItAppears) {
    SatellitePage page;
    EXPECT_FALSE(page.widget().hasBackground());
    QImage frame = page.show();
    EXPECT_FALSE(page.widget().hasBackground());
    EXPECT_EQ(pixel(frame, 150, 320), kBackground);  // the page works without the picture

    // Tried again at the next fix: 200 x 100 is centred as it is, {140, 315, 340, 415}.
    page.bed.writePicture("SatBackGround", 200, 100, qRgb(0, 0, 200));
    frame = page.show();
    EXPECT_TRUE(page.widget().hasBackground());
    const QRgb blue = qRgb(0, 0, (200 * 255 >> 8) & 0xF8) & 0xF8F8F8;
    EXPECT_EQ(pixel(frame, 140, 315), blue);
    EXPECT_EQ(pixel(frame, 339, 414), blue);
    EXPECT_EQ(pixel(frame, 139, 315), kBackground);
    EXPECT_EQ(pixel(frame, 140, 314), kBackground);
    EXPECT_EQ(pixel(frame, 340, 414), kBackground);
    EXPECT_EQ(pixel(frame, 240, 400), kLine) << "the cross lies over the picture";
}

TEST(SattelitesWidget, BackgroundBoxShrinksNeverEnlarges) {
    const struct {
        Size picture;
        Rect plot;
        Rect box;
    } cases[] = {
        {{480, 480}, {0, 0, 480, 730}, {0, 125, 480, 605}},    // the program's picture, portrait
        {{480, 480}, {0, 0, 730, 480}, {125, 0, 605, 480}},    // landscape
        {{200, 100}, {0, 0, 480, 730}, {140, 315, 340, 415}},  // smaller: kept
        {{960, 480}, {0, 0, 480, 730}, {0, 245, 480, 485}},    // too wide
        {{300, 1000}, {0, 0, 480, 730}, {131, 0, 350, 730}},   // too tall: 219 x 730
        {{481, 481}, {10, 20, 250, 110}, {85, 20, 175, 110}},  // both: 240 x 240, then 90 x 90
        {{0, 480}, {0, 0, 480, 730}, {}},
        {{480, 480}, {0, 0, 480, -40}, {}},                    // no room
        {{100, 100}, {0, 0, 0, 730}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Page::backgroundBox(c.picture, c.plot), c.box) << c.picture.width << "x" << c.picture.height;
    }
}

// Ink of the name colour in each corner of a 480 x 800 page without satellites: latitude,
// longitude (from x 420), speed and altitude (above the strip at 730).
std::array<bool, 4> readOutsInked(const QImage& frame) {
    const Rect corners[] = {{0, 0, 100, 40}, {420, 0, 480, 40}, {0, 690, 100, 730}, {420, 690, 480, 730}};
    std::array<bool, 4> result{};
    for (int i = 0; i < 4; ++i) result[i] = inkBox(frame, kName, corners[i]) != Rect{};
    return result;
}

TEST(SattelitesWidget, ReadOutsShowTheFourSensorsInTheCorners) {
    SatellitePage page;
    const QImage before = page.show();
    EXPECT_EQ(readOutsInked(before), (std::array<bool, 4>{true, true, true, true}));
    auto model = page.bed.core->model();
    const UiText& text = page.bed.core->uiText();
    const Page& widget = page.widget();
    EXPECT_STREQ(model->sensors.at(widget.latitudeSensorIndex())->caption(), text.latitude());
    EXPECT_STREQ(model->sensors.at(widget.longitudeSensorIndex())->caption(), text.longitude());
    EXPECT_STREQ(model->sensors.at(widget.speedSensorIndex())->caption(), text.speed());
    EXPECT_STREQ(model->sensors.at(widget.altitudeSensorIndex())->caption(), text.altitude());
}

TEST(SattelitesWidget, SensorsAreFoundInTheirOrderAndOneMissingHidesAllReadOuts) {
    SatellitePage page;
    const UiText& text = page.bed.core->uiText();
    const std::wstring both = std::wstring(text.altitude()) + L" / " + text.speed();
    {
        auto model = page.bed.core->model();
        model->sensors = SensorSet();
        // A caption with two texts counts for the first in the order altitude, latitude,
        // longitude, speed; a later sensor with the other text takes it.
        model->sensors.add(std::make_unique<FixedSensor>(text, both));
        model->sensors.add(std::make_unique<FixedSensor>(text, std::wstring(L"GPS ") + text.latitude()));
        model->sensors.add(std::make_unique<FixedSensor>(text, std::wstring(text.speed()) + L" now"));
        model->sensors.add(std::make_unique<FixedSensor>(text, text.speed()));
    }
    QImage frame = page.show();
    const Page& widget = page.widget();
    EXPECT_EQ(widget.altitudeSensorIndex(), 0);
    EXPECT_EQ(widget.latitudeSensorIndex(), 1);
    EXPECT_EQ(widget.speedSensorIndex(), 2);
    EXPECT_EQ(widget.longitudeSensorIndex(), -1);
    EXPECT_EQ(readOutsInked(frame), (std::array<bool, 4>{false, false, false, false}));

    // Looked for again at every fix until all four are there.
    page.bed.core->model()->sensors.add(std::make_unique<FixedSensor>(text, text.longitude()));
    frame = page.show();
    EXPECT_EQ(widget.longitudeSensorIndex(), 4);
    EXPECT_EQ(widget.altitudeSensorIndex(), 0);
    EXPECT_EQ(readOutsInked(frame), (std::array<bool, 4>{true, true, true, true}));
}

// The label region of channel 0 in portrait.
QImage labelArea(const QImage& frame) { return frame.copy(0, 780, 40, 20); }

TEST(SattelitesWidget, TheFaceIsTakenAtTheFirstFrameAndKept) {
    const auto settings = [](const std::string& face) {
        IniFile ini;
        ini.setValue("SattelitesNameFontName", face, "SattelitesWidget");
        ini.setValue("SattelitesNameFontSize", "20", "SattelitesWidget");
        return ini;
    };
    SatellitePage plain;
    plain.satellites({{"38", "45", "45", "30"}});
    const QImage first = labelArea(plain.show());
    // Edited after the first frame: the page keeps its font until the next start.
    plain.bed.pages->loadSettings(settings("LCD"));
    EXPECT_EQ(labelArea(plain.show()), first);

    const IniFile edited = settings("LCD");
    SatellitePage lcd(480, 800, &edited);
    lcd.satellites({{"38", "45", "45", "30"}});
    EXPECT_NE(labelArea(lcd.show()), first);
}

TEST(SattelitesWidget, FaceNamesAreCutToTheirBuffer) {
    const struct {
        std::string face;
        size_t characters;
    } cases[] = {
        {std::string(255, 'F'), 255},
        {std::string(1000, 'F'), 255},
        {[] {
             std::string s;
             for (int i = 0; i < 300; ++i) s += "Ф";
             return s;
         }(),
         127},  // two bytes each: 254 bytes, never half a letter
    };
    for (const auto& c : cases) {
        IniFile ini;
        ini.setValue("SattelitesNameFontName", c.face, "SattelitesWidget");
        SatellitePage page(480, 800, &ini);
        const QString face = QString::fromStdString(page.widget().fontFace());
        EXPECT_EQ(static_cast<size_t>(face.size()), c.characters);
        EXPECT_LE(static_cast<size_t>(face.size()), Page::MaxFaceCharacters);
        EXPECT_TRUE(c.face.starts_with(page.widget().fontFace()));
        // An unknown face still draws the numbers.
        page.satellites({{"38", "45", "45", "30"}});
        EXPECT_NE(inkBox(page.show(), kName, {0, 780, 40, 800}), Rect{}) << c.characters;
    }
}

}  // namespace
}  // namespace movira::test
