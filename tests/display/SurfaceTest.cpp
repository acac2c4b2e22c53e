#include "display/ColourSetting.h"
#include "display/Font.h"
#include "display/ScreenWindow.h"
#include "display/Surface.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace movira {
namespace {

// A window that keeps what it was handed.
class FakeWindow : public ScreenWindow {
public:
    FakeWindow(Size client, int dpiX, int dpiY) : client_(client), dpiX_(dpiX), dpiY_(dpiY) {}
    bool isShown() const override { return true; }
    Size clientSize() const override { return client_; }
    int dpiX() const override { return dpiX_; }
    int dpiY() const override { return dpiY_; }
    void presentFrame(const QImage& frame, Size source) override {
        frames.push_back(frame.copy());
        sources.push_back(source);
    }

    std::vector<QImage> frames;
    std::vector<Size> sources;

private:
    Size client_;
    int dpiX_;
    int dpiY_;
};

constexpr Colour kWhite = rgb(248, 248, 248);  // as a 16-bit pixel reads back
constexpr Colour kRed = rgb(248, 0, 0);
constexpr Colour kGreen = rgb(0, 248, 0);
constexpr Colour kBlue = rgb(0, 0, 248);
constexpr Colour kBlack = 0;

// A pixel of a 16-bit buffer as a colour with 5-bit components widened back to 8 bits the
// way they were narrowed (248 stays 248).
Colour at(const QImage& image, int x, int y) {
    const uint16_t pixel = reinterpret_cast<const uint16_t*>(image.constScanLine(y))[x];
    return rgb(((pixel >> 10) & 31) << 3, ((pixel >> 5) & 31) << 3, (pixel & 31) << 3);
}

// The pixels of `image` that have `colour`.
std::set<std::pair<int, int>> pixelsOf(const QImage& image, Colour colour) {
    std::set<std::pair<int, int>> found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (at(image, x, y) == colour)
                found.emplace(x, y);
    return found;
}

// The smallest rectangle around every pixel that is not `background` (right and bottom
// outside); all zero when there is none.
Rect inkBox(const QImage& image, Colour background) {
    Rect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (at(image, x, y) != background) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box.left == INT_MAX ? Rect{} : box;
}

class SurfaceTest : public ::testing::Test {
protected:
    // A 96-dpi surface of the given size, all black.
    void make(int width, int height) {
        surface.resize(Size{width, height}, 96, 96);
        surface.fillRect(surface.bounds(), kBlack);
    }
    const QImage& image() const { return surface.target(); }

    Surface surface;
};

// ---- Sizing and presenting --------------------------------------------------------------

TEST_F(SurfaceTest, BuffersAreSizedInLogicalPixels) {
    struct Case {
        Size client;
        int dpiX;
        int dpiY;
        bool rotate;
        Size main;
        Size turned;
    };
    const Case cases[] = {
        {{480, 640}, 192, 192, false, {240, 320}, {320, 240}},  // stretched by two
        {{480, 640}, 96, 96, false, {480, 640}, {640, 480}},
        {{480, 640}, 0, 0, false, {480, 640}, {640, 480}},  // no resolution counts as 96
        {{480, 640}, 192, 96, false, {240, 640}, {640, 240}},
        {{481, 641}, 192, 192, false, {240, 320}, {320, 240}},  // integer division
        {{240, 320}, 96, 96, true, {320, 240}, {240, 320}},     // pages see landscape
        {{0, 0}, 96, 96, false, {0, 0}, {0, 0}},
        {{-5, 100}, 96, 96, false, {0, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.client.width << "x" << c.client.height << " dpi " << c.dpiX << "/"
                                        << c.dpiY << " rotate " << c.rotate);
        Surface fresh;
        fresh.setRotate(c.rotate);
        FakeWindow window(c.client, c.dpiX, c.dpiY);
        fresh.resize(window);
        EXPECT_EQ(fresh.mainBuffer().size(), QSize(c.main.width, c.main.height));
        EXPECT_EQ(fresh.turnedBuffer().size(), QSize(c.turned.width, c.turned.height));
        EXPECT_EQ(fresh.bounds(), (Rect{0, 0, c.main.width, c.main.height}));
        if (c.main.width > 0) {
            EXPECT_EQ(fresh.mainBuffer().format(), QImage::Format_RGB555);
        }
    }
}

TEST_F(SurfaceTest, HighResolutionFrameIsHandedOverWithItsLogicalSize) {
    FakeWindow window({480, 640}, 192, 192);
    surface.resize(window);
    surface.fillRect(surface.bounds(), kBlue);
    surface.fillRect({10, 20, 11, 21}, kRed);
    surface.applyMirrorAndRotation();
    surface.present();
    ASSERT_EQ(window.frames.size(), 1u);
    EXPECT_EQ(window.sources[0], (Size{240, 320}));
    EXPECT_EQ(window.frames[0].size(), QSize(240, 320));
    EXPECT_EQ(at(window.frames[0], 10, 20), kRed);
    EXPECT_EQ(at(window.frames[0], 239, 319), kBlue);
}

TEST_F(SurfaceTest, NormalResolutionFrameIsHandedOverUnscaled) {
    FakeWindow window({480, 640}, 96, 96);
    surface.resize(window);
    surface.fillRect(surface.bounds(), kGreen);
    surface.present();
    ASSERT_EQ(window.sources.size(), 1u);
    EXPECT_EQ(window.sources[0], (Size{480, 640}));
    EXPECT_EQ(at(window.frames[0], 479, 639), kGreen);
}

TEST_F(SurfaceTest, NothingIsPresentedWithoutAWindow) {
    FakeWindow window({100, 100}, 96, 96);
    Surface unsized;
    unsized.present();  // before any sizing
    surface.resize(window);
    surface.resize(Size{100, 100}, 96, 96);  // sized from figures: no window to present to
    surface.present();
    EXPECT_TRUE(window.frames.empty());
}

// A desktop window resized in one direction, or a keyboard panel taking height: the frame
// has the new size at once, and the same size keeps the buffers.
TEST_F(SurfaceTest, EveryChangeOfSizeGivesBuffersOfTheNewSize) {
    surface.resize(Size{240, 320}, 96, 96);
    const uchar* main = surface.mainBuffer().constBits();
    surface.resize(Size{240, 320}, 96, 96);
    EXPECT_EQ(surface.mainBuffer().constBits(), main);
    struct Case {
        Size client;
        bool rotate;
        Size main;
    } cases[] = {
        {{240, 400}, false, {240, 400}},  // height only
        {{300, 400}, false, {300, 400}},  // width only
        {{300, 250}, false, {300, 250}},  // height only, now landscape
        {{300, 250}, true, {250, 300}},
        {{300, 260}, true, {260, 300}},  // turned: the main buffer's width follows the height
        {{0, 260}, false, {0, 0}},
        {{240, 320}, false, {240, 320}},
    };
    for (const Case& c : cases) {
        surface.setRotate(c.rotate);
        FakeWindow window(c.client, 96, 96);
        surface.resize(window);
        EXPECT_EQ(surface.bounds(), (Rect{0, 0, c.main.width, c.main.height})) << c.client.width << "x" << c.client.height;
        EXPECT_EQ(surface.turnedBuffer().size(), QSize(c.main.height, c.main.width));
        if (c.main.width == 0) continue;
        surface.fillRect(surface.bounds(), kRed);
        surface.applyMirrorAndRotation();
        surface.present();
        ASSERT_FALSE(window.frames.empty());
        EXPECT_EQ(window.frames.back().size(), QSize(c.client.width, c.client.height));
        EXPECT_EQ(at(window.frames.back(), c.client.width - 1, c.client.height - 1), kRed);
    }
}

TEST_F(SurfaceTest, RotationTurnsThePageClockwiseAndLeavesLaterDrawingUpright) {
    FakeWindow window({240, 320}, 96, 96);
    surface.setRotate(true);
    surface.resize(window);
    ASSERT_EQ(surface.bounds(), (Rect{0, 0, 320, 240}));
    surface.fillRect(surface.bounds(), kBlack);
    surface.fillRect({5, 7, 6, 8}, kRed);  // near the top-left of the landscape page
    surface.applyMirrorAndRotation();
    // The turned buffer is now drawn into: a button at the window's bottom-left corner.
    EXPECT_EQ(&surface.target(), &surface.turnedBuffer());
    surface.fillRect({1, 300, 2, 301}, kGreen);
    surface.present();
    ASSERT_EQ(window.frames.size(), 1u);
    EXPECT_EQ(window.sources[0], (Size{240, 320}));
    const QImage& frame = window.frames[0];
    ASSERT_EQ(frame.size(), QSize(240, 320));
    // A quarter turn clockwise: the top-left goes to the top-right.
    EXPECT_EQ(pixelsOf(frame, kRed), (std::set<std::pair<int, int>>{{240 - 1 - 7, 5}}));
    EXPECT_EQ(pixelsOf(frame, kGreen), (std::set<std::pair<int, int>>{{1, 300}}));
    // The next page draws into the main buffer again.
    EXPECT_EQ(&surface.target(), &surface.mainBuffer());
}

TEST_F(SurfaceTest, MirrorMovesTheLeftEdgeToTheRightEdge) {
    FakeWindow window({240, 100}, 96, 96);
    surface.setMirror(true);
    surface.resize(window);
    surface.fillRect(surface.bounds(), kBlack);
    surface.fillRect({0, 10, 1, 11}, kRed);
    surface.applyMirrorAndRotation();
    surface.fillRect({0, 50, 1, 51}, kGreen);  // a button after mirroring stays where it is
    surface.present();
    ASSERT_EQ(window.frames.size(), 1u);
    EXPECT_EQ(pixelsOf(window.frames[0], kRed), (std::set<std::pair<int, int>>{{239, 10}}));
    EXPECT_EQ(pixelsOf(window.frames[0], kGreen), (std::set<std::pair<int, int>>{{0, 50}}));
}

TEST_F(SurfaceTest, MirrorAndTurnKeepEveryPixelForOddAndEvenWidths) {
    const Size sizes[] = {{241, 101}, {240, 100}, {1, 7}, {7, 1}, {33, 65}};
    for (const Size size : sizes) {
        for (const int flags : {1, 2, 3}) {
            const bool mirror = flags & 1;
            const bool rotate = flags & 2;
            SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " mirror " << mirror
                                            << " rotate " << rotate);
            Surface fresh;
            fresh.setMirror(mirror);
            fresh.setRotate(rotate);
            fresh.resize(size, 96, 96);
            QImage& page = fresh.target();
            std::mt19937 random(size.width * 1000 + size.height);
            for (int y = 0; y < page.height(); ++y)
                for (int x = 0; x < page.width(); ++x)
                    reinterpret_cast<uint16_t*>(page.scanLine(y))[x] = random() & 0x7FFF;
            const QImage before = page.copy();
            fresh.applyMirrorAndRotation();
            const QImage& after = fresh.target();
            const int w = before.width();
            const int h = before.height();
            ASSERT_EQ(after.size(), rotate ? QSize(h, w) : QSize(w, h));
            int wrong = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int mirroredX = mirror ? w - 1 - x : x;
                    const int toX = rotate ? h - 1 - y : mirroredX;
                    const int toY = rotate ? mirroredX : y;
                    wrong += at(after, toX, toY) != at(before, x, y);
                }
            EXPECT_EQ(wrong, 0);
        }
    }
}

// ---- Filling, lines and shapes ------------------------------------------------------------

TEST_F(SurfaceTest, FillRectLeavesRightAndBottomEdgesOut) {
    make(40, 40);
    surface.fillRect({10, 12, 15, 14}, kRed);
    EXPECT_EQ(inkBox(image(), kBlack), (Rect{10, 12, 15, 14}));
    EXPECT_EQ(pixelsOf(image(), kRed).size(), 10u);
    surface.fillRect({20, 20, 20, 30}, kRed);  // empty
    surface.fillRect({30, 30, 25, 35}, kRed);  // inverted
    EXPECT_EQ(pixelsOf(image(), kRed).size(), 10u);
}

TEST_F(SurfaceTest, ThinLinesLeaveTheirLastPointOut) {
    struct Case {
        const char* name;
        int x1, y1, x2, y2;
        std::set<std::pair<int, int>> expected;
    };
    const Case cases[] = {
        {"right", 10, 10, 14, 10, {{10, 10}, {11, 10}, {12, 10}, {13, 10}}},
        {"left", 14, 10, 10, 10, {{14, 10}, {13, 10}, {12, 10}, {11, 10}}},
        {"down", 3, 5, 3, 8, {{3, 5}, {3, 6}, {3, 7}}},
        {"up", 3, 8, 3, 5, {{3, 8}, {3, 7}, {3, 6}}},
        {"diagonal", 0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {"anti-diagonal", 4, 0, 0, 4, {{4, 0}, {3, 1}, {2, 2}, {1, 3}}},
        {"one step", 7, 7, 8, 7, {{7, 7}}},
        {"no length", 7, 7, 7, 7, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make(20, 20);
        surface.line(kWhite, c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(pixelsOf(image(), kWhite), c.expected);
    }
}

TEST_F(SurfaceTest, ShallowLineStepsOnceAndIsConnected) {
    make(40, 20);
    surface.line(kWhite, 1, 0, 2, 30, 5);
    const auto pixels = pixelsOf(image(), kWhite);
    EXPECT_EQ(pixels.size(), 30u);  // one pixel per column 0..29
    int previousY = 2;
    for (const auto& [x, y] : pixels) {
        EXPECT_GE(y, previousY);
        EXPECT_LE(y, previousY + 1);
        previousY = y;
    }
    EXPECT_EQ(previousY, 5);
}

TEST_F(SurfaceTest, WideLinesHaveFlatEndsCentredOnTheLine) {
    make(40, 40);
    surface.line(kWhite, 3, 10, 10, 20, 10);
    EXPECT_EQ(inkBox(image(), kBlack), (Rect{10, 9, 20, 12}));
    EXPECT_EQ(pixelsOf(image(), kWhite).size(), 30u);
    make(40, 40);
    surface.line(kWhite, 4, 10, 10, 10, 30);
    const Rect box = inkBox(image(), kBlack);
    EXPECT_EQ(box.width(), 4);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.bottom, 30);
}

TEST_F(SurfaceTest, PolylineNeedsTwoPointsAndLeavesOnlyTheVeryLastPointOut) {
    const Point points[] = {{2, 2}, {6, 2}, {6, 5}};
    make(10, 10);
    surface.polyline(kWhite, 1, points, 1);
    surface.polyline(kWhite, 1, points, 0);
    surface.polyline(kWhite, 1, nullptr, 3);
    surface.polyline(kWhite, 3, points, 1);
    EXPECT_TRUE(pixelsOf(image(), kWhite).empty());
    surface.polyline(kWhite, 1, points, 3);
    EXPECT_EQ(pixelsOf(image(), kWhite),
              (std::set<std::pair<int, int>>{{2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}, {6, 3}, {6, 4}}));
    make(20, 20);
    const Point bend[] = {{2, 10}, {10, 10}, {10, 18}};
    surface.polyline(kWhite, 3, bend, 3);
    // The corner is filled by the join.
    EXPECT_EQ(at(image(), 11, 9), kWhite);
    EXPECT_EQ(at(image(), 10, 10), kWhite);
}

TEST_F(SurfaceTest, RectangleCoversLeftToRightMinusOne) {
    make(40, 40);
    surface.rectangle(kRed, 1, kBlue, {10, 10, 20, 15});
    EXPECT_EQ(inkBox(image(), kBlack), (Rect{10, 10, 20, 15}));
    const auto border = pixelsOf(image(), kRed);
    EXPECT_EQ(border.size(), 2u * 10 + 2u * 3);
    EXPECT_EQ(at(image(), 10, 10), kRed);
    EXPECT_EQ(at(image(), 19, 14), kRed);
    EXPECT_EQ(at(image(), 11, 11), kBlue);
    EXPECT_EQ(at(image(), 18, 13), kBlue);
    EXPECT_EQ(pixelsOf(image(), kBlue).size(), 8u * 3);
    // A wider pen is centred on the edge.
    make(40, 40);
    surface.rectangle(kRed, 3, kBlue, {10, 10, 20, 20});
    EXPECT_EQ(inkBox(image(), kBlack), (Rect{9, 9, 21, 21}));
    EXPECT_EQ(at(image(), 11, 11), kRed);
    EXPECT_EQ(at(image(), 12, 12), kBlue);
    EXPECT_EQ(at(image(), 17, 17), kBlue);
    EXPECT_EQ(at(image(), 18, 18), kRed);
}

TEST_F(SurfaceTest, RoundRectLeavesTheCornerPixelsOut) {
    make(40, 40);
    surface.roundRect(kRed, 1, kBlue, {10, 10, 20, 15});
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{10, 10}, {19, 10}, {10, 14}, {19, 14}})
        EXPECT_EQ(at(image(), x, y), kBlack) << x << "," << y;
    EXPECT_EQ(at(image(), 11, 10), kRed);
    EXPECT_EQ(at(image(), 10, 11), kRed);
    EXPECT_EQ(at(image(), 11, 11), kBlue);
    EXPECT_EQ(inkBox(image(), kBlack), (Rect{10, 10, 20, 15}));
}

TEST_F(SurfaceTest, FilledCircleFillsTheSquareAroundTheCentreSymmetrically) {
    make(100, 100);
    surface.filledCircle(kRed, 1, kBlue, 50, 50, 5);
    EXPECT_EQ(inkBox(image(), kBlack), (Rect{45, 45, 55, 55}));
    EXPECT_EQ(at(image(), 49, 49), kBlue);
    EXPECT_EQ(at(image(), 50, 50), kBlue);
    EXPECT_EQ(at(image(), 45, 50), kRed);
    EXPECT_EQ(at(image(), 54, 49), kRed);
    EXPECT_EQ(at(image(), 45, 45), kBlack);  // corners of the square stay out
    for (int y = 40; y < 60; ++y)
        for (int x = 40; x < 60; ++x) {
            ASSERT_EQ(at(image(), x, y), at(image(), 99 - x, y)) << x << "," << y;
            ASSERT_EQ(at(image(), x, y), at(image(), y, x)) << x << "," << y;
        }
    make(20, 20);
    surface.filledCircle(kRed, 1, kBlue, 10, 10, 0);
    surface.filledCircle(kRed, 1, kBlue, 10, 10, -3);
    EXPECT_EQ(inkBox(image(), kBlack), Rect{});
}

// The ring's points for radius 5, one quarter worked by hand, mirrored into the others.
std::set<std::pair<int, int>> radiusFiveRing(int cx, int cy) {
    std::set<std::pair<int, int>> points;
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{0, 5}, {1, 5}, {2, 5}, {3, 4}, {4, 3}, {5, 2}, {5, 1}, {5, 0}})
        for (const int sx : {-1, 1})
            for (const int sy : {-1, 1})
                points.insert({cx + sx * x, cy + sy * y});
    return points;
}

TEST_F(SurfaceTest, CircleOutlineMarksTheRingPointByPoint) {
    make(40, 40);
    surface.circleOutline(kWhite, 1, 20, 20, -1);
    EXPECT_TRUE(pixelsOf(image(), kWhite).empty());
    make(40, 40);
    surface.circleOutline(kWhite, 1, 20, 20, 0);
    EXPECT_EQ(pixelsOf(image(), kWhite), (std::set<std::pair<int, int>>{{20, 20}}));
    make(40, 40);
    surface.circleOutline(kWhite, 0, 20, 20, 5);
    EXPECT_EQ(pixelsOf(image(), kWhite), radiusFiveRing(20, 20));
    // Round at every size: each point within half a pixel of the radius, none missing
    // between neighbours, the same in all four quarters.
    for (const int radius : {1, 2, 12, 50, 99}) {
        SCOPED_TRACE(radius);
        make(210, 210);
        surface.circleOutline(kWhite, 1, 105, 105, radius);
        const auto points = pixelsOf(image(), kWhite);
        ASSERT_FALSE(points.empty());
        for (const auto& [x, y] : points) {
            EXPECT_LE(std::abs(std::hypot(x - 105, y - 105) - radius), 0.5) << x << "," << y;
            EXPECT_TRUE(points.count({210 - x, y}) && points.count({x, 210 - y}));
            bool neighbour = false;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    if ((dx || dy) && points.count({x + dx, y + dy})) neighbour = true;
            EXPECT_TRUE(neighbour) << x << "," << y;
        }
    }
}

TEST_F(SurfaceTest, ThickCircleOutlineMarksSquaresAroundEachPoint) {
    make(40, 40);
    surface.circleOutline(kWhite, 3, 20, 20, 5);
    std::set<std::pair<int, int>> expected;
    for (const auto& [x, y] : radiusFiveRing(20, 20))
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                expected.insert({x + dx, y + dy});
    EXPECT_EQ(pixelsOf(image(), kWhite), expected);
    make(40, 40);
    surface.circleOutline(kWhite, 2, 20, 20, 0);  // half is 1: the square starts left and above
    EXPECT_EQ(pixelsOf(image(), kWhite), (std::set<std::pair<int, int>>{{19, 19}, {20, 19}, {19, 20}, {20, 20}}));
}

// ---- Clipping and figures far outside --------------------------------------------------

// A figure computed in 64 bits, cut to what an int holds.
int cut(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

// Every drawing operation around x, y, reaching `size` away.
void drawEverything(Surface& surface, const Font& font, int x, int y, int size) {
    const int64_t cx = x;
    const int64_t cy = y;
    const int left = cut(cx - size);
    const int top = cut(cy - size);
    const int right = cut(cx + size);
    const int bottom = cut(cy + size);
    surface.fillRect({left, top, right, bottom}, kRed);
    surface.line(kWhite, 1, left, cut(cy - size / 2), right, cut(cy + size / 3));
    surface.line(kWhite, 5, right, top, left, bottom);
    const Point points[] = {{left, y}, {x, top}, {right, bottom}, {x, y}};
    surface.polyline(kGreen, 1, points, 4);
    surface.polyline(kGreen, 7, points, 4);
    surface.rectangle(kBlue, 3, kGreen, {left, top, right, bottom});
    surface.roundRect(kBlue, 1, kRed, {left, cut(cy - size / 2), right, cut(cy + size / 2)});
    surface.filledCircle(kWhite, 2, kBlue, x, y, size);
    surface.circleOutline(kGreen, 1, x, y, size);
    surface.circleOutline(kGreen, 4, x, y, size);
    surface.drawText(font, L"88\n88", left, top, kWhite);
    surface.drawText(font, L"88", x, y, kWhite);
}

TEST_F(SurfaceTest, DrawingStaysInsideTheClip) {
    const Font font("DejaVu Sans", 30, 0);
    make(100, 100);
    surface.setClip({30, 40, 60, 70});
    drawEverything(surface, font, 45, 55, 40);
    EXPECT_EQ(inkBox(image(), kBlack), (Rect{30, 40, 60, 70}));
    surface.clearClip();
    surface.fillRect(surface.bounds(), kRed);
    EXPECT_EQ(pixelsOf(image(), kRed).size(), 100u * 100u);
    // A clip wholly outside the buffer lets nothing through.
    make(100, 100);
    surface.setClip({200, 200, 300, 300});
    drawEverything(surface, font, 45, 55, 40);
    EXPECT_EQ(inkBox(image(), kBlack), Rect{});
}

TEST_F(SurfaceTest, FiguresFarOutsideTheBufferAreCutSafely) {
    const Font font("DejaVu Sans", 20, 0);
    const Font turned("DejaVu Sans", 20, 45);
    const int far[] = {-1000000, 1000000, INT_MIN, INT_MAX, INT_MIN / 2, INT_MAX / 2};
    for (const int x : far) {
        for (const int y : far) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            make(64, 48);
            surface.setClip({10, 10, 50, 40});
            for (const int size : {10, 1000000, INT_MAX / 4})
                drawEverything(surface, font, x, y, size);
            surface.drawText(turned, L"888", x, y, kWhite);
            surface.circleOutline(kWhite, 1, x, y, INT_MAX);
            surface.circleOutline(kWhite, INT_MAX, 20, 20, 3);
            surface.filledCircle(kWhite, INT_MAX, kWhite, x, y, INT_MAX);
            surface.line(kWhite, INT_MAX, x, y, cut(-int64_t{x}), cut(-int64_t{y}));
            surface.line(kWhite, 1, x, y, cut(-int64_t{x}), 20);
            const Rect ink = inkBox(image(), kBlack);
            if (ink.width() > 0) {
                EXPECT_GE(ink.left, 10);
                EXPECT_GE(ink.top, 10);
                EXPECT_LE(ink.right, 50);
                EXPECT_LE(ink.bottom, 40);
            }
        }
    }
}

TEST_F(SurfaceTest, HugeRingAroundTheScreenLeavesItUntouched) {
    make(64, 48);
    surface.circleOutline(kWhite, 1, 32, 24, 1000000);
    surface.circleOutline(kWhite, 5, 32, 24, 50000);
    EXPECT_EQ(inkBox(image(), kBlack), Rect{});
    // A large ring through the screen still shows its arc.
    surface.circleOutline(kWhite, 1, 32, 24 + 5000, 5000);
    EXPECT_TRUE(pixelsOf(image(), kWhite).count({32, 24}));
}

// ---- Fonts and text --------------------------------------------------------------------

class TextTest : public SurfaceTest {
protected:
    static void SetUpTestSuite() {
        const int id = QFontDatabase::addApplicationFont("/usr/share/fonts/truetype/dseg/DSEG7Classic-Regular.ttf");
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty())
            Font::mapFace("LCD", families.front());
    }
};

TEST_F(TextTest, FaceNamesMapToFamilies) {
    EXPECT_FALSE(Font::familyOf("LCD").isEmpty());
    EXPECT_NE(Font::familyOf("LCD"), QString("LCD"));
    EXPECT_EQ(Font::familyOf("Times New Roman"), QString("Times New Roman"));
    Font::mapFace("Screen", "DejaVu Sans");
    EXPECT_EQ(Font::familyOf("Screen"), QString("DejaVu Sans"));
}

TEST_F(TextTest, FontCellHeightComesAsCloseAsPossibleWithoutExceedingTheRequest) {
    for (const char* face : {"LCD", "DejaVu Sans"}) {
        for (const int height : {8, 13, 20, 32, 57, 140}) {
            SCOPED_TRACE(testing::Message() << face << " " << height);
            const auto font = surface.createFont(face, height, 0);
            const int pixelSize = font->qfont().pixelSize();
            EXPECT_EQ(font->height(), height);
            EXPECT_EQ(QFontMetrics(font->qfont()).height(), font->lineHeight());
            EXPECT_LE(font->lineHeight(), height);
            QFont larger = font->qfont();
            larger.setPixelSize(pixelSize + 1);
            EXPECT_GT(QFontMetrics(larger).height(), height);
            EXPECT_TRUE(font->qfont().styleStrategy() & QFont::NoAntialias);
        }
    }
}

TEST_F(TextTest, UnusualFontHeightsGiveAUsableFont) {
    for (const int height : {0, -1, -20, 1, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(height);
        const auto font = surface.createFont("DejaVu Sans", height, 0);
        EXPECT_GE(font->qfont().pixelSize(), 1);
        EXPECT_GT(font->lineHeight(), 0);
    }
    EXPECT_EQ(surface.createFont("DejaVu Sans", -20, 0)->qfont().pixelSize(), 20);
}

TEST_F(TextTest, MeasureGrowsWithTextAndLines) {
    const auto font = surface.createFont("LCD", 40, 0);
    const Size one = surface.measureText(*font, L"1");
    const Size two = surface.measureText(*font, L"11");
    const Size three = surface.measureText(*font, L"111");
    EXPECT_GT(one.width, 0);
    EXPECT_GT(two.width, one.width);
    EXPECT_GT(three.width, two.width);
    EXPECT_EQ(one.height, font->lineHeight());
    EXPECT_EQ(three.height, font->lineHeight());
    const Size lines = surface.measureText(*font, L"11\n1");
    EXPECT_EQ(lines.width, two.width);  // the widest line
    EXPECT_EQ(lines.height, 2 * font->lineHeight());
    EXPECT_EQ(surface.measureText(*font, L"1\r\n1\n1").height, 3 * font->lineHeight());
    EXPECT_EQ(surface.measureText(*font, L""), (Size{0, 0}));
}

TEST_F(TextTest, TextInkLiesInsideItsMeasuredBoxAtTheGivenCorner) {
    struct Case {
        const char* face;
        int height;
        const wchar_t* text;
    };
    const Case cases[] = {
        {"DejaVu Sans", 24, L"Hg8|"}, {"DejaVu Sans", 16, L"Two\nlines"}, {"LCD", 60, L"88:88"}, {"LCD", 140, L"188"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        make(480, 400);
        const auto font = surface.createFont(c.face, c.height, 0);
        const Size size = surface.measureText(*font, c.text);
        surface.drawText(*font, c.text, 30, 40, kWhite);
        const Rect ink = inkBox(image(), kBlack);
        ASSERT_GT(ink.width(), 0);
        EXPECT_GE(ink.left, 30);
        EXPECT_GE(ink.top, 40);
        EXPECT_LE(ink.right, 30 + size.width);
        EXPECT_LE(ink.bottom, 40 + size.height);
        // Ink is drawn in the text colour only: no antialiased edges.
        EXPECT_EQ(pixelsOf(image(), kWhite).size() + pixelsOf(image(), kBlack).size(), 480u * 400u);
    }
}

TEST_F(TextTest, AngledTextTurnsCounterClockwiseAroundItsOrigin) {
    make(200, 200);
    const auto font = surface.createFont("DejaVu Sans", 20, 90);
    EXPECT_EQ(font->angle(), 90);
    surface.drawText(*font, L"HHHH", 100, 150, kWhite);
    const Rect ink = inkBox(image(), kBlack);
    ASSERT_GT(ink.width(), 0);
    // Written upwards from the origin, the line's top towards the left.
    EXPECT_GT(ink.height(), ink.width());
    EXPECT_LE(ink.bottom, 151);
    EXPECT_GE(ink.left, 100);
    EXPECT_LE(ink.right, 100 + font->lineHeight() + 1);
}

TEST_F(TextTest, MirroredTextAppearsAtTheRightEdge) {
    surface.setMirror(true);
    make(240, 100);
    const auto font = surface.createFont("LCD", 40, 0);
    const Size size = surface.measureText(*font, L"12");
    surface.drawText(*font, L"12", 0, 10, kWhite);
    const Rect before = inkBox(image(), kBlack);
    surface.applyMirrorAndRotation();
    const Rect after = inkBox(image(), kBlack);
    EXPECT_LE(before.right, size.width);
    EXPECT_EQ(after.left, 240 - before.right);
    EXPECT_EQ(after.right, 240 - before.left);
    EXPECT_GE(after.left, 240 - size.width);
}

// ---- Colours in settings ---------------------------------------------------------------

TEST(ColourSettingTest, TextIsReadLikeAtoi) {
    const Colour fallback = rgb(1, 2, 3);
    struct Case {
        const char* text;
        Colour expected;
    };
    const Case cases[] = {
        {"16777215", rgb(255, 255, 255)},
        {"0", 0},
        {"255", rgb(255, 0, 0)},
        {"+255", rgb(255, 0, 0)},
        {"  65280", rgb(0, 255, 0)},
        {"255xyz", rgb(255, 0, 0)},
        {"abc", 0},
        {" ", 0},
        {"-", 0},
        {"x255", 0},
        {"-1", 0xFFFFFFFFu},
        {"2147483647", 0x7FFFFFFFu},
        {"99999999999", 0x7FFFFFFFu},  // saturated like strtol cut to an int
        {"-99999999999999999999999", 0x80000000u},
        {"", fallback},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColourSetting::fromText(c.text, fallback), c.expected) << '"' << c.text << '"';
}

TEST(ColourSettingTest, ColoursAreWrittenAsSignedDecimals) {
    EXPECT_EQ(ColourSetting::toText(rgb(255, 255, 255)), "16777215");
    EXPECT_EQ(ColourSetting::toText(0), "0");
    EXPECT_EQ(ColourSetting::toText(0xFFFFFFFFu), "-1");
    for (const Colour colour : {0u, 1u, 0xFFu, 0x00804020u, 0xFFFFFFu, 0x80000000u})
        EXPECT_EQ(ColourSetting::fromText(ColourSetting::toText(colour), 7), colour);
}

}  // namespace
}  // namespace movira
