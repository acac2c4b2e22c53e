#include "display/Image.h"
#include "display/Surface.h"

#include <QImage>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace movira {
namespace {

namespace fs = std::filesystem;

// The three 5-bit components of a 16-bit pixel.
struct Components {
    int red;
    int green;
    int blue;
};

Components at(const QImage& image, int x, int y) {
    const uint16_t pixel = reinterpret_cast<const uint16_t*>(image.constScanLine(y))[x];
    return {(pixel >> 10) & 31, (pixel >> 5) & 31, pixel & 31};
}

bool operator==(const Components& a, const Components& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}
std::ostream& operator<<(std::ostream& out, const Components& c) {
    return out << "(" << c.red << "," << c.green << "," << c.blue << ")";
}

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "image-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        surface_.resize(Size{40, 30}, 96, 96);
        surface_.fillRect(surface_.bounds(), 0);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Saves a PNG whose pixels are given as straight (not premultiplied) 0xAARRGGBB.
    std::string png(const std::string& name, int width, int height, std::initializer_list<QRgb> pixels) {
        QImage picture(width, height, QImage::Format_ARGB32);
        auto next = pixels.begin();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture.setPixel(x, y, *next++);
        const std::string path = (folder_ / name).string();
        EXPECT_TRUE(picture.save(QString::fromStdString(path), "PNG"));
        return path;
    }
    static uint32_t stored(const Image& image, int x, int y) {
        return reinterpret_cast<const uint32_t*>(image.pixels().constScanLine(y))[x];
    }

    fs::path folder_;
    Surface surface_;
};

TEST_F(ImageTest, ColoursArePremultipliedByAlphaShiftedRight) {
    Image image;
    ASSERT_TRUE(image.load(png("colours.png", 4, 1, {0xFFFF0000, 0x0000FF00, 0x80C86432, 0xFFFFFFFF})));
    EXPECT_EQ(image.size(), (Size{4, 1}));
    EXPECT_EQ(image.pixels().format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(stored(image, 0, 0), 0xFFFE0000u);  // 255 * 255 >> 8 = 254
    EXPECT_EQ(stored(image, 1, 0), 0x00000000u);  // alpha 0: all zero
    EXPECT_EQ(stored(image, 2, 0), 0x80643219u);  // 200, 100, 50 at alpha 128
    EXPECT_EQ(stored(image, 3, 0), 0xFFFEFEFEu);
}

TEST_F(ImageTest, FilesThatAreNoPicturesLeaveTheImageEmpty) {
    std::ofstream(folder_ / "text.png") << "not a picture";
    std::ofstream(folder_ / "empty.png");
    const std::string good = png("good.png", 2, 2, {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000});
    for (const std::string name : {"missing.png", "text.png", "empty.png", ""}) {
        SCOPED_TRACE(name);
        Image image;
        ASSERT_TRUE(image.load(good));
        EXPECT_FALSE(image.load(name.empty() ? name : (folder_ / name).string()));
        EXPECT_TRUE(image.isEmpty());
        EXPECT_EQ(image.size(), (Size{0, 0}));
    }
}

TEST_F(ImageTest, EmptyImageDrawsNothing) {
    Image image;
    image.drawOpaque(surface_, {0, 0, 40, 30});
    image.drawBlended(surface_, {0, 0, 40, 30}, 255);
    image.release();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(at(surface_.target(), x, y), (Components{0, 0, 0}));
}

TEST_F(ImageTest, OpaqueDrawingShowsTransparentPixelsBlackAndStretchesByNearestPixel) {
    Image image;
    ASSERT_TRUE(image.load(png("opaque.png", 2, 2, {0xFFFF0000, 0x00FFFFFF, 0xFF00FF00, 0x800000FF})));
    surface_.fillRect(surface_.bounds(), rgb(255, 255, 255));
    image.drawOpaque(surface_, {10, 10, 14, 14});
    const QImage& buffer = surface_.target();
    for (int y = 10; y < 14; ++y) {
        for (int x = 10; x < 14; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            const bool right = x >= 12;
            const bool lower = y >= 12;
            const Components expected = !lower ? (right ? Components{0, 0, 0} : Components{31, 0, 0})
                                               : (right ? Components{0, 0, 15} : Components{0, 31, 0});
            EXPECT_EQ(at(buffer, x, y), expected);
        }
    }
    EXPECT_EQ(at(buffer, 9, 10), (Components{31, 31, 31}));
    EXPECT_EQ(at(buffer, 14, 13), (Components{31, 31, 31}));
    EXPECT_EQ(at(buffer, 12, 14), (Components{31, 31, 31}));
}

TEST_F(ImageTest, BlendingUsesThePicturesAlphaTimesTheConstantAlpha) {
    Image image;
    // Opaque white, transparent, half-transparent white.
    ASSERT_TRUE(image.load(png("blend.png", 3, 1, {0xFFFFFFFF, 0x00FFFFFF, 0x80FFFFFF})));
    struct Case {
        int alpha;
        Components background;
        Components opaque;
        Components half;
    };
    const Case cases[] = {
        {255, {0, 0, 31}, {31, 31, 31}, {15, 15, 31}},
        {128, {0, 0, 31}, {15, 15, 31}, {8, 8, 31}},
        {0, {0, 0, 31}, {0, 0, 31}, {0, 0, 31}},
        {255, {16, 16, 16}, {31, 31, 31}, {24, 24, 24}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alpha);
        const Colour background = rgb(c.background.red << 3, c.background.green << 3, c.background.blue << 3);
        surface_.fillRect(surface_.bounds(), background);
        image.drawBlended(surface_, {0, 0, 3, 1}, c.alpha);
        const QImage& buffer = surface_.target();
        const auto near = [](Components actual, Components expected) {
            return std::abs(actual.red - expected.red) <= 1 && std::abs(actual.green - expected.green) <= 1 &&
                   std::abs(actual.blue - expected.blue) <= 1;
        };
        EXPECT_PRED2(near, at(buffer, 0, 0), c.opaque);
        EXPECT_EQ(at(buffer, 1, 0), c.background);
        EXPECT_PRED2(near, at(buffer, 2, 0), c.half);
    }
}

TEST_F(ImageTest, DrawingKeepsToTheClipAndTheBuffer) {
    Image image;
    ASSERT_TRUE(image.load(png("white.png", 2, 2, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF})));
    const Rect targets[] = {
        {0, 0, 40, 30},
        {-1000000, -1000000, 1000000, 1000000},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
        {INT_MAX - 1, 0, INT_MAX, 10},
        {30, 20, 10, 5},  // inverted: nothing
    };
    for (const Rect& target : targets) {
        SCOPED_TRACE(testing::Message() << target.left << "," << target.top);
        surface_.fillRect(surface_.bounds(), 0);
        surface_.setClip({5, 6, 25, 16});
        image.drawOpaque(surface_, target);
        image.drawBlended(surface_, target, 200);
        surface_.clearClip();
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                if (!Rect{5, 6, 25, 16}.contains({x, y})) {
                    ASSERT_EQ(at(surface_.target(), x, y), (Components{0, 0, 0})) << x << "," << y;
                }
    }
}

TEST_F(ImageTest, ButtonsDrawIntoTheTurnedBuffer) {
    Image image;
    ASSERT_TRUE(image.load(png("button.png", 1, 1, {0xFF00FF00})));
    Surface surface;
    surface.setRotate(true);
    surface.resize(Size{20, 30}, 96, 96);
    surface.fillRect(surface.bounds(), 0);
    surface.applyMirrorAndRotation();
    image.drawOpaque(surface, {0, 29, 1, 30});  // the window's bottom-left corner
    EXPECT_EQ(at(surface.turnedBuffer(), 0, 29), (Components{0, 31, 0}));
}

}  // namespace
}  // namespace movira
