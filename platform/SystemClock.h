// The real clock of the machine, in the zone of TZ.
#pragma once

#include "platform/Clock.h"

namespace movira {

class SystemClock final : public Clock {
public:
    SystemTime localNow() const override;
    int64_t steadyNow100ns() const override;
};

}  // namespace movira
