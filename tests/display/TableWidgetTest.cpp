// The table page on pixels: columns and their edges, the checkerboard of the two label
// colours, values cut to their column, scrolling with its limits, the scroll bar's thumb
// (also with nothing to scroll), and drags that scroll or change pages.
#include "display/Surface.h"
#include "display/TableWidget.h"
#include "settings/IniFile.h"
#include "tests/display/DisplayTestBed.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace movira::test {
namespace {

constexpr int kPage = 0;
using Page = TableWidget;

const QRgb kBackground = rgbOf(Page::DefaultBackground);
const QRgb kLabel = rgbOf(Page::DefaultLabel);
const QRgb kLabel2 = rgbOf(Page::DefaultLabel2);
const QRgb kTrack = rgbOf(Page::DefaultScrollBackground);
const QRgb kThumb = rgbOf(Page::DefaultScrollLine);
const QRgb kValue = rgbOf(Page::DefaultBigText);

// A sensor whose caption and text the test sets; a fix does not change them.
class TextSensor final : public Sensor {
public:
    TextSensor(const UiText& text, std::wstring caption, const std::wstring& value) : Sensor(text, std::move(caption)) {
        setText(L"%ls", value.c_str());
    }
    void update(const GpsFix&) override {}
};

class TablePage {
public:
    explicit TablePage(int width = 480, int height = 800) : bed(width, height) {
        bed.pages->setCurrentIndex(kPage);
        bed.fix(50);
        hideBars();
    }
    // Replaces the sensor set with `count` sensors "C" / `value`.
    void sensors(int count, const std::wstring& value = L"v") {
        auto model = bed.core->model();
        model->sensors = SensorSet();
        for (int i = 0; i < count; ++i) {
            model->sensors.add(std::make_unique<TextSensor>(bed.core->uiText(), L"C", value));
        }
    }
    void hideBars() {
        for (ButtonEdge edge : {ButtonEdge::Top, ButtonEdge::Bottom, ButtonEdge::Left, ButtonEdge::Right}) {
            bed.pages->countdowns().hide(edge);
        }
    }
    void drag(Point from, Point to) {
        bed.pages->onMouseDown(from);
        bed.pages->onMouseMove(to);
        bed.pages->onMouseUp(to);
    }
    Page& widget() { return static_cast<Page&>(bed.pages->page(kPage)); }
    // Every cell is one caption line of the small font over one line of the big font.
    static int cellHeight() {
        return Font("Times New Roman", 12, 0).lineHeight() + Font("Times New Roman", 20, 0).lineHeight();
    }

    DisplayTestBed bed;
};

TEST(TableWidget, ColumnsShareTheWidthLeftOfTheScrollBar) {
    const struct {
        int width, cells;
        Page::Columns expected;
    } cases[] = {
        {240, 36, {2, 117, 18}}, {480, 36, {4, 118, 9}}, {800, 36, {7, 113, 6}},
        {115, 36, {1, 110, 36}}, {114, 36, {0, 0, 0}},   {0, 36, {0, 0, 0}},
        {-20, 36, {0, 0, 0}},    {480, 0, {4, 118, 0}},  {480, 37, {4, 118, 10}},
    };
    for (const auto& c : cases) {
        const Page::Columns got = Page::columns(c.width, c.cells);
        EXPECT_EQ(got.count, c.expected.count) << c.width << " " << c.cells;
        EXPECT_EQ(got.width, c.expected.width) << c.width << " " << c.cells;
        EXPECT_EQ(got.rows, c.expected.rows) << c.width << " " << c.cells;
    }
}

TEST(TableWidget, CellsRunDownThenAcrossInACheckerboardOfTheLabelColours) {
    // 240 wide: two columns of 117 with 18 cells each (an even count: a checkerboard);
    // 480 wide: four columns of 118 with 9 (odd: every row has one colour).
    const struct {
        int width, columnWidth, rows;
    } cases[] = {{240, 117, 18}, {480, 118, 9}};
    for (const auto& c : cases) {
        TablePage page(c.width, 800);
        page.sensors(36);
        const QImage frame = page.bed.frame();
        const int h = TablePage::cellHeight();
        for (int column = 0; column * c.rows < 36; ++column) {
            const int left = column * c.columnWidth;
            for (int row = 0; row < c.rows && (row + 1) * h < 800; ++row) {
                const int top = row * h;
                const bool second = (column * (c.rows - 1) + row) % 2 != 0;
                const std::string where = std::to_string(c.width) + ": " + std::to_string(column) + "," +
                                          std::to_string(row);
                EXPECT_EQ(pixel(frame, left + 2, top + h - 2), second ? kLabel : kLabel2) << where;
                // Outline in the label colour on all four sides.
                EXPECT_EQ(pixel(frame, left, top + h / 2), kLabel) << where;
                EXPECT_EQ(pixel(frame, left + c.columnWidth - 1, top + h / 2), kLabel) << where;
                EXPECT_EQ(pixel(frame, left + 5, top), kLabel) << where;
                EXPECT_EQ(pixel(frame, left + 5, top + h - 1), kLabel) << where;
            }
        }
        // The value is centred in its cell under the caption.
        const Rect value = inkBox(frame, kValue, {0, 0, c.columnWidth, h});
        ASSERT_NE(value, Rect{});
        EXPECT_NEAR((value.left + value.right) / 2, c.columnWidth / 2, 2);
        // Right of the last column: background, then the 5-pixel bar; all cells are on the
        // page, so the thumb fills it.
        const int end = 36 / c.rows * c.columnWidth;
        EXPECT_EQ(pixel(frame, end, h / 2), c.width - 5 > end ? kBackground : kThumb) << c.width;
        EXPECT_EQ(pixel(frame, c.width - 5, 790), kThumb) << c.width;
        EXPECT_EQ(pixel(frame, c.width - 6, 790), kBackground) << c.width;
    }
}

TEST(TableWidget, AValueTooWideForItsColumnLosesCharactersAtItsEnd) {
    const std::wstring longValue = L"59°55.80000'N 030°18.60000'E 123456789";
    TablePage page;  // columns of 118
    page.sensors(36, longValue);
    const QImage frame = page.bed.frame();

    // What should be left: characters dropped one by one until the text is narrower than 118.
    Surface scratch;
    scratch.resize({480, 800}, 96, 96);
    const auto big = scratch.createFont("Times New Roman", 20, 0);
    std::wstring expected = longValue;
    while (!expected.empty() && scratch.measureText(*big, expected).width >= 118) expected.pop_back();
    ASSERT_FALSE(expected.empty());
    ASSERT_LT(expected.size(), longValue.size());
    const int captionHeight = Font("Times New Roman", 12, 0).lineHeight();
    const int width = scratch.measureText(*big, expected).width;
    scratch.fillRect(scratch.bounds(), 0);
    scratch.drawText(*big, expected, 59 - width / 2, captionHeight, Page::DefaultBigText);
    const Rect cell{0, 0, 118, TablePage::cellHeight()};
    EXPECT_EQ(inkBox(frame, kValue, cell), inkBox(scratch.target(), kValue, cell));
}

TEST(TableWidget, AnEmptyValueStillTakesOneLineOfTheBigFont) {
    TablePage page;
    page.sensors(36, L"");
    const QImage frame = page.bed.frame();
    EXPECT_EQ(page.widget().contentHeight(), 9 * TablePage::cellHeight());
    EXPECT_EQ(inkBox(frame, kValue, {0, 0, 480, 800}), Rect{});
}

TEST(TableWidget, ScrollingStopsAtBothEnds) {
    TablePage page(240, 320);  // 2 columns of 18 cells: taller than the page
    page.sensors(36);
    page.bed.frame();
    const int content = 18 * TablePage::cellHeight();
    ASSERT_EQ(page.widget().contentHeight(), content);
    ASSERT_GT(content, 320);

    // Far past the end: at the next frame the last cells sit on the bottom edge.
    page.drag({100, 300}, {100, -2000});
    EXPECT_EQ(page.widget().scrollOffset(), 2300);
    QImage frame = page.bed.frame();
    EXPECT_EQ(page.widget().scrollOffset(), content - 320);
    EXPECT_EQ(pixel(frame, 5, 319), kLabel);  // bottom outline of the last cell
    EXPECT_EQ(pixel(frame, 2, 317), kLabel);  // the 18th cell of column 0 has the label colour,
    EXPECT_EQ(pixel(frame, 119, 317), kLabel2);  // the one beside it the other

    // A short drag down from there moves the cells down by as much.
    const int h = TablePage::cellHeight();
    page.drag({100, 100}, {100, 130});
    frame = page.bed.frame();
    EXPECT_EQ(page.widget().scrollOffset(), content - 320 - 30);
    EXPECT_EQ(pixel(frame, 5, 319 - h + 30), kLabel);  // the bottom of the 17th cell
    EXPECT_EQ(pixel(frame, 2, 319 - h + 30 - 2), kLabel2);

    // Far above the start: offset 0, the first cell at the top.
    page.drag({100, 10}, {100, 3000});
    frame = page.bed.frame();
    EXPECT_EQ(page.widget().scrollOffset(), 0);
    EXPECT_EQ(pixel(frame, 5, 0), kLabel);
    EXPECT_EQ(pixel(frame, 2, 2), kLabel2);
}

TEST(TableWidget, TheThumbShowsThePartOnThePageAndNeverLeavesTheTrack) {
    const struct {
        int page, content, offset;
        Page::Thumb expected;
    } cases[] = {
        {320, 640, 0, {0, 160}},     {320, 640, 320, {160, 320}}, {320, 576, 256, {142, 319}},
        {320, 160, 0, {0, 320}},     // all on the page: the thumb fills the track
        {320, 0, 0, {0, 0}},         // no content (page too narrow, or nothing drawn yet): no thumb
        {320, 0, 500, {0, 0}},       {320, -3, 0, {0, 0}},        {0, 100, 0, {0, 0}},
        {320, 1, 0, {0, 320}},       // a tiny content would make the thumb 100,000 pixels long
        {320, 640, -50, {0, 135}},   {320, 640, 5000, {320, 320}},
    };
    for (const auto& c : cases) {
        const Page::Thumb got = Page::thumb(c.page, c.content, c.offset);
        EXPECT_EQ(got.top, c.expected.top) << c.page << " " << c.content << " " << c.offset;
        EXPECT_EQ(got.bottom, c.expected.bottom) << c.page << " " << c.content << " " << c.offset;
    }

    // On the page: 240 x 320 scrolled to the end.
    TablePage page(240, 320);
    page.sensors(36);
    page.bed.frame();
    page.drag({100, 300}, {100, -2000});
    page.bed.frame();
    const QImage frame = page.bed.frame();
    const Page::Thumb at = Page::thumb(320, 18 * TablePage::cellHeight(), page.widget().scrollOffset());
    EXPECT_EQ(inkBox(frame, kThumb, {0, 0, 240, 320}), (Rect{235, at.top, 240, at.bottom}));
    EXPECT_EQ(pixel(frame, 237, at.top - 1), kTrack);
}

TEST(TableWidget, APageTooNarrowForAColumnShowsOnlyBackgroundAndTrack) {
    TablePage page(100, 320);
    page.sensors(36);
    page.drag({50, 300}, {50, 100});  // a scroll before anything was measured
    const QImage frame = page.bed.frame();
    EXPECT_EQ(page.widget().contentHeight(), 0);
    EXPECT_EQ(page.widget().scrollOffset(), 0);
    EXPECT_EQ(inkBox(frame, kThumb, {0, 0, 100, 320}), Rect{});
    EXPECT_EQ(inkBox(frame, kTrack, {0, 0, 100, 320}), (Rect{95, 0, 100, 320}));
    EXPECT_EQ(inkBox(frame, kBackground, {0, 0, 100, 320}), (Rect{0, 0, 95, 320}));
}

TEST(TableWidget, VerticalDragsScrollAndHorizontalOnesChangePages) {
    const struct {
        bool turned;
        Point to;         // from 200, 200 (screen)
        int offset;       // after the drag, before the limit of the next frame
        float position;   // page position while the finger is still down
    } cases[] = {
        {false, {200, 100}, 100, 0.0f},   // up: the cells move up
        {false, {190, 260}, -60, 0.0f},
        {false, {80, 200}, 0, 0.4f},      // left by a quarter of the width: next page
        {false, {150, 150}, 0, 0.0f},     // as much across as along: not a scroll, not a swipe
        {true, {260, 200}, 60, 0.0f},     // turned: the page's top is at the screen's right
        {true, {200, 80}, 0, 0.4f},       // turned: up is the next page
    };
    for (const auto& c : cases) {
        TablePage page(480, 480);
        if (c.turned) {
            ASSERT_TRUE(page.bed.pages->toggleRotate());
            page.bed.pages->requestRepaint(page.bed.window);
        }
        page.bed.frame();
        page.bed.pages->onMouseDown({200, 200});
        page.bed.pages->onMouseMove(c.to);
        EXPECT_EQ(page.widget().scrollOffset(), c.offset) << c.to.x << "," << c.to.y;
        EXPECT_FLOAT_EQ(page.bed.pages->position(), c.position) << c.to.x << "," << c.to.y;
        page.bed.pages->onMouseUp(c.to);
    }
}

TEST(TableWidget, TheRealSensorsFillNineRowsOfFourColumns) {
    TablePage page;  // 480 x 800, the 36 sensors of the program
    const QImage frame = page.bed.frame();
    const int h = TablePage::cellHeight();
    EXPECT_EQ(page.widget().contentHeight(), 9 * h);
    for (int column = 0; column < 4; ++column) EXPECT_EQ(pixel(frame, column * 118, 8 * h + h / 2), kLabel) << column;
    // The speed, first of all, has a value from the first fix.
    EXPECT_NE(inkBox(frame, kValue, {0, 0, 118, h}), Rect{});
    EXPECT_EQ(pixel(frame, 300, 9 * h + 2), kBackground);
    // All of it on the page: the thumb fills the track.
    EXPECT_EQ(inkBox(frame, kThumb, {0, 0, 480, 800}), (Rect{475, 0, 480, 800}));
}

}  // namespace
}  // namespace movira::test
