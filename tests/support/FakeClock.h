// A device clock that says what the test sets.
#pragma once

#include "platform/Clock.h"

#include <atomic>
#include <mutex>

namespace movira::test {

class FakeClock final : public Clock {
public:
    FakeClock() { now_ = {2024, 5, 3, 17, 9, 30, 15, 250}; }
    SystemTime localNow() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    int64_t steadyNow100ns() const override { return steady_; }
    void advanceSteadySeconds(double seconds) { steady_ += static_cast<int64_t>(seconds * 10'000'000); }
    void set(const SystemTime& now) {
        std::lock_guard lock(mutex_);
        now_ = now;
    }

private:
    mutable std::mutex mutex_;
    SystemTime now_;
    std::atomic<int64_t> steady_{1'000'000'000};
};

}  // namespace movira::test
