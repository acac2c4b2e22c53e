// Cost of one frame of the speedometer page: the whole frame as the paint thread composes
// it (page, bars, hand-over to a window that does nothing with it), and the page's content
// alone. The page shows a drive: the first 300 s of the demo log went through the core, so
// the needle, markers, odometer, clock, fastest times and acceleration times are all drawn.
// Portrait 480 x 800 and landscape 800 x 480 at 96 dpi, with the program's own pictures
// and LCD face from the build's program folder. Needs a Qt application (fonts): made here
// on the offscreen platform.
#include "bench/BenchWindow.h"
#include "core/AppCore.h"
#include "display/Font.h"
#include "display/ScreenWindow.h"
#include "display/Surface.h"
#include "display/Widget.h"
#include "display/WidgetManager.h"
#include "platform/Battery.h"
#include "platform/QtFontRegistry.h"
#include "platform/ScreenKeeper.h"
#include "platform/SystemClock.h"
#include "sensors/Sensor.h"

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

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

// A battery at 80 %: its icon is drawn.
class SteadyBattery final : public Battery {
public:
    std::optional<BatteryStatus> status() const override { return BatteryStatus{false, 80}; }
};

// A core with the six pages on the speedometer, fed the start of the demo drive.
struct Rig {
    Rig(int width, int height) : window(width, height) {
        core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, MOVIRA_BIN_DIR, &fonts});
        auto manager = std::make_unique<WidgetManager>(*core, clock);
        manager->createWidgets();
        pages = manager.get();
        core->adoptDisplay(std::move(manager));
        core->setUseGpsApi(false);
        // Settings in a folder of its own: the program folder stays as the build left it.
        core->initialize(home.path().toStdString());
        drive();
        pages->setCurrentIndex(kSpeedometerPage);
        pages->requestRepaint(window);  // creates the Surface
    }
    ~Rig() { core->shutdown(); }

    // Every sentence up to the fix `kDriveSeconds` after the first (one RMC a second).
    void drive() {
        std::ifstream log(MOVIRA_DEMO_DRIVE);
        std::string line;
        int fixes = 0;
        while (std::getline(log, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            if (line.compare(3, 3, "RMC") == 0 && ++fixes > kDriveSeconds + 1) break;
            core->onSentence(line);
        }
    }

    // How many sensors of a caption have a time to show.
    int timed(const wchar_t* caption) {
        auto model = core->model();
        int count = 0;
        for (int i = 0; i < model->sensors.count(); ++i) {
            const Sensor& sensor = *model->sensors.at(i);
            count += std::wcsstr(sensor.caption(), caption) != nullptr && sensor.text()[0] != L'\0';
        }
        return count;
    }

    QTemporaryDir home;
    SystemClock clock;
    NoScreenKeeper screen;
    SteadyBattery battery;
    QtFontRegistry fonts{[](const std::string& face, const QString& family) { Font::mapFace(face, family); }};
    BenchWindow window;
    std::unique_ptr<AppCore> core;
    WidgetManager* pages = nullptr;
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
    surface.resize(rig.window.clientSize(), 96, 96);
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
