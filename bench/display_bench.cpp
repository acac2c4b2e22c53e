// Speed of whole frames as the paint thread makes them: WidgetManager::paintFrame() composes
// the current page (or two pages during a slide), draws the buttons, and presents the frame to
// a window that keeps a copy, as the main window does. The core, the six pages, the program's
// own pictures and its LCD face come from the program folder of this build; a fix at 123 km/h
// with 8 satellites is on the model. Portrait 480 x 800 and landscape 800 x 480 at 96 dpi.
// Needs a Qt application (fonts), made here on the offscreen platform.
#include "bench/BenchWindow.h"
#include "core/AppCore.h"
#include "display/Font.h"
#include "display/WidgetManager.h"
#include "platform/QtFontRegistry.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/FakeScreenWindow.h"
#include "tests/support/FakeWindowPort.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace movira {
namespace {

// "$<body>*hh" with the checksum of the body.
std::string sentence(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

// A core with its pages on a fake window of the benchmark's size; settings in a folder of its own.
class Display {
public:
    Display(int width, int height) : window_(width, height) {
        core_ = std::make_unique<AppCore>(PlatformServices{clock_, screen_, battery_, MOVIRA_BIN_DIR, &fonts_});
        auto manager = std::make_unique<WidgetManager>(*core_, clock_);
        manager->createWidgets();
        pages_ = manager.get();
        core_->adoptDisplay(std::move(manager));
        core_->setUseGpsApi(false);
        core_->initialize(home_.path().toStdString());
        core_->attachWindow(&port_);
        core_->onSentence(sentence("GPGGA,120509.00,5230.000,N,01320.000,E,1,08,0.9,35.0,M,0.0,M,,"));
        char rmc[128];
        std::snprintf(rmc, sizeof rmc, "GPRMC,120509.00,A,5230.000,N,01320.000,E,%.3f,90.0,030524,,,A", 123.0 / 1.852);
        core_->onSentence(sentence(rmc));
        pages_->requestRepaint(window_);
    }
    ~Display() { core_->shutdown(); }

    WidgetManager& pages() { return *pages_; }
    int presented() const { return window_.presented; }

private:
    QtFontRegistry fonts_{[](const std::string& face, const QString& family) { Font::mapFace(face, family); }};
    test::FakeClock clock_;
    test::FakeScreenKeeper screen_;
    test::FakeBattery battery_;
    test::FakeWindowPort port_;
    test::FakeScreenWindow window_;
    QTemporaryDir home_;
    std::unique_ptr<AppCore> core_;
    WidgetManager* pages_ = nullptr;
};

void frames(benchmark::State& state, float position) {
    Display display(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    display.pages().setPosition(position);
    display.pages().paintFrame();  // the first frame lays the pages out
    const int before = display.presented();
    for (auto _ : state) display.pages().paintFrame();
    if (display.presented() - before < static_cast<int>(state.iterations())) state.SkipWithError("frames not presented");
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
