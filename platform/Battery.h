// The device battery, as the power-supply layer reports it.
#pragma once

#include <cstdint>
#include <optional>

namespace movira {

struct BatteryStatus {
    bool charging = false;
    uint8_t percent = 255;  // 0..100; 255: the level is not reported (no battery, mains power)
};

class Battery {
public:
    virtual ~Battery() = default;
    // Empty when the status cannot be read at all. May be called from any thread.
    virtual std::optional<BatteryStatus> status() const = 0;
};

}  // namespace movira
