// Pages, slides, swipes, button bars and their countdowns, on a fake window.
#include "core/UserCommand.h"
#include "display/Widget.h"
#include "display/WidgetManager.h"
#include "settings/IniFile.h"
#include "tests/display/DisplayTestBed.h"
#include "tests/support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace movira::test {
namespace {

const char* const kSections[] = {"TableWidget",      "SpeedometerWidget", "FullScreenSpeedWidget",
                                 "SattelitesWidget", "SpeedChartWidget",  "PathWidget"};
// A background of its own for each page, so that frames show which page lies where.
const Colour kBackgrounds[] = {0x0000F8, 0x00F800, 0xF80000, 0xF8F800, 0x00F8F8, 0xF800F8};

void colourPages(WidgetManager& pages) {
    IniFile ini;
    for (int i = 0; i < 6; ++i) {
        // The chart and path pages fill with their border colour around the plot; the table's
        // cells and scroll bar take the page's colour too.
        for (const char* key : {"BackGroundColor", "BorderColor", "BackGroundColorLabel", "BackGroundColorLabel2",
                                "BackGroundColorScroll", "ScrollLineColor"}) {
            ini.setValue(key, std::to_string(kBackgrounds[i]), kSections[i]);
        }
    }
    pages.loadSettings(ini);
}

TEST(WidgetManager, CreatesTheSixPagesInOrderWithTheirTitles) {
    DisplayTestBed bed;
    ASSERT_EQ(bed.pages->pageCount(), 6);
    const std::wstring titles[] = {L"Таблица", L"Speedometer", L"Speed", L"Sattelites", L"Speed chart", L"Distance"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(bed.pages->page(i).className(), kSections[i]);
        EXPECT_EQ(bed.pages->page(i).title(), titles[i]);
    }
}

TEST(WidgetManager, CurrentIndexWrapsAndRounds) {
    DisplayTestBed bed;
    struct Case {
        int set;
        int expected;
    } cases[] = {{0, 0}, {5, 5}, {6, 0}, {9, 0}, {-1, 5}, {-7, 5}, {3, 3}};
    for (const auto& c : cases) {
        bed.pages->setCurrentIndex(c.set);
        EXPECT_EQ(bed.pages->currentIndex(), c.expected) << c.set;
    }
    bed.pages->setPosition(2.4f);
    EXPECT_EQ(bed.pages->currentIndex(), 2);
    bed.pages->setPosition(2.6f);
    EXPECT_EQ(bed.pages->currentIndex(), 3);
    bed.pages->setPosition(6.0f);  // whole positions wrap
    EXPECT_EQ(bed.pages->position(), 0.0f);
}

TEST(WidgetManager, SlidesWrapAtBothEnds) {
    DisplayTestBed bed;
    bed.pages->setCurrentIndex(0);
    bed.pages->slidePrevious();
    EXPECT_EQ(bed.pages->currentIndex(), 5);
    EXPECT_EQ(bed.pages->position(), 5.0f);
    bed.pages->slideNext();
    EXPECT_EQ(bed.pages->currentIndex(), 0);
    bed.pages->setCurrentIndex(3);
    bed.pages->slideNext();
    EXPECT_EQ(bed.pages->currentIndex(), 4);
}

TEST(WidgetManager, AWholePositionShowsOnePageFullScreen) {
    DisplayTestBed bed;
    colourPages(*bed.pages);
    for (int i = 0; i < 6; ++i) {
        bed.pages->setCurrentIndex(i);
        const QImage frame = bed.frame();
        ASSERT_EQ(frame.size(), QSize(480, 800));
        // Before the first fix only the common bar's icons lie over the page, clear of these points.
        EXPECT_EQ(pixel(frame, 120, 400), rgbOf(kBackgrounds[i])) << i;  // clear of the sky plot's lines
        EXPECT_EQ(pixel(frame, 0, 0), rgbOf(kBackgrounds[i])) << i;
        EXPECT_EQ(pixel(frame, 479, 799), rgbOf(kBackgrounds[i])) << i;
    }
}

TEST(WidgetManager, ASlideFrameShowsBothPagesWithAGreySeam) {
    DisplayTestBed bed;
    colourPages(*bed.pages);
    struct Case {
        float position;
        int first;
        int second;
        int seam;  // left column of the 2-pixel seam
    } cases[] = {
        {3.25f, 3, 4, 480 - 120 - 1},  // page 3 moved left by a quarter, page 4 entering from the right
        {5.5f, 5, 0, 480 - 240 - 1},   // from the last page to page 0
        {-0.25f, 5, 0, 480 - 360 - 1}, // before page 0: the last page comes in from the left
        {0.2f, 0, 1, 480 - 96 - 1},
    };
    for (const auto& c : cases) {
        bed.pages->setPosition(c.position);
        const QImage frame = bed.frame();
        EXPECT_EQ(pixel(frame, c.seam - 1, 400), rgbOf(kBackgrounds[c.first])) << c.position;
        EXPECT_EQ(pixel(frame, c.seam, 400), rgbOf(WidgetManager::SeamColour)) << c.position;
        EXPECT_EQ(pixel(frame, c.seam + 1, 400), rgbOf(WidgetManager::SeamColour)) << c.position;
        EXPECT_EQ(pixel(frame, c.seam + 2, 400), rgbOf(kBackgrounds[c.second])) << c.position;
        EXPECT_EQ(pixel(frame, 0, 0), rgbOf(kBackgrounds[c.first])) << c.position;
        EXPECT_EQ(pixel(frame, 479, 799), rgbOf(kBackgrounds[c.second])) << c.position;
    }
}

TEST(WidgetManager, DraggingMovesThePageAndSnaps) {
    DisplayTestBed bed;
    bed.pages->setCurrentIndex(3);
    bed.hideBars();
    // A quarter of the width to the left: shifted by 0.4, springs back.
    bed.pages->onMouseDown({400, 400});
    bed.pages->onMouseMove({280, 400});
    EXPECT_FLOAT_EQ(bed.pages->position(), 3.4f);
    bed.pages->onMouseMove({280, 400});  // holding still moves nothing further
    EXPECT_FLOAT_EQ(bed.pages->position(), 3.4f);
    bed.pages->onMouseUp({280, 400});
    EXPECT_EQ(bed.pages->position(), 3.0f);

    // Half the width: the next page.
    bed.pages->onMouseDown({400, 400});
    bed.pages->onMouseMove({160, 400});
    EXPECT_FLOAT_EQ(bed.pages->position(), 3.65f);
    bed.pages->onMouseUp({160, 400});
    EXPECT_EQ(bed.pages->position(), 4.0f);

    // Far beyond the screen: the page follows only up to 0.85.
    bed.hideBars();
    bed.pages->onMouseDown({470, 400});
    bed.pages->onMouseMove({-2000, 400});
    EXPECT_FLOAT_EQ(bed.pages->position(), 4.85f);
    bed.pages->onMouseUp({-2000, 400});
    EXPECT_EQ(bed.pages->position(), 5.0f);

    // On page 0 a drag to the right always ends on the last page.
    bed.pages->setCurrentIndex(0);
    bed.hideBars();
    bed.pages->onMouseDown({100, 400});
    bed.pages->onMouseMove({130, 400});
    EXPECT_LT(bed.pages->position(), 0.0f);
    bed.pages->onMouseUp({130, 400});
    EXPECT_EQ(bed.pages->currentIndex(), 5);
}

TEST(WidgetManager, DragsThatDoNotQualifyMoveNothing) {
    DisplayTestBed bed;
    bed.pages->setCurrentIndex(2);
    // Bars visible (the countdown of the start): no page change; a double tap hides them.
    bed.pages->onMouseDown({400, 400});
    bed.pages->onMouseMove({100, 400});
    EXPECT_EQ(bed.pages->position(), 2.0f);
    bed.pages->onMouseUp({100, 400});
    bed.pages->onDoubleClick();
    EXPECT_FALSE(bed.pages->page(2).commonBar().isVisible());
    // Mostly vertical, or exactly diagonal, in a page that is not turned.
    bed.pages->onMouseDown({200, 400});
    bed.pages->onMouseMove({180, 100});
    bed.pages->onMouseMove({100, 300});
    EXPECT_EQ(bed.pages->position(), 2.0f);
    bed.pages->onMouseUp({100, 300});
    // A move without a finger down.
    bed.pages->onMouseMove({10, 400});
    EXPECT_EQ(bed.pages->position(), 2.0f);
}

TEST(WidgetManager, WhenTurnedOnlyVerticalDragsChangePages) {
    DisplayTestBed bed;
    bed.pages->setCurrentIndex(1);
    ASSERT_TRUE(bed.pages->toggleRotate());
    bed.frame();  // the bars' painting records the turn
    bed.hideBars();
    bed.pages->onMouseDown({240, 700});
    bed.pages->onMouseMove({100, 690});  // sideways: ignored
    EXPECT_EQ(bed.pages->position(), 1.0f);
    bed.pages->onMouseMove({240, 200});  // upward: toward the next page
    EXPECT_GT(bed.pages->position(), 1.5f);
    bed.pages->onMouseUp({240, 200});
    EXPECT_EQ(bed.pages->currentIndex(), 2);
}

TEST(WidgetManager, MirrorAndTurnNeedASurface) {
    FakeClock clock;
    FakeScreenKeeper screen;
    FakeBattery battery;
    AppCore core(PlatformServices{clock, screen, battery, "/nonexistent"});
    WidgetManager pages(core, clock);
    pages.createWidgets();
    EXPECT_FALSE(pages.toggleMirror());
    EXPECT_FALSE(pages.toggleRotate());
    // Input before any window: nothing happens, nothing fails.
    pages.onMouseDown({10, 10});
    pages.onMouseMove({200, 10});
    pages.onMouseUp({200, 10});
    pages.onDoubleClick();
    pages.paintFrame();
    EXPECT_EQ(pages.framesPainted(), 0);
}

TEST(WidgetManager, ATurnedFrameHasTheWindowsShapeAndUprightButtons) {
    DisplayTestBed bed(240, 320);
    colourPages(*bed.pages);
    bed.pages->setCurrentIndex(2);
    bed.fix(50);
    ASSERT_TRUE(bed.pages->toggleRotate());
    const QImage frame = bed.frame();
    ASSERT_EQ(frame.size(), QSize(240, 320));
    // The common bar stays along the window's top edge: ResetAll's green square at the left.
    EXPECT_EQ(qGreen(frame.pixel(20, 20)) > 100, true);
    ASSERT_TRUE(bed.pages->toggleRotate());
    ASSERT_TRUE(bed.pages->toggleMirror());
    ASSERT_TRUE(bed.pages->toggleMirror());
}

// A desktop window resized in one direction, or a keyboard panel taking height: each new
// client size gives a frame of that size with the bars on its edges, and taps hit what is drawn.
TEST(WidgetManager, EveryChangeOfClientSizeGivesAFrameOfThatSize) {
    DisplayTestBed bed(480, 800);
    bed.pages->setCurrentIndex(2);
    bed.fix(30);
    Widget& page = bed.pages->page(2);
    ASSERT_EQ(page.ownBar().at(5).command(), UserCommand::NextWidget);
    const Size sizes[] = {{480, 500}, {600, 500}, {600, 450}, {700, 450}, {700, 800}, {480, 800}};
    for (const Size client : sizes) {
        SCOPED_TRACE(testing::Message() << client.width << "x" << client.height);
        bed.window.setClientSize(client.width, client.height);
        bed.pages->requestRepaint(bed.window);
        page.showButtons();
        const QImage frame = bed.frame();
        ASSERT_EQ(frame.size(), QSize(client.width, client.height));
        // The next-page arrow: bottom right in portrait, top of the right edge in landscape.
        const Rect cell = page.ownBar().cellRect(5, client, 96, 96);
        const Point centre{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
        EXPECT_EQ(page.ownBar().edge(), client.height < client.width ? ButtonEdge::Right : ButtonEdge::Bottom);
        EXPECT_TRUE(buttonAt(frame, centre.x, centre.y));
        bed.port.lastCommand = 0;
        bed.tap(centre);
        EXPECT_EQ(bed.port.lastCommand, UserCommand::NextWidget);
    }
}

// The bars are laid out by the reader thread at every fix and by the UI thread at every
// change of the window, painted by the paint thread and asked for their visibility by the
// UI thread: fixes from a receiver on its terminal and input on this thread, at once.
TEST(WidgetManager, FixesOnTheReaderThreadAndInputOnTheUiThreadShareTheBars) {
    DisplayTestBed bed(480, 800);
    PseudoTerminal receiver;
    ASSERT_TRUE(receiver.ok());
    bed.core->setComPort(receiver.path());
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        for (int second = 0; sending; ++second) {
            char gga[96];
            char rmc[96];
            // A point a second, each a little further east.
            const int hms = 120000 + second / 60 % 60 * 100 + second % 60;
            const double minutes = 20 + second % 3000 * 0.01;
            std::snprintf(gga, sizeof gga, "GPGGA,%06d.00,5230.000,N,013%06.3f,E,1,08,0.9,35.0,M,0.0,M,,", hms,
                          minutes);
            std::snprintf(rmc, sizeof rmc, "GPRMC,%06d.00,A,5230.000,N,013%06.3f,E,20.0,90.0,030524,,,A", hms,
                          minutes);
            receiver.write(nmea(gga) + "\r\n" + nmea(rmc) + "\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    auto fixes = [&] { return bed.core->model()->parser.trackLog().size(); };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int round = 0; fixes() < 30 && std::chrono::steady_clock::now() < until; ++round) {
        const bool landscape = round % 4 >= 2;
        bed.window.setClientSize(landscape ? 800 : 480, landscape ? 480 : 800);
        bed.pages->requestRepaint(bed.window);  // the paint thread draws meanwhile
        bed.pages->onDoubleClick();
        bed.pages->onMouseDown({240, 240});
        bed.pages->onMouseMove({40, 250});
        bed.pages->onMouseUp({40, 250});
        bed.tap({5, 5});
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    sending = false;
    sender.join();
    EXPECT_GE(fixes(), 30u);
    EXPECT_EQ(bed.pages->page(2).ownBar().count(), 6);
}

}  // namespace
}  // namespace movira::test
