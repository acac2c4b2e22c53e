// Button bars: the common bar from the start and the own bar from the first fix, layout on
// the window's edges, hit testing in both orientations, taps that post commands, cells
// without their picture, and the fading countdown that both bars follow.
#include "core/UserCommand.h"
#include "display/BarCountdowns.h"
#include "display/Widget.h"
#include "display/WidgetManager.h"
#include "tests/display/DisplayTestBed.h"

#include <gtest/gtest.h>

namespace movira::test {
namespace {

TEST(ButtonBar, TheCommonBarComesWithThePagesAndTheOwnBarWithTheFirstFix) {
    DisplayTestBed bed;
    Widget& page = bed.pages->page(2);
    EXPECT_EQ(page.commonBar().count(), 6);
    EXPECT_TRUE(page.ownBar().isEmpty());
    bed.pages->setCurrentIndex(2);
    bed.tap({10, 790});  // no own buttons yet: nothing is posted
    EXPECT_EQ(bed.port.lastCommand, 0);

    bed.fix(30);
    ASSERT_EQ(page.commonBar().count(), 6);
    const int common[] = {UserCommand::ResetAll, 0, UserCommand::ShowOptions, UserCommand::FlipHor,
                          UserCommand::RotateScreen, UserCommand::CloseApp};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(page.commonBar().at(i).command(), common[i]) << i;
    // Without the SMS library the second cell is empty.
    EXPECT_EQ(page.commonBar().at(1).icon(), nullptr);
    ASSERT_EQ(page.ownBar().count(), 6);
    EXPECT_EQ(page.ownBar().at(0).command(), UserCommand::PrevWidget);
    EXPECT_EQ(page.ownBar().at(5).command(), UserCommand::NextWidget);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(page.ownBar().at(i).command(), 0);

    bed.fix(31, 8, "120510.00");  // later fixes add nothing
    EXPECT_EQ(page.commonBar().count(), 6);
    EXPECT_EQ(page.ownBar().count(), 6);
}

TEST(ButtonBar, PortraitTapsHitTheTopAndBottomCells) {
    DisplayTestBed bed(480, 800);
    bed.pages->setCurrentIndex(2);
    bed.fix(30);
    EXPECT_EQ(bed.pages->page(2).commonBar().edge(), ButtonEdge::Top);
    EXPECT_EQ(bed.pages->page(2).ownBar().edge(), ButtonEdge::Bottom);
    // Cells are (480 - 5) / 6 = 79 pixels long, each hit over 80.
    struct Case {
        Point point;
        int command;
    } cases[] = {
        {{0, 0}, UserCommand::ResetAll},      {{79, 40}, UserCommand::ResetAll},
        {{80, 10}, 0},                        // the empty SMS cell
        {{170, 10}, UserCommand::ShowOptions}, {{479, 0}, UserCommand::CloseApp},
        {{10, 41}, 0},                        // below the bar
        {{10, 799}, UserCommand::PrevWidget},  {{470, 760}, UserCommand::NextWidget},
        {{200, 780}, 0},                      // an empty cell of the arrow bar
    };
    for (const auto& c : cases) {
        bed.port.lastCommand = 0;
        bed.pages->page(2).showButtons();
        bed.tap(c.point);
        EXPECT_EQ(bed.port.lastCommand, c.command) << c.point.x << "," << c.point.y;
    }
}

TEST(ButtonBar, LandscapeBarsRunUpTheSideEdges) {
    DisplayTestBed bed(800, 480);
    bed.pages->setCurrentIndex(2);
    bed.fix(30);
    EXPECT_EQ(bed.pages->page(2).commonBar().edge(), ButtonEdge::Left);
    EXPECT_EQ(bed.pages->page(2).ownBar().edge(), ButtonEdge::Right);
    struct Case {
        Point point;
        int command;
    } cases[] = {
        {{5, 475}, UserCommand::ResetAll},     // ResetAll at the bottom
        {{5, 5}, UserCommand::CloseApp},       // Close at the top
        {{795, 475}, UserCommand::PrevWidget},
        {{795, 5}, UserCommand::NextWidget},
        {{400, 240}, 0},
    };
    for (const auto& c : cases) {
        bed.port.lastCommand = 0;
        bed.pages->page(2).showButtons();
        bed.tap(c.point);
        EXPECT_EQ(bed.port.lastCommand, c.command) << c.point.x << "," << c.point.y;
    }
}

TEST(ButtonBar, AHighResolutionWindowHitsInDevicePixels) {
    DisplayTestBed bed(960, 1600, 192);
    bed.pages->setCurrentIndex(2);
    bed.fix(30);
    bed.port.lastCommand = 0;
    bed.tap({10, 79});  // 40 logical pixels are 80 device pixels deep
    EXPECT_EQ(bed.port.lastCommand, UserCommand::ResetAll);
    bed.port.lastCommand = 0;
    bed.pages->page(2).showButtons();
    bed.tap({10, 82});
    EXPECT_EQ(bed.port.lastCommand, 0);
}

TEST(ButtonBar, HiddenBarsAndAHiddenWindowHitNothing) {
    DisplayTestBed bed;
    bed.pages->setCurrentIndex(2);
    bed.fix(30);
    bed.pages->onDoubleClick();  // hides both bars
    EXPECT_FALSE(bed.pages->page(2).commonBar().isVisible());
    bed.tap({5, 5});
    EXPECT_EQ(bed.port.lastCommand, 0);
    bed.pages->onDoubleClick();  // shows them again
    bed.window.shown = false;
    bed.tap({5, 5});
    EXPECT_EQ(bed.port.lastCommand, 0);
    bed.window.shown = true;
    bed.tap({5, 5});
    EXPECT_EQ(bed.port.lastCommand, UserCommand::ResetAll);
}

TEST(ButtonBar, APressedCellIsOrangeUntilRelease) {
    DisplayTestBed bed;
    bed.pages->setCurrentIndex(2);
    bed.fix(30);
    bed.pages->onMouseDown({170, 10});
    QImage frame = bed.frame();
    // The options cell (x 158..236): orange around its centred icon.
    EXPECT_EQ(pixel(frame, 160, 2), rgbOf(0x0080FF));
    bed.pages->onMouseUp({170, 10});
    frame = bed.frame();
    EXPECT_NE(pixel(frame, 160, 2), rgbOf(0x0080FF));
}

// Fixes come late: the common bar was there from the start and faded with its countdown;
// the own bar, made at the first fix, shares the state of the common bar.
TEST(ButtonBar, TheCommonBarIsThereFromTheStartAndALateOwnBarFollowsIt) {
    DisplayTestBed bed(480, 800);
    bed.pages->setCurrentIndex(2);
    Widget& page = bed.pages->page(2);
    // No receiver yet: the options and the close button can be reached.
    ASSERT_EQ(page.commonBar().count(), 6);
    EXPECT_TRUE(page.ownBar().isEmpty());
    bed.tap({170, 10});
    EXPECT_EQ(bed.port.lastCommand, UserCommand::ShowOptions);
    bed.tap({479, 10});
    EXPECT_EQ(bed.port.lastCommand, UserCommand::CloseApp);
    EXPECT_TRUE(buttonAt(bed.frame(), 39, 20));  // ResetAll

    // Twelve seconds of frames without a fix: both edges count down and the bars go.
    for (int second = 0; second < 12; ++second) {
        bed.frame();
        bed.clock.advanceSteadySeconds(1);
    }
    bed.frame();
    EXPECT_FALSE(page.commonBar().isVisible());
    bed.fix(30);
    ASSERT_EQ(page.ownBar().count(), 6);
    EXPECT_FALSE(page.ownBar().isVisible());
    const QImage frame = bed.frame();
    EXPECT_FALSE(buttonAt(frame, 39, 20));
    EXPECT_FALSE(buttonAt(frame, 434, 780));  // the next-page arrow

    // A double tap shows both, the next hides both.
    bed.pages->onDoubleClick();
    EXPECT_TRUE(page.commonBar().isVisible());
    EXPECT_TRUE(page.ownBar().isVisible());
    bed.pages->onDoubleClick();
    EXPECT_FALSE(page.commonBar().isVisible());
    EXPECT_FALSE(page.ownBar().isVisible());
}

TEST(ButtonBar, BarsKeepTheirVisibilityWhenTheWindowTurns) {
    DisplayTestBed bed(480, 800);
    bed.pages->setCurrentIndex(2);
    bed.fix(30);
    Widget& page = bed.pages->page(2);
    bed.pages->onDoubleClick();  // hides both
    bed.window.setClientSize(800, 480);
    bed.pages->requestRepaint(bed.window);
    EXPECT_EQ(page.commonBar().edge(), ButtonEdge::Left);
    EXPECT_EQ(page.ownBar().edge(), ButtonEdge::Right);
    EXPECT_FALSE(page.commonBar().isVisible());
    EXPECT_FALSE(page.ownBar().isVisible());
    bed.pages->onDoubleClick();  // shows both
    bed.window.setClientSize(480, 800);
    bed.pages->requestRepaint(bed.window);
    EXPECT_EQ(page.commonBar().edge(), ButtonEdge::Top);
    EXPECT_TRUE(page.commonBar().isVisible());
    EXPECT_TRUE(page.ownBar().isVisible());
}

TEST(ButtonBar, ACellWhosePictureIsMissingDoesNothingWhenTapped) {
    DisplayTestBed bed(480, 800, 96, false);  // the common bar is made without any picture
    bed.writePicture("BtnLeft", 40, 40, qRgb(0, 255, 0));  // of the arrows only the left one
    bed.pages->setCurrentIndex(2);
    bed.fix(30);
    Widget& page = bed.pages->page(2);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(page.commonBar().at(i).command(), 0) << i;
        EXPECT_EQ(page.commonBar().at(i).icon(), nullptr) << i;
    }
    EXPECT_EQ(page.ownBar().at(5).command(), 0);
    for (Point point : {Point{5, 5}, Point{170, 10}, Point{479, 10}, Point{470, 795}}) {
        page.showButtons();
        bed.tap(point);
        EXPECT_EQ(bed.port.lastCommand, 0) << point.x << "," << point.y;
    }
    bed.tap({5, 795});
    EXPECT_EQ(bed.port.lastCommand, UserCommand::PrevWidget);
}

TEST(BarCountdowns, BarsStayFiveSecondsThenFadeOverFive) {
    FakeClock clock;
    BarCountdowns bars(clock);
    const ButtonEdge top = ButtonEdge::Top;
    EXPECT_EQ(bars.countdown(top), 10);
    const int expectedAlpha[] = {192, 192, 192, 192, 192, 192, 153, 115, 76, 38, 0};
    bars.step(top);  // the first step only takes the time
    for (int second = 0; second <= 10; ++second) {
        EXPECT_EQ(bars.alpha(top), expectedAlpha[second]) << second;
        clock.advanceSteadySeconds(1.0);
        bars.step(top);
    }
    EXPECT_FALSE(bars.isVisible(top));
    // Parts of a second are dropped when a whole one has passed.
    bars.show(top);
    bars.step(top);
    clock.advanceSteadySeconds(1.6);
    bars.step(top);
    EXPECT_EQ(bars.countdown(top), 9);
    clock.advanceSteadySeconds(0.6);
    bars.step(top);
    EXPECT_EQ(bars.countdown(top), 9);
    // A tap restarts the ten seconds; a pause longer than what is left hides at the next step.
    bars.restart(top);
    EXPECT_EQ(bars.countdown(top), 10);
    clock.advanceSteadySeconds(60);
    bars.step(top);
    EXPECT_EQ(bars.countdown(top), 0);
    EXPECT_TRUE(bars.isVisible(ButtonEdge::Left));  // edges count on their own
}

TEST(ButtonBar, PaintingFadesTheBarsOfTheEdge) {
    DisplayTestBed bed;
    bed.pages->setCurrentIndex(2);
    bed.fix(30);
    bed.frame();
    bed.clock.advanceSteadySeconds(7);
    bed.frame();
    EXPECT_EQ(bed.pages->countdowns().countdown(ButtonEdge::Top), 3);
    bed.clock.advanceSteadySeconds(7);
    bed.frame();
    EXPECT_FALSE(bed.pages->page(2).commonBar().isVisible());
    // With the bars gone, dragging changes pages.
    bed.pages->onMouseDown({400, 400});
    bed.pages->onMouseMove({100, 400});
    bed.pages->onMouseUp({100, 400});
    EXPECT_EQ(bed.pages->currentIndex(), 3);
}

}  // namespace
}  // namespace movira::test
