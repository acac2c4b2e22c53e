// Speed of one frame on the drawing surface: a page filled, a 140-pixel "LCD" text drawn,
// mirrored and turned, then handed to a window that does nothing with it; and each of these
// steps alone. Portrait 480 x 800 and landscape 800 x 480 at 96 dpi. Needs a Qt
// application (fonts), made here on the offscreen platform.
#include "bench/BenchWindow.h"
#include "display/Font.h"
#include "display/ScreenWindow.h"
#include "display/Surface.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <utility>

#ifndef MOVIRA_LCD_FONT
#define MOVIRA_LCD_FONT "/usr/share/fonts/truetype/dseg/DSEG7Classic-Regular.ttf"
#endif

namespace movira {
namespace {

// A surface for the window given by the benchmark's arguments: width, height, mirror, rotate.
struct Setup {
    explicit Setup(const benchmark::State& state)
        : window(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))) {
        surface.setMirror(state.range(2) != 0);
        surface.setRotate(state.range(3) != 0);
        surface.resize(window);
    }
    BenchWindow window;
    Surface surface;
};

constexpr Colour kBackground = rgb(0, 0, 64);
constexpr Colour kDigits = rgb(0, 255, 128);

// What a speed page does per frame: its font made anew, the background, the digits
// centred, then the turn and the hand-over.
void BM_Frame(benchmark::State& state) {
    Setup setup(state);
    Surface& surface = setup.surface;
    for (auto _ : state) {
        const std::unique_ptr<Font> font = surface.createFont("LCD", 140, 0);
        const Rect page = surface.bounds();
        surface.fillRect(page, kBackground);
        const Size text = surface.measureText(*font, L"123");
        surface.drawText(*font, L"123", (page.width() - text.width) / 2, (page.height() - text.height) / 2, kDigits);
        surface.applyMirrorAndRotation();
        surface.present();
    }
}

void BM_Fill(benchmark::State& state) {
    Setup setup(state);
    for (auto _ : state)
        setup.surface.fillRect(setup.surface.bounds(), kBackground);
}

void BM_Text140(benchmark::State& state) {
    Setup setup(state);
    const std::unique_ptr<Font> font = setup.surface.createFont("LCD", 140, 0);
    for (auto _ : state)
        setup.surface.drawText(*font, L"123", 20, 100, kDigits);
}

void BM_CreateFont(benchmark::State& state) {
    Setup setup(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(setup.surface.createFont("LCD", 140, 0));
}

// Mirror and/or turn alone (the frame is presented so that the next one starts on the main
// buffer again; a no-op window makes that free).
void BM_MirrorAndRotation(benchmark::State& state) {
    Setup setup(state);
    for (auto _ : state) {
        setup.surface.applyMirrorAndRotation();
        setup.surface.present();
    }
}

void portraitAndLandscape(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgNames({"w", "h", "mirror", "rotate"});
    for (const auto& [width, height] : {std::pair{480, 800}, std::pair{800, 480}}) {
        benchmark->Args({width, height, 0, 0});
        benchmark->Args({width, height, 1, 0});
        benchmark->Args({width, height, 0, 1});
        benchmark->Args({width, height, 1, 1});
    }
}

void plain(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgNames({"w", "h", "mirror", "rotate"});
    benchmark->Args({480, 800, 0, 0});
    benchmark->Args({800, 480, 0, 0});
}

BENCHMARK(BM_Frame)->Apply(portraitAndLandscape)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fill)->Apply(plain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Text140)->Apply(plain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateFont)->Apply(plain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MirrorAndRotation)->Apply(portraitAndLandscape)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace movira

int main(int argc, char** argv) { return movira::runBenchmarksWithQt(argc, argv); }
