// The device clock, behind an interface so that tests can pin it.
#pragma once

#include "platform/SystemTime.h"

#include <cstdint>

namespace movira {

class Clock {
public:
    virtual ~Clock() = default;
    // The current local time of the device (any thread).
    virtual SystemTime localNow() const = 0;
    // A steady count of 100-ns units for measuring intervals; never jumps when the clock
    // is set (any thread).
    virtual int64_t steadyNow100ns() const = 0;
};

}  // namespace movira
