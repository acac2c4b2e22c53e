// The device clock, behind an interface so that tests can pin it.
#pragma once

#include "platform/SystemTime.h"

namespace movira {

class Clock {
public:
    virtual ~Clock() = default;
    // The current local time of the device (any thread).
    virtual SystemTime localNow() const = 0;
};

}  // namespace movira
