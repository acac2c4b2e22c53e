// A receiver at 25 Hz for 24 hours: 2,160,000 track points. What the track log holds per point
// (goal: 36 bytes amortised, the size of a point), how long appending them takes, and the time
// to write the whole log as KML and as GPX with the track writer (goal: under 2 s each).
#include "bench/TrackBenchDay.h"
#include "core/TrackLog.h"
#include "track/TrackWriter.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>
#include <memory>
#include <string>

namespace movira {
namespace {

namespace fs = std::filesystem;

constexpr int kRate = 25;
constexpr int kPoints = 24 * 3600 * kRate;  // 2,160,000

// Point i of a day of driving at 25 Hz: 40 ms apart, every one different.
TrackPoint pointAt(int i) { return bench::dayPoint(i, kRate); }

// Memory the process holds: the heap (the chunk index) and the pages mapped for the chunks.
size_t memoryInUse() {
    const auto info = mallinfo2();
    size_t residentPages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        size_t totalPages = 0;
        if (std::fscanf(statm, "%zu %zu", &totalPages, &residentPages) != 2) residentPages = 0;
        std::fclose(statm);
    }
    return info.uordblks + residentPages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Appending the day point by point, as the reader thread does; the counter is the memory the
// log took per point (chunks and their index together).
void BM_TrackLogAppend25Hz24h(benchmark::State& state) {
    double bytesPerPoint = 0;
    for (auto _ : state) {
        const size_t before = memoryInUse();
        auto log = std::make_unique<TrackLog>();
        for (int i = 0; i < kPoints; ++i) log->append(pointAt(i));
        state.PauseTiming();
        bytesPerPoint = static_cast<double>(memoryInUse() - before) / kPoints;
        benchmark::DoNotOptimize(log->size());
        log.reset();
        state.ResumeTiming();
    }
    state.counters["points"] = kPoints;
    state.counters["bytes/point"] = bytesPerPoint;
    state.counters["points/s"] =
        benchmark::Counter(static_cast<double>(kPoints) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TrackLogAppend25Hz24h)->Unit(benchmark::kMillisecond)->Iterations(3);

const TrackLog& dayLog() {
    static const TrackLog log = [] {
        TrackLog day;
        for (int i = 0; i < kPoints; ++i) day.append(pointAt(i));
        return day;
    }();
    return log;
}

// The file as the program writes it at exit: temporary name, flush, rename.
template <bool Kml>
void BM_WriteFile25Hz24h(benchmark::State& state) {
    const TrackWriter writer(dayLog());
    const bench::Folder made;
    if (made.path().empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string& folder = made.path();
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        const bool written = Kml ? writer.writeKml(folder) : writer.writeGpx(folder);
        state.PauseTiming();
        if (!written) state.SkipWithError("not written");
        for (const auto& entry : fs::directory_iterator(folder)) bytes = entry.file_size();
        fs::remove_all(folder);
        fs::create_directory(folder);
        state.ResumeTiming();
    }
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK_TEMPLATE(BM_WriteFile25Hz24h, true)->Name("BM_WriteKml25Hz24h")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_TEMPLATE(BM_WriteFile25Hz24h, false)->Name("BM_WriteGpx25Hz24h")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace movira

BENCHMARK_MAIN();
