// Speed of the per-fix update of all 36 sensors, SensorSet::updateAll, which the reader thread
// runs under the model lock after every completed fix. Goal: at most 5 us a fix. The only work
// that grows is each FastestSensor's look back over its step history (up to 300 steps); the
// cases below take it from short walks to all five histories full.
#include "core/GpsFix.h"
#include "core/UiText.h"
#include "sensors/SensorSet.h"
#include "tests/support/FakeBattery.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace movira {
namespace {

constexpr double kMetresPerDegreeOfLatitude = 111'320.0;

// A receiver's fixes one second apart, due north at a set speed, with all that a fix carries,
// so that every sensor formats a text.
class FixStream {
public:
    explicit FixStream(float kmh) {
        fix_.valid = true;
        fix_.speed = kmh;
        fix_.speedKnots = kmh / 1.852f;
        fix_.altitude = 35.5f;
        fix_.longitude = 30.31f;
        fix_.course = 0.0f;
        fix_.pdop = 1.6f;
        fix_.hdop = 0.9f;
        fix_.vdop = 1.3f;
        fix_.satellitesUsed = 9;
        fix_.localTime = {2026, 6, 0, 14, 8, 0, 0, 0};
        fix_.utcTime = fix_.localTime;
        fix_.latitude = static_cast<float>(latitude_);
    }

    void setSpeed(float kmh) {
        fix_.speed = kmh;
        fix_.speedKnots = kmh / 1.852f;
    }
    void setValid(bool valid) { fix_.valid = valid; }

    // The fix `ms` milliseconds after the last one (a second by default).
    const GpsFix& next(int ms = 1000) {
        fix_.localTime.milliseconds = static_cast<uint16_t>(fix_.localTime.milliseconds + ms % 1000);
        if (fix_.localTime.milliseconds >= 1000) {
            fix_.localTime.milliseconds = static_cast<uint16_t>(fix_.localTime.milliseconds - 1000);
            addSecond(fix_.localTime);
        }
        for (int s = 0; s < ms / 1000; ++s) addSecond(fix_.localTime);
        fix_.utcTime = fix_.localTime;
        latitude_ += static_cast<double>(fix_.speed) / 3.6 * ms / 1000.0 / kMetresPerDegreeOfLatitude;
        fix_.latitude = static_cast<float>(latitude_);
        return fix_;
    }

private:
    // Time must only go forward; the calendar need not be exact, so every month has 28 days.
    static void addSecond(SystemTime& t) {
        if (++t.second < 60) return;
        t.second = 0;
        if (++t.minute < 60) return;
        t.minute = 0;
        if (++t.hour < 24) return;
        t.hour = 0;
        if (++t.day <= 28) return;
        t.day = 1;
        if (++t.month <= 12) return;
        t.month = 1;
        ++t.year;
    }

    GpsFix fix_;
    double latitude_ = 59.93;
};

// The set as the core creates it; the battery is a fake, so that no file is read.
class Sensors {
public:
    Sensors() {
        battery_.set(BatteryStatus{false, 57});
        set_.createSensors(uiText_, battery_);
    }
    void update(const GpsFix& fix) { set_.updateAll(fix); }

private:
    UiText uiText_{UiText::Language::English};
    test::FakeBattery battery_;
    SensorSet set_;
};

void countFixes(benchmark::State& state) {
    state.counters["fixes/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Steady driving after a standing start: the standing-start sensors have found their windows
// and rest; the flying ones keep measuring. At 150 km/h (41.7 m a step) 500 m take 12 steps,
// 1000 m 24 and 10000 m 240, after which that history starts again; at 100 km/h (27.8 m) the
// 10000 m history fills to its 300 steps, finds nothing, and starts again.
void BM_UpdateAllCruising(benchmark::State& state) {
    Sensors sensors;
    FixStream fixes(0.0f);
    sensors.update(fixes.next());
    fixes.setSpeed(static_cast<float>(state.range(0)));
    for (int i = 0; i < 1000; ++i) sensors.update(fixes.next());
    for (auto _ : state) sensors.update(fixes.next());
    countFixes(state);
}

// Parked with a fix: the standing-start sensors rearm at every fix; the flying ones collect
// steps of 0 m, so their histories fill to 300 and start again.
void BM_UpdateAllStandstill(benchmark::State& state) {
    Sensors sensors;
    FixStream fixes(0.0f);
    for (int i = 0; i < 1000; ++i) sensors.update(fixes.next());
    for (auto _ : state) sensors.update(fixes.next());
    countFixes(state);
}

// The longest update there is: all five histories hold 300 steps, none covers its target, and
// each sensor walks its history whole. Getting there takes 302 updates (a dropout clears every
// history, a stop arms the standing starts, 300 steps at 1 km/h fill them: 83 m, short of even
// 100 m); only the update after them is timed.
void BM_UpdateAllFullHistories(benchmark::State& state) {
    Sensors sensors;
    FixStream fixes(1.0f);
    for (auto _ : state) {
        fixes.setValid(false);
        sensors.update(fixes.next());
        fixes.setValid(true);
        fixes.setSpeed(0.0f);
        sensors.update(fixes.next());
        fixes.setSpeed(1.0f);
        for (int i = 0; i < 300; ++i) sensors.update(fixes.next());
        const GpsFix& fix = fixes.next();
        const auto start = std::chrono::steady_clock::now();
        sensors.update(fix);
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    countFixes(state);
}

// The same cycle timed whole: the mean over histories growing from empty to full.
void BM_UpdateAllHistoriesGrowing(benchmark::State& state) {
    Sensors sensors;
    FixStream fixes(1.0f);
    int step = 0;
    for (auto _ : state) {
        const bool dropout = step == 0;
        const bool stop = step == 1;
        fixes.setValid(!dropout);
        fixes.setSpeed(stop ? 0.0f : 1.0f);
        sensors.update(fixes.next());
        if (++step == 303) step = 0;
    }
    countFixes(state);
}

// The same at 25 Hz: steps of 40 ms, 1.1 m at 100 km/h. The 10 km history reaches back up to five
// minutes (7500 steps): the first 300 kept one by one, the rest as one sum, so the walk stays as
// short as at 1 Hz.
void BM_UpdateAllCruising25Hz(benchmark::State& state) {
    Sensors sensors;
    FixStream fixes(0.0f);
    sensors.update(fixes.next(40));
    fixes.setSpeed(static_cast<float>(state.range(0)));
    for (int i = 0; i < 25'000; ++i) sensors.update(fixes.next(40));
    for (auto _ : state) sensors.update(fixes.next(40));
    countFixes(state);
}

BENCHMARK(BM_UpdateAllCruising)->Arg(150)->Arg(100);
BENCHMARK(BM_UpdateAllCruising25Hz)->Arg(100);
BENCHMARK(BM_UpdateAllStandstill);
BENCHMARK(BM_UpdateAllFullHistories)->UseManualTime()->Iterations(3000);
BENCHMARK(BM_UpdateAllHistoriesGrowing);

}  // namespace
}  // namespace movira
