// Cost of one frame of the speedometer page: the whole frame as the paint thread composes
// it (page, bars, hand-over to a window that does nothing with it), and the page's content
// alone. The page shows a drive: the first 300 s of the demo log went through the core, so
// the needle, markers, odometer, clock, fastest times and acceleration times are all drawn.
// Portrait 480 x 800 and landscape 800 x 480 at 96 dpi, with the program's own pictures
// and LCD face from the build's program folder. Needs a Qt application (fonts): made here
// on the offscreen platform.
#include "bench/BenchWindow.h"
#include "display/Surface.h"
#include "display/Widget.h"
#include "sensors/Sensor.h"
#include "tests/display/DisplayTestBed.h"

#include <benchmark/benchmark.h>

#include <cwchar>

#ifndef MOVIRA_BIN_DIR
#error "MOVIRA_BIN_DIR: the program folder with Pics/ and lcd-u.ttf"
#endif
#ifndef MOVIRA_DEMO_DRIVE
#error "MOVIRA_DEMO_DRIVE: the demo drive's NMEA log"
#endif

namespace movira {
namespace {

constexpr int kSpeedometerPage = 1;
constexpr int kDriveSeconds = 300;

// A core with the six pages on the speedometer, fed the start of the demo drive; a battery
// at 80 % (its icon is drawn); frames are counted, not kept.
struct Rig {
    Rig(int width, int height) : bed(test::DisplayTestBed::BuiltProgram{}, width, height) {
        bed.battery.set(BatteryStatus{false, 80});
        bed.window.keepFrames = false;
        bed.replay(MOVIRA_DEMO_DRIVE, kDriveSeconds + 1);
        bed.pages->setCurrentIndex(kSpeedometerPage);
    }

    // How many sensors of a caption have a time to show.
    int timed(const wchar_t* caption) {
        auto model = bed.core->model();
        int count = 0;
        for (int i = 0; i < model->sensors.count(); ++i) {
            const Sensor& sensor = *model->sensors.at(i);
            count += std::wcsstr(sensor.caption(), caption) != nullptr && sensor.text()[0] != L'\0';
        }
        return count;
    }

    test::DisplayTestBed bed;
    AppCore* core = bed.core.get();
    WidgetManager* pages = bed.pages;
};

// The whole frame: page, bars, present.
void BM_SpeedometerFrame(benchmark::State& state) {
    Rig rig(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    rig.pages->paintFrame();  // the first frame makes the cached fonts
    for (auto _ : state) rig.pages->paintFrame();
    state.counters["accel_times"] = rig.timed(rig.core->uiText().accel());
    state.counters["fastest_times"] = rig.timed(rig.core->uiText().theFastest());
}
BENCHMARK(BM_SpeedometerFrame)->Args({480, 800})->Args({800, 480})->Unit(benchmark::kMicrosecond);

// The page's content alone, into a surface of the window's size.
void BM_SpeedometerContent(benchmark::State& state) {
    Rig rig(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    Surface surface;
    surface.resize(rig.bed.window.clientSize(), 96, 96);
    Widget& page = rig.pages->page(kSpeedometerPage);
    auto frame = rig.pages->lockFrame();
    page.paint(surface, surface.bounds());
    for (auto _ : state) {
        page.paint(surface, surface.bounds());
        benchmark::DoNotOptimize(surface.target().constBits());
    }
}
BENCHMARK(BM_SpeedometerContent)->Args({480, 800})->Args({800, 480})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace movira

int main(int argc, char** argv) { return movira::runBenchmarksWithQt(argc, argv); }
