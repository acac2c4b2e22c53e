// Speed of the path page. One frame through WidgetManager::paintFrame() (trip panel, map with
// every track point projected, hand-over to a window that does nothing with it), portrait
// 480 x 800 and landscape 800 x 480 at 96 dpi, with an empty track, a 1-hour track (3,600
// points) and a 24-hour track (86,400 points, one a second), at the fitted zoom and at the
// largest zoom centred on the last position; and PathWidget::attach per fix with a long
// track. The program's pictures and LCD face come from the program folder of this build.
// Needs a Qt application, made here on the offscreen platform.
#include "bench/BenchWindow.h"
#include "core/UserCommand.h"
#include "display/PathWidget.h"
#include "tests/display/DisplayTestBed.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#ifndef MOVIRA_BIN_DIR
#error "MOVIRA_BIN_DIR: the program folder with Pics and lcd-u.ttf"
#endif

namespace movira {
namespace {

constexpr int kPathPage = 5;

using test::nmea;

// A day's drive, one fix a second from midnight: the heading wanders, the speed changes
// between standstill and 110 km/h, with stops. The same drive on every run.
class Drive {
public:
    std::string next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        const double r = static_cast<double>(state_ >> 11) / 9007199254740992.0;  // 0 .. 1
        heading_ += (r - 0.5) * 0.2;
        if (second_ % 600 < 30) {
            kmh_ = 0;  // a stop every ten minutes
        } else {
            kmh_ = std::clamp(kmh_ + (r - 0.45) * 4, 5.0, 110.0);
        }
        const double metres = kmh_ / 3.6;
        lat_ += metres * std::cos(heading_) / 111320.0;
        lon_ += metres * std::sin(heading_) / (111320.0 * std::cos(lat_ * 3.14159265358979 / 180));
        const int s = second_ % 86400;
        const int day = 3 + second_ / 86400;
        ++second_;
        const int latDeg = static_cast<int>(lat_);
        const int lonDeg = static_cast<int>(lon_);
        char rmc[160];
        std::snprintf(rmc, sizeof rmc, "GPRMC,%02d%02d%02d,A,%02d%07.4f,N,%03d%07.4f,E,%.3f,%.1f,%02d0524,,,A",
                      s / 3600, s / 60 % 60, s % 60, latDeg, (lat_ - latDeg) * 60, lonDeg, (lon_ - lonDeg) * 60,
                      kmh_ / 1.852, std::fmod(heading_ * 57.2957795 + 720.0, 360.0), day);
        return nmea(rmc);
    }

private:
    uint64_t state_ = 42;
    int second_ = 0;
    double lat_ = 52.5;
    double lon_ = 13.3;
    double heading_ = 0.7;
    double kmh_ = 0;
};

// A core with its six pages over the real program folder, the path page current, a track of
// `points` fixes on the model. The points go straight to the parser, then one fix through the
// core lets every page take them, as the pages would have one by one.
struct PathScene {
    PathScene(int width, int height, int points) : bed(test::DisplayTestBed::BuiltProgram{}, width, height) {
        bed.window.keepFrames = false;
        pages->setCurrentIndex(kPathPage);
        {
            auto model = core->model();
            for (int i = 0; i + 1 < points; ++i) model->parser.parseSentence(drive.next());
        }
        // An empty track still has a fix: one without a position.
        core->onSentence(points > 0 ? drive.next() : nmea("GPRMC,000000,V,,,,,,,030524,,,N"));
    }

    PathWidget& page() { return static_cast<PathWidget&>(pages->page(kPathPage)); }
    void hideBars() { bed.hideBars(); }
    // A tap on the own bar's cell (bottom edge in portrait, right edge counted upward in landscape).
    void tapCell(int index) {
        const Size client = bed.window.clientSize();
        const bool landscape = client.height < client.width;
        const int length = ((landscape ? client.height : client.width) - 5) / 6 + 1;
        const Point p = landscape ? Point{client.width - 20, client.height - 1 - (index * length + length / 2)}
                                  : Point{index * length + length / 2, client.height - 20};
        for (ButtonEdge edge : {ButtonEdge::Top, ButtonEdge::Bottom, ButtonEdge::Left, ButtonEdge::Right}) {
            pages->countdowns().show(edge);
        }
        pages->onMouseDown(p);
        pages->onMouseUp(p);
    }

    test::DisplayTestBed bed;
    AppCore* core = bed.core.get();
    WidgetManager* pages = bed.pages;
    Drive drive;
};

// mode 0: the same frame again (the line projected by the last frame is kept); 1: at the
// largest zoom, centred on the last position; 2: the map panned by a pixel before every
// frame, so that every point is projected again, as after a fix that widens the track's box.
void BM_PathPageFrame(benchmark::State& state) {
    PathScene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                    static_cast<int>(state.range(2)));
    const int mode = static_cast<int>(state.range(3));
    if (mode == 1) {
        for (int i = 0; i < 12; ++i) scene.tapCell(2);  // ZoomIn up to 4096
        scene.tapCell(4);                               // CenterPos
    }
    scene.hideBars();
    scene.pages->paintFrame();  // fonts are made at the first frame
    const Rect map = scene.page().mapRectOnScreen();
    const Point centre{(map.left + map.right) / 2, (map.top + map.bottom) / 2};
    if (mode == 2) scene.pages->onMouseDown(centre);
    int step = 0;
    for (auto _ : state) {
        if (mode == 2) scene.pages->onMouseMove({centre.x + (++step & 1), centre.y});
        scene.pages->paintFrame();
    }
    state.counters["zoom"] = scene.page().zoom();
}
BENCHMARK(BM_PathPageFrame)
    ->ArgNames({"width", "height", "points", "mode"})
    ->ArgsProduct({{480}, {800}, {0, 3600, 86400}, {0, 2}})
    ->ArgsProduct({{800}, {480}, {0, 3600, 86400}, {0, 2}})
    ->Args({480, 800, 86400, 1})
    ->Args({800, 480, 86400, 1})
    ->Unit(benchmark::kMicrosecond);

// One fix's work of the page on the GPS thread: the new point into the trip and the map,
// the sensors (found already), the buttons' layout. The point is appended untimed.
void BM_PathAttachPerFix(benchmark::State& state) {
    PathScene scene(480, 800, static_cast<int>(state.range(0)));
    PathWidget& page = scene.page();
    for (auto _ : state) {
        {
            const std::string rmc = scene.drive.next();
            scene.core->model()->parser.parseSentence(rmc);
        }
        const auto start = std::chrono::steady_clock::now();
        page.attach();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["points"] = static_cast<double>(scene.core->model()->parser.trackPointCount());
}
BENCHMARK(BM_PathAttachPerFix)->ArgName("points")->Arg(3600)->Arg(86400)->UseManualTime()->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace movira

int main(int argc, char** argv) { return movira::runBenchmarksWithQt(argc, argv); }
