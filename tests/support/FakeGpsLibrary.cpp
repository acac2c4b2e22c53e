// A stand-in for the GPS access library, built as libOrbelin.so for the tests.
// Besides the three exports the program uses, it exports controls for the test.
#include "core/PositionRecord.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {

std::mutex recordMutex;
movira::PositionRecord current{};
[[maybe_unused]] movira::PositionRecord handedOut{};
std::atomic<int> starts{0};
std::atomic<int> stops{0};
std::atomic<int> fetches{0};
std::atomic<bool> returnNull{false};

}  // namespace

extern "C" {

int StartGPSAPI() {
    ++starts;
    return 0;
}

int StopGPSAPI() {
    ++stops;
    return 0;
}

#ifndef FAKE_GPS_WITHOUT_GETPOS
const void* GetGPSPos() {
    ++fetches;
    if (returnNull) return nullptr;
    std::lock_guard lock(recordMutex);
    handedOut = current;
    return &handedOut;
}
#endif

void FakeGpsSetRecord(const movira::PositionRecord* record) {
    std::lock_guard lock(recordMutex);
    std::memcpy(&current, record, sizeof current);
}

void FakeGpsSetReturnNull(bool value) { returnNull = value; }

void FakeGpsCounts(int* startCount, int* stopCount, int* fetchCount) {
    *startCount = starts;
    *stopCount = stops;
    *fetchCount = fetches;
}

void FakeGpsReset() {
    starts = stops = fetches = 0;
    returnNull = false;
}
}
