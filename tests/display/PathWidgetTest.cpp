// The path page on pixels: the trip panel's boxes in both orientations, the moving time,
// distance and average it integrates, the track fitted to the map box, the start cross and
// end dot where the projection puts them, pan, centre and zoom (bounded) as the finger sees
// them (turned and mirrored too), settings that cannot break the page, and the reader
// appending while frames are drawn.
#include "display/PathWidget.h"
#include "display/Surface.h"
#include "settings/IniFile.h"
#include "tests/display/DisplayTestBed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace movira::test {
namespace {

constexpr int kPage = 5;
using Page = PathWidget;

const QRgb kBorder = rgbOf(Page::DefaultBorder);
const QRgb kBox = rgbOf(Page::DefaultBackground);
const QRgb kPath = rgbOf(Page::DefaultPath);
const QRgb kValue = rgbOf(Page::DefaultMidText);
const QRgb kEnd = rgbOf(Page::DefaultEndPoint);
constexpr Colour kStartColour = 0xFF00FF;  // set apart from the end dot for these tests
const QRgb kStart = rgbOf(kStartColour);

// One fix: position in degrees, speed, and whole seconds after 12:00:00 (receivers that
// send fractions of a second have their time taken from the device's clock).
struct Fix {
    double lat, lon, kmh;
    int seconds;
};

// Where the panel and the map go for a page of this size with the default fonts.
struct Layout {
    Rect boxes[5];  // time, speed, elapsed, average, distance
    Rect map;
};

Layout layoutOf(int width, int height) {
    const Font small("Times New Roman", 13, 0), mid("LCD", 20, 0), big("LCD", 30, 0);
    const Surface measure;
    const int hs = measure.measureText(small, L"O").height;
    const int hm = measure.measureText(mid, L"O").height;
    Layout l;
    if (height < width) {
        const int x1 = 5 + measure.measureText(mid, L"OOOOOOOOO").width + 5;
        int y = 0;
        for (Rect& box : l.boxes) {
            box = {5, y + hs, x1, y + hs + hm + 2};
            y = box.bottom;
        }
        l.map = {x1 + 5, 5, width - 5, height - 5};
        return l;
    }
    const int hb = measure.measureText(big, L"O").height;
    const int x1 = width - 5;
    const int xm = (5 + x1) / 2;
    l.boxes[0] = {5, hs, x1, hs + hb + 2};
    for (int row = 0; row < 2; ++row) {
        const int top = l.boxes[0].bottom + row * (hs + hm + 2) + hs;
        l.boxes[1 + 2 * row] = {5, top, xm - 3, top + hm + 2};
        l.boxes[2 + 2 * row] = {xm + 3, top, x1, top + hm + 2};
    }
    l.map = {5, l.boxes[4].bottom + 5, width - 5, height - 5};
    return l;
}

Rect shrunk(Rect r, int by) { return {r.left + by, r.top + by, r.right - by, r.bottom - by}; }
Rect united(Rect a, Rect b) {
    if (a == Rect{}) return b;
    if (b == Rect{}) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}
// A box of page pixels as the screen shows it: mirrored, then turned a quarter clockwise.
Rect onScreen(Rect b, Size page, bool mirror, bool rotate) {
    if (mirror) b = {page.width - b.right, b.top, page.width - b.left, b.bottom};
    if (rotate) b = {page.height - b.bottom, b.left, page.height - b.top, b.right};
    return b;
}
Rect onPage(Rect s, Size page, bool mirror, bool rotate) {
    if (rotate) s = {s.top, page.height - s.right, s.bottom, page.height - s.left};
    if (mirror) s = {page.width - s.right, s.top, page.width - s.left, s.bottom};
    return s;
}

class PathPage {
public:
    explicit PathPage(int width = 480, int height = 800) : bed(width, height) {
        IniFile ini;
        ini.setValue("StartPointColor", std::to_string(kStartColour), "PathWidget");
        bed.pages->loadSettings(ini);
        bed.pages->setCurrentIndex(kPage);
    }
    void drive(std::initializer_list<Fix> fixes) {
        for (const Fix& f : fixes) {
            const int whole = f.seconds;
            const int latDeg = static_cast<int>(f.lat);
            const int lonDeg = static_cast<int>(f.lon);
            char rmc[160];
            std::snprintf(rmc, sizeof rmc, "GPRMC,%02d%02d%02d,A,%02d%07.4f,N,%03d%07.4f,E,%.3f,90.0,030524,,,A",
                          12 + whole / 3600, whole / 60 % 60, whole % 60, latDeg, (f.lat - latDeg) * 60,
                          lonDeg, (f.lon - lonDeg) * 60, f.kmh / 1.852);
            bed.core->onSentence(nmea(rmc));
        }
    }
    void bars(bool shown) {
        for (ButtonEdge edge : {ButtonEdge::Top, ButtonEdge::Bottom, ButtonEdge::Left, ButtonEdge::Right}) {
            if (shown) bed.pages->countdowns().show(edge);
            else bed.pages->countdowns().hide(edge);
        }
    }
    QImage show() {
        bars(false);
        return bed.frame();
    }
    // A tap on cell `index` of the own bar along the bottom edge (portrait window, 6 cells).
    void tapCell(int index) {
        bars(true);
        const Point p{index * 80 + 40, bed.window.clientSize().height - 20};
        bed.pages->onMouseDown(p);
        bed.pages->onMouseUp(p);
    }
    void drag(Point from, Point to) {
        bed.pages->onMouseDown(from);
        bed.pages->onMouseMove({(from.x + to.x) / 2, (from.y + to.y) / 2});
        bed.pages->onMouseMove(to);
    }
    Page& widget() { return static_cast<Page&>(bed.pages->page(kPage)); }
    // Page pixels inside the map box where the track may go.
    Rect inner(bool mirror = false, bool rotate = false) {
        const Size client = bed.window.clientSize();
        const Size page = rotate ? Size{client.height, client.width} : client;
        return shrunk(onPage(widget().mapRectOnScreen(), page, mirror, rotate), 2);
    }
    // Where a point lands at zoom 1 without pan (unturned page).
    Point project(double lat, double lon) {
        const Page::Trip t = widget().trip();
        const Rect i = inner();
        const double k = std::min(i.width() / (double{t.maxLongitude} - t.minLongitude),
                                  i.height() / (double{t.maxLatitude} - t.minLatitude));
        const double midLon = (double{t.maxLongitude} + t.minLongitude) / 2;
        const double midLat = (double{t.maxLatitude} + t.minLatitude) / 2;
        return {static_cast<int>(std::floor((i.left + i.right) / 2 + (lon - midLon) * k + 0.5)),
                static_cast<int>(std::floor((i.top + i.bottom) / 2 - (lat - midLat) * k + 0.5))};
    }
    DisplayTestBed bed;
};

// Corners of the box (52.5 .. 52.75 N, 13.0 .. 13.5 E), all exact in binary; the start in its middle.
const std::initializer_list<Fix> kLoop = {{52.625, 13.25, 30, 0},
                                          {52.5, 13.0, 40, 10},
                                          {52.75, 13.5, 50, 20},
                                          {52.6875, 13.375, 60, 30}};

TEST(PathWidget, PanelBoxesInBothOrientations) {
    for (const Size size : {Size{480, 800}, Size{800, 480}}) {
        PathPage page(size.width, size.height);
        page.drive(kLoop);
        const QImage frame = page.show();
        const Layout l = layoutOf(size.width, size.height);
        for (int i = 0; i < 5; ++i) {
            const Rect b = l.boxes[i];
            const int y = (b.top + b.bottom) / 2;
            SCOPED_TRACE(::testing::Message() << size.width << " box " << i);
            EXPECT_EQ(pixel(frame, b.left - 1, y), kBorder);
            EXPECT_EQ(pixel(frame, b.left, y), kBox);
            EXPECT_EQ(pixel(frame, b.right - 1, y), kBox);
            EXPECT_EQ(pixel(frame, b.right, y), kBorder);
            EXPECT_EQ(pixel(frame, b.right - 2, b.top), kBox);
            EXPECT_EQ(pixel(frame, b.right - 2, b.bottom - 1), kBox);
            EXPECT_EQ(pixel(frame, b.right - 2, b.bottom), kBorder);
            EXPECT_EQ(pixel(frame, b.left, b.top), kBorder) << "rounded corner";
            // Every box holds its value: the time, the speed and the three trip figures.
            const Rect ink = inkBox(frame, kValue, b);
            ASSERT_NE(ink, Rect{});
            // Centred by its advance width: the ink lies about the middle.
            EXPECT_GT(ink.left, b.left);
            EXPECT_LT(ink.right, b.right);
            EXPECT_NEAR((ink.left + ink.right) / 2, (b.left + b.right) / 2, b.width() / 8) << "centred";
        }
        EXPECT_EQ(page.widget().mapRectOnScreen(), l.map);
        EXPECT_EQ(pixel(frame, l.map.left + 1, l.map.top + 1), kBox);
        EXPECT_EQ(pixel(frame, l.map.left - 1, l.map.top + 1), kBorder);
        EXPECT_EQ(pixel(frame, l.map.right, l.map.bottom - 2), kBorder);
        EXPECT_EQ(pixel(frame, l.map.left, l.map.top), kBorder) << "rounded corner";
        EXPECT_EQ(pixel(frame, l.map.right - 1, l.map.bottom - 1), kBorder) << "rounded corner";
    }
}

TEST(PathWidget, TripIntegratesMovingTimeAndDistance) {
    const struct {
        const char* what;
        std::initializer_list<Fix> fixes;
        int64_t seconds;
        float km;
    } cases[] = {
        {"the first point adds nothing", {{52.5, 13.0, 50, 0}}, 0, 0.0f},
        {"10 s at 36 and 72 km/h", {{52.5, 13.0, 36, 0}, {52.5, 13.01, 72, 10}}, 10, 0.15f},
        {"two points in one second", {{52.5, 13.0, 36, 0}, {52.5, 13.01, 36, 0}}, 0, 0.0f},
        {"a step back in time is no travel", {{52.5, 13.0, 36, 100}, {52.5, 13.01, 36, 90}, {52.5, 13.02, 36, 100}}, 10,
         0.1f},
        {"a gap of over an hour is no travel",
         {{52.5, 13.0, 36, 0}, {52.5, 13.01, 36, 3601}, {52.5, 13.02, 36, 3611}},
         10,
         0.1f},
    };
    for (const auto& c : cases) {
        PathPage page;
        page.drive(c.fixes);
        const Page::Trip trip = page.widget().trip();
        EXPECT_EQ(trip.movingSeconds, c.seconds) << c.what;
        EXPECT_NEAR(trip.distance, c.km, 1e-4) << c.what;  // speeds travel as knots with 3 decimals
    }
    PathPage page;
    page.drive({{52.5, 13.0, 36, 0}, {52.5, 13.01, 72, 10}});
    EXPECT_EQ(Page::averageText(page.widget().trip()), L"54.0 km/h");
}

TEST(PathWidget, NoAverageWithoutMovingTime) {
    PathPage page;
    // Two points within one second: no moving time yet, and no division by it.
    page.drive({{52.5, 13.0, 50, 0}, {52.5, 13.001, 50, 0}});
    const Page::Trip trip = page.widget().trip();
    EXPECT_EQ(trip.movingSeconds, 0);
    EXPECT_EQ(Page::averageText(trip), L"");
    const QImage frame = page.show();
    const Layout l = layoutOf(480, 800);
    EXPECT_EQ(inkBox(frame, kValue, l.boxes[3]), Rect{}) << "the average box stays empty";
    EXPECT_NE(inkBox(frame, kValue, l.boxes[2]), Rect{}) << "elapsed shows 0 sec";
}

TEST(PathWidget, PanelTexts) {
    const struct {
        int64_t seconds;
        const wchar_t* text;
    } elapsed[] = {{0, L"0 sec"}, {45, L"45 sec"}, {65, L"1:05"}, {3605, L"1:00:05"}, {86405, L"1D.0:0:5"}};
    for (const auto& c : elapsed) EXPECT_EQ(Page::elapsedText(c.seconds), c.text) << c.seconds;
    const struct {
        float km;
        const wchar_t* text;
    } distance[] = {{0.999f, L"999 m"}, {1.0f, L"1.00 km"}, {9.99f, L"9.99 km"}, {10.0f, L"10.0 km"}};
    for (const auto& c : distance) EXPECT_EQ(Page::distanceText(c.km), c.text) << c.km;
}

TEST(PathWidget, FittedTrackTouchesTheMapBoxInTheLimitingDirection) {
    const struct {
        Size size;
        std::initializer_list<Fix> fixes;
        bool wide;
    } cases[] = {
        {{480, 800}, {{52.5, 13.0, 30, 0}, {52.5625, 13.5, 30, 10}}, true},
        {{480, 800}, {{52.5, 13.0, 30, 0}, {53.5, 13.0625, 30, 10}}, false},
        {{800, 480}, {{52.5, 13.0, 30, 0}, {52.5625, 13.5, 30, 10}}, true},
        {{800, 480}, {{52.5, 13.0, 30, 0}, {53.5, 13.0625, 30, 10}}, false},
    };
    for (const auto& c : cases) {
        PathPage page(c.size.width, c.size.height);
        page.drive(c.fixes);
        const QImage frame = page.show();
        const Rect i = page.inner();
        const Rect all{0, 0, c.size.width, c.size.height};
        const Rect ink = united(united(inkBox(frame, kPath, all), inkBox(frame, kStart, all)), inkBox(frame, kEnd, all));
        SCOPED_TRACE(::testing::Message() << c.size.width << (c.wide ? " wide" : " tall"));
        ASSERT_NE(ink, Rect{});
        if (c.wide) {
            EXPECT_EQ(ink.left, i.left);
            EXPECT_EQ(ink.right, i.right);
        } else {
            EXPECT_EQ(ink.top, i.top);
            EXPECT_EQ(ink.bottom, i.bottom);
        }
        // Clipped to the map box.
        EXPECT_GE(ink.left, i.left);
        EXPECT_GE(ink.top, i.top);
        EXPECT_LE(ink.right, i.right);
        EXPECT_LE(ink.bottom, i.bottom);
    }
}

TEST(PathWidget, StartCrossAndEndDotAtTheirProjectedPixels) {
    for (const Size size : {Size{480, 800}, Size{800, 480}}) {
        PathPage page(size.width, size.height);
        page.drive(kLoop);
        const QImage frame = page.show();
        const Point s = page.project(52.625, 13.25);
        const Point e = page.project(52.6875, 13.375);
        SCOPED_TRACE(size.width);
        for (const Point arm : {Point{-2, -2}, Point{2, 2}, Point{-2, 2}, Point{2, -2}, Point{0, 0}})
            EXPECT_EQ(pixel(frame, s.x + arm.x, s.y + arm.y), kStart) << arm.x << "," << arm.y;
        EXPECT_NE(pixel(frame, s.x + 3, s.y + 3), kStart) << "a line's last point is not drawn";
        EXPECT_EQ(inkBox(frame, kEnd, page.inner()), (Rect{e.x - 3, e.y - 3, e.x + 3, e.y + 3}));
        // The corners of the box are on the line.
        const Point sw = page.project(52.5, 13.0);
        EXPECT_EQ(pixel(frame, sw.x, sw.y), kPath);
    }
}

TEST(PathWidget, OneSpotOrOneMeridianLeavesTheMapEmpty) {
    for (const auto& fixes : {std::initializer_list<Fix>{{52.5, 13.0, 30, 0}},
                              std::initializer_list<Fix>{{52.5, 13.0, 30, 0}, {52.75, 13.0, 30, 10}}}) {
        PathPage page;
        page.drive(fixes);
        const QImage frame = page.show();
        const Rect map = page.widget().mapRectOnScreen();
        EXPECT_EQ(inkBox(frame, kPath, map), Rect{});
        EXPECT_EQ(inkBox(frame, kEnd, map), Rect{});
        EXPECT_NE(inkBox(frame, kValue, layoutOf(480, 800).boxes[1]), Rect{}) << "the panel still shows the speed";
    }
}

// The finger's drag moves the track with it on the screen, however the picture is turned;
// the centre button then puts the last position in the middle of the map.
TEST(PathWidget, PanFollowsTheFingerAndCentreFindsTheLastPosition) {
    const struct {
        bool mirror, rotate;
    } cases[] = {{false, false}, {false, true}, {true, false}, {true, true}};
    for (const auto& c : cases) {
        PathPage page;
        SCOPED_TRACE(::testing::Message() << "mirror " << c.mirror << " rotate " << c.rotate);
        if (c.mirror) {
            ASSERT_TRUE(page.bed.pages->toggleMirror());
        }
        if (c.rotate) {
            ASSERT_TRUE(page.bed.pages->toggleRotate());
        }
        page.bed.pages->requestRepaint(page.bed.window);
        page.drive(kLoop);
        const Rect all{0, 0, 480, 800};
        const Rect before = inkBox(page.show(), kEnd, all);
        ASSERT_NE(before, Rect{});

        const Rect map = page.widget().mapRectOnScreen();
        const Point from{(map.left + map.right) / 2, (map.top + map.bottom) / 2};
        page.drag(from, {from.x - 30, from.y + 20});
        EXPECT_EQ(page.bed.pages->position(), static_cast<float>(kPage)) << "a drag on the map is no swipe";
        page.bed.pages->onMouseUp({from.x - 30, from.y + 20});
        EXPECT_EQ(page.bed.pages->currentIndex(), kPage);
        const Rect moved = inkBox(page.show(), kEnd, all);
        EXPECT_EQ(moved, (Rect{before.left - 30, before.top + 20, before.right - 30, before.bottom + 20}));

        page.tapCell(4);  // CenterPos
        const Rect centred = inkBox(page.show(), kEnd, all);
        const Size pageSize = c.rotate ? Size{800, 480} : Size{480, 800};
        const Rect i = page.inner(c.mirror, c.rotate);
        const int cx = (i.left + i.right) / 2;
        const int cy = (i.top + i.bottom) / 2;
        EXPECT_EQ(centred, onScreen({cx - 3, cy - 3, cx + 3, cy + 3}, pageSize, c.mirror, c.rotate));
    }
}

TEST(PathWidget, DragOnThePanelChangesThePage) {
    PathPage page;
    page.drive(kLoop);
    page.show();  // bars hidden, map box known
    page.drag({400, 60}, {200, 60});
    EXPECT_NE(page.bed.pages->position(), static_cast<float>(kPage));
    EXPECT_EQ(page.widget().panX(), 0.0);
}

TEST(PathWidget, ZoomStaysWithinItsBoundsAndAutoFitsAgain) {
    PathPage page;
    page.drive(kLoop);
    page.show();
    const Rect i = page.inner();
    for (int n = 0; n < 40; ++n) page.tapCell(2);  // ZoomIn, far past the bound
    EXPECT_EQ(page.widget().zoom(), Page::MaxZoom);
    page.tapCell(4);  // centre the last position: its dot is then in the middle at the largest zoom
    QImage frame = page.show();
    const int cx = (i.left + i.right) / 2;
    const int cy = (i.top + i.bottom) / 2;
    EXPECT_EQ(inkBox(frame, kEnd, i), (Rect{cx - 3, cy - 3, cx + 3, cy + 3}));

    for (int n = 0; n < 80; ++n) page.tapCell(1);  // ZoomOut
    EXPECT_EQ(page.widget().zoom(), Page::MinZoom);
    page.tapCell(3);  // ZoomAuto
    page.tapCell(1);
    page.tapCell(1);
    page.tapCell(1);
    frame = page.show();
    // At the smallest zoom the track keeps an eighth of the map's width.
    const Rect small = united(inkBox(frame, kPath, i), inkBox(frame, kStart, i));
    EXPECT_NEAR(small.width(), i.width() / 8, 2);

    page.tapCell(2);
    page.tapCell(2);
    page.tapCell(3);  // ZoomAuto: the whole track fits again, no pan
    EXPECT_EQ(page.widget().zoom(), 1.0f);
    EXPECT_EQ(page.widget().panX(), 0.0);
    EXPECT_EQ(page.widget().panY(), 0.0);
    frame = page.show();
    const Rect fit = united(united(inkBox(frame, kPath, i), inkBox(frame, kStart, i)), inkBox(frame, kEnd, i));
    EXPECT_EQ(fit.left, i.left);
    EXPECT_EQ(fit.right, i.right);
}

TEST(PathWidget, FarPansAndLargestZoomStayOnThePage) {
    PathPage page;
    page.drive(kLoop);
    page.show();
    for (int n = 0; n < 40; ++n) page.tapCell(2);
    const Rect map = page.widget().mapRectOnScreen();
    const Point from{(map.left + map.right) / 2, (map.top + map.bottom) / 2};
    for (int n = 0; n < 200; ++n) page.drag(from, {from.x + 100000, from.y - 100000});
    page.bed.pages->onMouseUp(from);
    const QImage frame = page.show();
    const Rect i = page.inner();
    EXPECT_EQ(inkBox(frame, kPath, {0, 0, 480, 800}), Rect{}) << "the track is far away";
    EXPECT_EQ(pixel(frame, i.left, i.top), kBox);
}

TEST(PathWidget, SettingsThatCannotBreakThePage) {
    IniFile ini;
    const std::string longFace(400, 'x');
    ini.setValue("SmallTextFontName", longFace, "PathWidget");
    ini.setValue("MidTextFontName", longFace, "PathWidget");
    ini.setValue("SmallTextSize", "0", "PathWidget");
    ini.setValue("MidTextSize", "-20", "PathWidget");
    ini.setValue("BigTextSize", "99999999999", "PathWidget");
    PathPage page;
    page.bed.pages->loadSettings(ini);
    page.drive(kLoop);
    const QImage frame = page.show();
    EXPECT_NE(inkBox(frame, kPath, page.widget().mapRectOnScreen()), Rect{});
    IniFile saved;
    page.widget().saveSettings(saved);
    EXPECT_EQ(saved.getValue("SmallTextSize", "PathWidget"), "13");
    EXPECT_EQ(saved.getValue("MidTextSize", "PathWidget"), "20");
    EXPECT_EQ(saved.getValue("BigTextSize", "PathWidget"), "30");
    EXPECT_EQ(saved.getValue("SmallTextFontName", "PathWidget").size(), 255u);
    EXPECT_EQ(saved.getValue("StartPointColor", "PathWidget"), std::to_string(kStartColour));
}

// The reader appends while the paint thread draws and the finger pans.
TEST(PathWidget, ReaderAppendsWhileFramesAreDrawn) {
    PathPage page;
    page.drive(kLoop);
    page.show();
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int n = 0; n < 300; ++n) {
            page.drive({{52.5 + n * 0.001, 13.0 + n * 0.002, 40, 40 + n}});
        }
        done = true;
    });
    const Rect map = page.widget().mapRectOnScreen();
    const Point from{(map.left + map.right) / 2, (map.top + map.bottom) / 2};
    while (!done) {
        page.bed.pages->paintFrame();
        page.drag(from, {from.x + 1, from.y});
        page.bed.pages->onMouseUp(from);
    }
    reader.join();
    EXPECT_EQ(page.widget().trip().movingSeconds, 30 + 10 + 299);
}

}  // namespace
}  // namespace movira::test
