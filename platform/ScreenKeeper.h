// Keeps the screen lit and the device awake while fixes arrive.
// Stands in for the backlight power requirement and the idle-timer reset.
#pragma once

#include <cstdint>
#include <optional>

namespace movira {

class ScreenKeeper {
public:
    virtual ~ScreenKeeper() = default;
    // Asks that the screen stay on; the handle of the request, or empty when refused.
    virtual std::optional<uint32_t> request() = 0;
    // Withdraws a request; false when the service refused it (the request is then still held).
    virtual bool release(uint32_t handle) = 0;
    // Tells the session that the user is active, so that the idle timer starts over.
    virtual void resetIdleTimer() = 0;
};

// For machines without a screen-saver service: every request fails.
class NoScreenKeeper final : public ScreenKeeper {
public:
    std::optional<uint32_t> request() override { return std::nullopt; }
    bool release(uint32_t) override { return true; }
    void resetIdleTimer() override {}
};

}  // namespace movira
