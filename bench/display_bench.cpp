// Speed of whole frames as the paint thread makes them: WidgetManager::paintFrame() composes
// the current page (or two pages during a slide), draws the buttons, and presents the frame to
// a window that keeps a copy, as the main window does. The core, the six pages, the program's
// own pictures and its LCD face come from the program folder of this build; a fix at 123 km/h
// with 8 satellites is on the model. Portrait 480 x 800 and landscape 800 x 480 at 96 dpi.
// Needs a Qt application (fonts), made here on the offscreen platform.
#include "bench/BenchWindow.h"
#include "tests/display/DisplayTestBed.h"

#include <benchmark/benchmark.h>

namespace movira {
namespace {

void frames(benchmark::State& state, float position) {
    test::DisplayTestBed display(test::DisplayTestBed::BuiltProgram{}, static_cast<int>(state.range(0)),
                                 static_cast<int>(state.range(1)));
    display.fix(123);
    display.pages->setPosition(position);
    display.pages->paintFrame();  // the first frame lays the pages out
    const int before = display.window.presented;
    for (auto _ : state) display.pages->paintFrame();
    if (display.window.presented - before < static_cast<int>(state.iterations())) state.SkipWithError("frames not presented");
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The large speed page at rest.
void BM_SpeedPageFrame(benchmark::State& state) { frames(state, 2.0f); }
// Mid-slide from the large speed page to the next: two pages composed side by side.
void BM_SlideFrame(benchmark::State& state) { frames(state, 2.4f); }

void sizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgNames({"w", "h"});
    benchmark->Args({480, 800});
    benchmark->Args({800, 480});
}

// Qt's raster engine hands parts of a frame to its own pooled threads: the time that counts is
// the wall time of a frame, and the CPU column is that of the whole process.
BENCHMARK(BM_SpeedPageFrame)->Apply(sizes)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SlideFrame)->Apply(sizes)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace movira

int main(int argc, char** argv) { return movira::runBenchmarksWithQt(argc, argv); }
