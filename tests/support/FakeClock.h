// A device clock that says what the test sets.
#pragma once

#include "platform/Clock.h"

#include <mutex>

namespace movira::test {

class FakeClock final : public Clock {
public:
    FakeClock() { now_ = {2024, 5, 3, 17, 9, 30, 15, 250}; }
    SystemTime localNow() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void set(const SystemTime& now) {
        std::lock_guard lock(mutex_);
        now_ = now;
    }

private:
    mutable std::mutex mutex_;
    SystemTime now_;
};

}  // namespace movira::test
