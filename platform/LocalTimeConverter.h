// Turns UTC times into local times of the zone of TZ, remembering the zone's offset for
// the minute last asked: fixes that arrive every second ask the C library once a minute.
// One converter per thread; a TZ changed while it lives is seen from the next minute on.
#pragma once

#include "platform/SystemTime.h"

#include <cstdint>
#include <optional>

namespace movira {

class LocalTimeConverter {
public:
    // Empty when the time is out of range.
    std::optional<SystemTime> utcToLocal(const SystemTime& utc);

private:
    bool sameMinute(const SystemTime& utc) const;

    bool cached_ = false;
    SystemTime cachedUtc_;    // the minute asked last, in UTC
    SystemTime cachedLocal_;  // the same minute, local
    int64_t offsetSeconds_ = 0;
};

}  // namespace movira
