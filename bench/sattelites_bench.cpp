// Speed of one frame of the satellite page through WidgetManager::paintFrame(): background
// picture, signal strip, sky plot with 12 satellites, corner read-outs, hand-over to a window
// that does nothing with it. Portrait 480 x 800 and landscape 800 x 480 at 96 dpi, the
// program's own pictures from the program folder, the bars of buttons hidden (as after a
// few seconds on the device). Needs a Qt application, made here on the offscreen platform.
#include "bench/BenchWindow.h"
#include "tests/display/DisplayTestBed.h"

#include <benchmark/benchmark.h>

#ifndef MOVIRA_BIN_DIR
#error "MOVIRA_BIN_DIR: the program folder with Pics/SatBackGround.png"
#endif

namespace movira {
namespace {

constexpr int kSatellitePage = 3;

using test::nmea;

// A core with its six pages over the real program folder, the satellite page current, a fix
// with 12 satellites in view spread over the sky and the signal range.
struct SatelliteScene {
    SatelliteScene(int width, int height) : bed(test::DisplayTestBed::BuiltProgram{}, width, height) {
        bed.window.keepFrames = false;
        pages->setCurrentIndex(kSatellitePage);
        core->onSentence(nmea("GPGSV,3,1,12,02,68,295,46,05,45,105,42,07,21,048,33,09,12,320,31"));
        core->onSentence(nmea("GPGSV,3,2,12,13,33,190,17,15,56,160,44,18,04,250,24,20,27,085,37"));
        core->onSentence(nmea("GPGSV,3,3,12,24,08,020,28,29,77,015,52,30,16,215,31,31,60,240,55"));
        core->onSentence(nmea("GPGGA,120509.00,5955.800,N,03018.600,E,1,12,0.9,17.5,M,16.8,M,,"));
        core->onSentence(nmea("GPRMC,120509.00,A,5955.800,N,03018.600,E,27.000,162.0,030524,,,A"));
        bed.hideBars();
        pages->paintFrame();  // the font is made at the first frame
    }

    test::DisplayTestBed bed;
    AppCore* core = bed.core.get();
    WidgetManager* pages = bed.pages;
};

void BM_SatellitePageFrame(benchmark::State& state) {
    SatelliteScene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) scene.pages->paintFrame();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SatellitePageFrame)->ArgNames({"width", "height"})->Args({480, 800})->Args({800, 480})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace movira

int main(int argc, char** argv) { return movira::runBenchmarksWithQt(argc, argv); }
