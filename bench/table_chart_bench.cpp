// Speed of one frame of the table page and of the speed chart page through
// WidgetManager::paintFrame(), presenting included: portrait 480 x 800 and landscape 800 x 480
// at 96 dpi, with an empty track, a 1-hour track (3,600 fixes) and a 24-hour track (86,400
// fixes, one a second), the chart at zoom 1 and at its largest zoom (128 fixes a column), the
// bars of buttons hidden (as a few seconds after a tap). The program folder of the build gives
// the pictures and fonts. Needs a Qt application, made here on the offscreen platform.
#include "bench/BenchWindow.h"
#include "core/UserCommand.h"
#include "display/SpeedChartWidget.h"
#include "tests/display/DisplayTestBed.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#ifndef MOVIRA_BIN_DIR
#error "MOVIRA_BIN_DIR: the program folder with its pictures"
#endif

namespace movira {
namespace {

constexpr int kTablePage = 0;
constexpr int kChartPage = 4;

using test::nmea;

// A core with its six pages over the real program folder and a track of `points` fixes, one a
// second from midnight: a drive whose speed swings between 10 and 130 km/h.
struct Scene {
    Scene(int width, int height, int points) : bed(test::DisplayTestBed::BuiltProgram{}, width, height) {
        bed.window.keepFrames = false;
        core->onSentence(nmea("GPGGA,000000.00,5955.800,N,03018.600,E,1,09,0.9,17.5,M,16.8,M,,"));
        for (int i = 0; i < points; ++i) {
            const double kmh = 70.0 + 60.0 * std::sin(i / 240.0);
            const double minutes = 18.6 + i * 0.0002;
            char rmc[128];
            std::snprintf(rmc, sizeof rmc, "GPRMC,%02d%02d%02d,A,5955.800,N,030%07.4f,E,%.3f,90.0,030524,,,A",
                          i / 3600, i / 60 % 60, i % 60, minutes, kmh / 1.852);
            core->onSentence(nmea(rmc));
        }
        bed.hideBars();
    }

    test::DisplayTestBed bed;
    AppCore* core = bed.core.get();
    WidgetManager* pages = bed.pages;
};

// Scenes are built once per size and track and live until the Qt application ends.
std::map<std::tuple<int, int, int>, std::unique_ptr<Scene>>* scenes = nullptr;

Scene& scene(const benchmark::State& state) {
    const auto key = std::make_tuple(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                                     static_cast<int>(state.range(2)));
    auto& slot = (*scenes)[key];
    if (!slot) slot = std::make_unique<Scene>(std::get<0>(key), std::get<1>(key), std::get<2>(key));
    return *slot;
}

void BM_TablePageFrame(benchmark::State& state) {
    Scene& s = scene(state);
    s.pages->setCurrentIndex(kTablePage);
    s.pages->paintFrame();  // fonts are made at the first frame
    for (auto _ : state) s.pages->paintFrame();
    state.SetItemsProcessed(state.iterations());
}

void BM_SpeedChartPageFrame(benchmark::State& state) {
    Scene& s = scene(state);
    auto& chart = static_cast<SpeedChartWidget&>(s.pages->page(kChartPage));
    chart.applyZoomCommand(ZoomAuto);
    while (chart.zoom() < state.range(3)) chart.applyZoomCommand(ZoomOut);
    s.pages->setCurrentIndex(kChartPage);
    s.pages->paintFrame();  // fonts, label widths and the vertex buffer are made at the first frames
    s.pages->paintFrame();
    for (auto _ : state) s.pages->paintFrame();
    state.SetItemsProcessed(state.iterations());
}

void sizesAndTracks(benchmark::internal::Benchmark* b, bool zooms) {
    for (const auto& [width, height] : {std::pair{480, 800}, std::pair{800, 480}}) {
        for (int points : {0, 3600, 86400}) {
            if (!zooms) {
                b->Args({width, height, points});
                continue;
            }
            for (int zoom : {SpeedChartWidget::MinZoom, SpeedChartWidget::MaxZoom}) b->Args({width, height, points, zoom});
        }
    }
}

BENCHMARK(BM_TablePageFrame)
    ->ArgNames({"width", "height", "points"})
    ->Apply([](benchmark::internal::Benchmark* b) { sizesAndTracks(b, false); })
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpeedChartPageFrame)
    ->ArgNames({"width", "height", "points", "zoom"})
    ->Apply([](benchmark::internal::Benchmark* b) { sizesAndTracks(b, true); })
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace movira

int main(int argc, char** argv) {
    // As runBenchmarksWithQt, with the scenes ended before the application.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    std::map<std::tuple<int, int, int>, std::unique_ptr<movira::Scene>> scenes;
    movira::scenes = &scenes;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    scenes.clear();
    return 0;
}
