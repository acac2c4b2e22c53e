// The real program end to end, page by page: after a replayed drive the pictures it leaves of
// the table, the speed chart and the path show that drive, in portrait and in landscape.
// Colours are the pages' defaults (a colour value holds blue in its high byte, red in its low).
#include "display/PathWidget.h"
#include "display/SpeedChartWidget.h"
#include "display/TableWidget.h"
#include "tests/display/DisplayTestBed.h"
#include "tests/support/RealProgram.h"

#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>

namespace movira {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::inkBox;
using test::pixel;
using test::rgbOf;

struct Size2 {
    int width;
    int height;
};
void PrintTo(const Size2& size, std::ostream* out) { *out << size.width << 'x' << size.height; }

// The whole demo drive as fast as the program takes it (over 1,000 fixes, 22 km, up to
// 189 km/h), however slow the machine or the build: the receiver ends once the program has taken
// every byte. Then the program is asked to close, and saves a picture of every page.
class DriveRun {
public:
    explicit DriveRun(Size2 size) {
        snapshots_ = program_.root / "snapshots";
        const std::optional<fs::path> link = program_.startReceiver(test::RealProgram::DemoDrive, 0);
        replayReady = link.has_value();
        program_.writeSettings(" [Main]\n UseGPSAPI=false\n COMPort=" + (link ? link->string() : std::string()) +
                               "\n LastCurrentWidget=2\n");
        const std::string window = std::to_string(size.width) + "x" + std::to_string(size.height);
        auto program = program_.start({"--windowed", window, "--quit-after", "300", "--snapshot-dir", snapshots_.string()});
        if (replayReady) driveTaken = program_.receiver->wait(240s).has_value();
        std::this_thread::sleep_for(1s);  // the last bytes read are parsed and drawn
        program->kill(SIGTERM);
        exitStatus = program->wait(120s);  // generous: a sanitizer build closes slowly
        program.reset();
        output = test::readFile(program_.output("program"));
    }
    QImage page(const char* name) const {
        return QImage(QString::fromStdString((snapshots_ / (std::string(name) + ".png")).string()));
    }

    bool replayReady = false;
    bool driveTaken = false;
    std::optional<int> exitStatus;
    std::string output;

private:
    test::RealProgram program_;
    fs::path snapshots_;
};

int countPixels(const QImage& image, QRgb colour, Rect area) {
    int count = 0;
    for (int y = std::max(0, area.top); y < std::min(image.height(), area.bottom); ++y) {
        for (int x = std::max(0, area.left); x < std::min(image.width(), area.right); ++x) {
            count += pixel(image, x, y) == colour;
        }
    }
    return count;
}

// The cells of the table found from their fill: down each column, a run of rows where one of
// the two label colours outweighs the other is one cell. The colours alternate down a column,
// so rows where neither outweighs (a wide value's glyphs) never end a cell.
struct FoundCells {
    int cells = 0;
    int withValue = 0;
};

FoundCells findCells(const QImage& image) {
    const QRgb label = rgbOf(TableWidget::DefaultLabel);
    const QRgb label2 = rgbOf(TableWidget::DefaultLabel2);
    const QRgb value = rgbOf(TableWidget::DefaultBigText);
    const TableWidget::Columns layout = TableWidget::columns(image.width(), 36);
    FoundCells found;
    for (int column = 0; column < layout.count; ++column) {
        const int left = column * layout.width;
        const int right = left + layout.width;
        const auto close = [&](int top, int bottom) {
            if (bottom - top <= 4) return;
            ++found.cells;
            found.withValue += countPixels(image, value, {left, top, right, bottom}) > 10;
        };
        std::optional<QRgb> current;
        int top = 0;
        int lastFilled = 0;
        for (int y = 0; y < image.height(); ++y) {
            const int first = countPixels(image, label, {left, y, right, y + 1});
            const int second = countPixels(image, label2, {left, y, right, y + 1});
            if (first + second <= layout.width / 3) continue;
            const QRgb fill = first > second ? label : label2;
            if (fill != current) {
                if (current) close(top, lastFilled + 1);
                current = fill;
                top = y;
            }
            lastFilled = y;
        }
        if (current) close(top, lastFilled + 1);
    }
    return found;
}

class PagesEndToEnd : public testing::TestWithParam<Size2> {};

TEST_P(PagesEndToEnd, SnapshotsShowTheDrive) {
    const Size2 size = GetParam();
    const DriveRun run(size);
    ASSERT_TRUE(run.replayReady) << "nmea-replay made no terminal link";
    EXPECT_TRUE(run.driveTaken) << "the program did not take the whole drive in four minutes";
    ASSERT_TRUE(run.exitStatus.has_value()) << "the program did not end in time\n" << run.output;
    ASSERT_EQ(*run.exitStatus, 0) << run.output;
    const Rect whole{0, 0, size.width, size.height};

    // The chart: its speed line runs across a good part of the chart, over speeds far apart.
    const QImage chart = run.page("SpeedChartWidget");
    ASSERT_EQ(chart.size(), QSize(size.width, size.height));
    const QRgb line = rgbOf(SpeedChartWidget::DefaultChart);
    std::set<int> columns;
    for (int x = 0; x < chart.width(); ++x) {
        if (countPixels(chart, line, {x, 0, x + 1, chart.height()}) > 0) columns.insert(x);
    }
    EXPECT_GT(static_cast<int>(columns.size()), size.width / 3);
    const Rect lineBox = inkBox(chart, line, whole);
    EXPECT_GT(lineBox.height(), size.height / 3) << "the line never climbs";

    // The table: all 36 cells in the checkerboard, most of them with a value (a few times of
    // acceleration stay empty on this drive).
    const QImage table = run.page("TableWidget");
    ASSERT_EQ(table.size(), QSize(size.width, size.height));
    const FoundCells cells = findCells(table);
    EXPECT_EQ(cells.cells, 36);
    EXPECT_GE(cells.withValue, 28);

    // The path: a line of real extent, the start cross and the end dot apart from each other.
    const QImage path = run.page("PathWidget");
    ASSERT_EQ(path.size(), QSize(size.width, size.height));
    const QRgb track = rgbOf(PathWidget::DefaultPath);
    const Rect trackBox = inkBox(path, track, whole);
    EXPECT_GT(std::max(trackBox.width(), trackBox.height()), std::min(size.width, size.height) / 2);
    EXPECT_GT(countPixels(path, track, whole), std::min(size.width, size.height) / 2);
    // Both ends take the same colour by default: near the track, they lie far apart. The end
    // dot covers the last pixels of the track, so it may lie just outside the track's box.
    static_assert(PathWidget::DefaultStartPoint == PathWidget::DefaultEndPoint);
    constexpr int nearTrack = 8;
    const Rect ends = inkBox(path, rgbOf(PathWidget::DefaultEndPoint),
                             {trackBox.left - nearTrack, trackBox.top - nearTrack, trackBox.right + nearTrack,
                              trackBox.bottom + nearTrack});
    EXPECT_GT(std::max(ends.width(), ends.height()), std::min(size.width, size.height) / 4) << "one end is missing";
}

INSTANTIATE_TEST_SUITE_P(Sizes, PagesEndToEnd, testing::Values(Size2{480, 800}, Size2{800, 480}),
                         [](const testing::TestParamInfo<Size2>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

// Full screen on an X server without a window manager (a kiosk session on a car PC): nobody
// honours the request, yet the pages fill the screen.
TEST(PagesFullScreen, FillTheScreenWithoutAWindowManager) {
    const fs::path xvfbRun = "/usr/bin/xvfb-run";
    if (!fs::exists(xvfbRun)) GTEST_SKIP() << "xvfb-run is not installed";
    test::RealProgram program("movira-fullscreen");
    const fs::path snapshots = program.root / "snapshots";
    test::ChildProcess::Environment environment = program.environment();
    environment["QT_QPA_PLATFORM"] = "xcb";
    test::ChildProcess run({xvfbRun.string(), "-a", "-s", "-screen 0 480x800x24", test::RealProgram::ProgramPath, "--home",
                            program.home.string(), "--quit-after", "3", "--snapshot-dir", snapshots.string()},
                           environment, program.output("program"));
    const std::optional<int> status = run.wait(3s + 120s);
    ASSERT_TRUE(status.has_value());
    ASSERT_EQ(*status, 0) << test::readFile(program.output("program"));
    const QImage page(QString::fromStdString((snapshots / "FullScreenSpeedWidget.png").string()));
    EXPECT_EQ(page.width(), 480);
    EXPECT_EQ(page.height(), 800);
}

}  // namespace
}  // namespace movira
