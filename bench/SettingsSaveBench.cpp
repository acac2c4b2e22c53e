// What saving the settings while the program runs costs. The reader thread waits at most for the
// part done under the model lock (the trip figures written into the store); the card gets one
// whole-file replacement (temporary file, flush, rename, folder flush) per save, at most once a
// minute. Goals: the reader's wait well under a millisecond; at most 60 writes an hour.
#include "core/AppCore.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>

namespace movira {
namespace {

class Home {
public:
    Home() {
        char pattern[] = "/tmp/movira-settings-bench-XXXXXX";
        if (mkdtemp(pattern)) path_ = pattern;
    }
    ~Home() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

struct Program {
    Program() : core(PlatformServices{clock, screen, battery, "/nonexistent"}) { core.initialize(home.path()); }
    Home home;
    test::FakeClock clock;
    test::FakeScreenKeeper screen;
    test::FakeBattery battery;
    AppCore core;
};

// The reader's share: the trip figures written into a store while the model is locked.
void BM_TripFiguresUnderTheModelLock(benchmark::State& state) {
    Program program;
    IniFile ini;
    for (auto _ : state) {
        auto model = program.core.model();
        model->sensors.saveValues(ini);
    }
}
BENCHMARK(BM_TripFiguresUnderTheModelLock)->Unit(benchmark::kMicrosecond);

// The card's share: one save of the whole file, flushed to the disk.
void BM_SaveSettingsToDisk(benchmark::State& state) {
    Program program;
    for (auto _ : state) benchmark::DoNotOptimize(program.core.saveSettings());
    std::error_code ignored;
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(program.core.settingsPath(), ignored));
}
BENCHMARK(BM_SaveSettingsToDisk)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace movira

BENCHMARK_MAIN();
