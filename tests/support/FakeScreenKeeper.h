// A screen-saver service whose answers the test decides, counting the calls.
#pragma once

#include "platform/ScreenKeeper.h"

#include <atomic>

namespace movira::test {

class FakeScreenKeeper final : public ScreenKeeper {
public:
    std::optional<uint32_t> request() override {
        ++requests;
        if (!grant) return std::nullopt;
        ++held;
        return 42;
    }
    bool release(uint32_t handle) override {
        ++releases;
        if (!allowRelease || handle != 42) return false;
        --held;
        return true;
    }
    void resetIdleTimer() override { ++idleResets; }

    std::atomic<bool> grant{true};
    std::atomic<bool> allowRelease{true};
    std::atomic<int> requests{0};
    std::atomic<int> releases{0};
    std::atomic<int> held{0};
    std::atomic<int> idleResets{0};
};

}  // namespace movira::test
