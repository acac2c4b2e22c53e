// A battery whose status the test sets.
#pragma once

#include "platform/Battery.h"

#include <mutex>

namespace movira::test {

class FakeBattery final : public Battery {
public:
    std::optional<BatteryStatus> status() const override {
        std::lock_guard lock(mutex_);
        return status_;
    }
    void set(std::optional<BatteryStatus> status) {
        std::lock_guard lock(mutex_);
        status_ = status;
    }

private:
    mutable std::mutex mutex_;
    std::optional<BatteryStatus> status_ = BatteryStatus{};
};

}  // namespace movira::test
