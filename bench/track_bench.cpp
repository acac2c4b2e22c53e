// Speed of track recording: a 24-hour track (86,400 points, one a second) made into KML and GPX
// text and written as files (temporary name, flush, rename), and what the journal costs the
// reader thread per fix. Goals: each file under 100 ms; the journal under 1 us per fix.
#include "bench/TrackBenchDay.h"
#include "track/TrackJournal.h"
#include "track/TrackWriter.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace movira {
namespace {

namespace fs = std::filesystem;

using bench::Folder;

constexpr int kDay = 86'400;

// A day of driving around at one fix a second: every point different, so every one is written.
const TrackLog& dayLog() {
    static const TrackLog log = [] {
        TrackLog day;
        for (int i = 0; i < kDay; ++i) day.append(bench::dayPoint(i, 1));
        return day;
    }();
    return log;
}

void BM_KmlText24h(benchmark::State& state) {
    const TrackWriter writer(dayLog());
    for (auto _ : state) benchmark::DoNotOptimize(writer.kmlText());
    state.SetItemsProcessed(state.iterations() * kDay);
}
BENCHMARK(BM_KmlText24h)->Unit(benchmark::kMillisecond);

void BM_GpxText24h(benchmark::State& state) {
    const TrackWriter writer(dayLog());
    for (auto _ : state) benchmark::DoNotOptimize(writer.gpxText("Track0001.gpx"));
    state.SetItemsProcessed(state.iterations() * kDay);
}
BENCHMARK(BM_GpxText24h)->Unit(benchmark::kMillisecond);

// The whole file as at exit: folder, free number, text, temporary file flushed and renamed.
template <bool kml>
void BM_WriteFile24h(benchmark::State& state) {
    const TrackWriter writer(dayLog());
    Folder folder;
    const std::string file = folder.path() + (kml ? "/Track0001.kml" : "/Track0001.gpx");
    for (auto _ : state) {
        if (kml) {
            writer.writeKml(folder.path());
        } else {
            writer.writeGpx(folder.path());
        }
        state.PauseTiming();
        state.counters["bytes"] = static_cast<double>(fs::file_size(file));
        fs::remove(file);
        state.ResumeTiming();
    }
}
BENCHMARK_TEMPLATE(BM_WriteFile24h, true)->Name("BM_WriteKmlFile24h")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_WriteFile24h, false)->Name("BM_WriteGpxFile24h")->Unit(benchmark::kMillisecond)->UseRealTime();

// The reader thread's share of the journal: one hand-over per accepted fix, with the journal's
// own thread writing to a file meanwhile. Every 1024 fixes the writer is let catch up, outside
// the timing, so the hand-over never finds the buffer full.
void BM_JournalPushPerFix(benchmark::State& state) {
    Folder folder;
    TrackJournal journal;
    journal.start(folder.path(), {folder.path() + "/Tracks", true, true});
    const TrackLog& day = dayLog();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(journal.push(day[i % kDay]));
        if (++i % 1024 == 0) {
            state.PauseTiming();
            journal.flush();
            state.ResumeTiming();
        }
    }
    journal.stop();
    state.counters["dropped"] = static_cast<double>(journal.droppedPoints());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JournalPushPerFix);

}  // namespace
}  // namespace movira

BENCHMARK_MAIN();
