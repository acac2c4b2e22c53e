// Speed of the GPS access library (libOrbelin.so): what one gpsd report costs it, how long a
// report takes to show in the record GetGPSPos hands out, and what a GetGPSPos call costs the
// program. A fake gpsd on a local port streams the reports, so that no device sets the pace.
// Run ${CMAKE_BINARY_DIR}/bench/gpsapi_bench.
#include "gpsapi/PositionRecordBuilder.h"
#include "gpsapi/RecordHandover.h"
#include "tests/gpsapi/FakeGpsd.h"
#include "tests/gpsapi/LoadedOrbelin.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace movira {
namespace {

using namespace std::chrono_literals;

// A TPV as gpsd 3.22 writes one for a moving car; `latitude` marks it.
std::string tpv(double latitude) {
    char line[512];
    std::snprintf(
        line, sizeof line,
        R"({"class":"TPV","device":"/dev/ttyACM0","mode":3,"time":"2026-06-14T08:04:38.000Z",)"
        R"("ept":0.005,"lat":%.9f,"lon":30.310000000,"altHAE":34.3000,"altMSL":17.5000,)"
        R"("alt":17.5000,"epx":9.587,"epy":8.736,"epv":27.600,"track":162.0000,"magtrack":173.0679,)"
        R"("magvar":11.1,"speed":52.500,"climb":0.000,"eps":19.17,"epc":55.20,"geoidSep":16.800,)"
        R"("eph":17.100,"sep":28.500})"
        "\r\n",
        latitude);
    return line;
}

// A SKY with 16 satellites, as a multi-constellation receiver gives: the record keeps 12.
std::string sky() {
    std::string line =
        R"({"class":"SKY","device":"/dev/ttyACM0","xdop":0.64,"ydop":0.58,"vdop":1.20,)"
        R"("tdop":0.71,"hdop":0.90,"gdop":1.62,"pdop":1.50,"nSat":16,"uSat":10,"satellites":[)";
    for (int i = 0; i < 16; ++i) {
        line += (i ? "," : "") + std::string(R"({"PRN":)") + std::to_string(i * 5 + 2) + R"(,"el":)" +
                std::to_string(10 + i * 4) + R"(.0,"az":)" + std::to_string(i * 22) + R"(.0,"ss":)" +
                std::to_string(20 + (i * 7) % 30) + R"(.0,"used":)" + (i < 10 ? "true" : "false") +
                R"(,"gnssid":0,"svid":)" + std::to_string(i * 5 + 2) + "}";
    }
    return line + "]}\r\n";
}

// The work on the library's thread per report once libgps has the line: decoding, updating the
// record, handing it over.
void decodeAndPublish(benchmark::State& state, const std::string& line) {
    auto data = std::make_unique<gps_data_t>();
    PositionRecordBuilder builder;
    RecordHandover handover;
    std::string text;
    const bool isSky = line.find("\"SKY\"") != std::string::npos;
    for (auto _ : state) {
        text = line;
        gps_unpack(text.data(), data.get());
        if (isSky) {
            builder.applySky(*data);
        } else {
            builder.applyTpv(*data);
        }
        handover.publish(builder.record());
        benchmark::DoNotOptimize(&handover);
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_TpvReport(benchmark::State& state) { decodeAndPublish(state, tpv(59.93)); }
void BM_SkyReport(benchmark::State& state) { decodeAndPublish(state, sky()); }
BENCHMARK(BM_TpvReport);
BENCHMARK(BM_SkyReport);

// The loaded library connected to a fake gpsd, as the program has it.
class Connected {
public:
    Connected() {
        setenv("GPSD_HOST", "127.0.0.1", 1);
        setenv("GPSD_PORT", std::to_string(gpsd.port()).c_str(), 1);
        if (!library.ok()) return;
        library.start();
        ok_ = gpsd.accept(5s);
    }
    ~Connected() { library.stop(); }
    bool ok() const { return ok_; }

    test::FakeGpsd gpsd;
    test::LoadedOrbelin library;

private:
    bool ok_ = false;
};

// Waits, polling as fast as it can, until the record has `latitude`; false after two seconds.
bool waitForLatitude(test::LoadedOrbelin& library, double latitude) {
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (library.position().latitude != latitude) {
        if (std::chrono::steady_clock::now() > until) return false;
    }
    return true;
}

// From the moment a TPV leaves gpsd to the moment GetGPSPos returns it: one report at a time.
void BM_ReportToRecord(benchmark::State& state) {
    Connected connected;
    if (!connected.ok()) {
        state.SkipWithError("the library did not connect to the fake gpsd");
        return;
    }
    double latitude = 59.0;
    for (auto _ : state) {
        latitude += 1e-6;
        const std::string line = tpv(latitude);
        connected.gpsd.send(line);
        if (!waitForLatitude(connected.library, std::stod(line.substr(line.find("\"lat\":") + 6)))) {
            state.SkipWithError("a report did not arrive");
            break;
        }
    }
}
BENCHMARK(BM_ReportToRecord)->UseRealTime();

// Reports streamed as fast as TCP takes them, TPV and SKY by turns, 1000 a batch: the library's
// whole cost per report on its own thread, socket and JSON decoding included.
void BM_ReportStream(benchmark::State& state) {
    Connected connected;
    if (!connected.ok()) {
        state.SkipWithError("the library did not connect to the fake gpsd");
        return;
    }
    constexpr int kBatch = 1000;
    const std::string skyLine = sky();
    double latitude = 59.0;
    for (auto _ : state) {
        std::string batch;
        for (int i = 0; i < kBatch / 2; ++i) {
            latitude += 1e-6;
            batch += tpv(latitude) + skyLine;
        }
        const std::string last = tpv(latitude);
        connected.gpsd.send(batch);
        if (!waitForLatitude(connected.library, std::stod(last.substr(last.find("\"lat\":") + 6)))) {
            state.SkipWithError("the batch did not arrive");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_ReportStream)->UseRealTime()->Unit(benchmark::kMillisecond);

// What the program pays per poll: GetGPSPos and the copy of the 344 bytes.
void BM_GetGPSPos(benchmark::State& state) {
    test::LoadedOrbelin library;
    if (!library.ok()) {
        state.SkipWithError(library.error().c_str());
        return;
    }
    for (auto _ : state) {
        PositionRecord record = library.position();
        benchmark::DoNotOptimize(record);
    }
}
BENCHMARK(BM_GetGPSPos);

}  // namespace
}  // namespace movira
