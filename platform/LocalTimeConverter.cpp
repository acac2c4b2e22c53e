#include "platform/LocalTimeConverter.h"

#include <ctime>

namespace movira {

bool LocalTimeConverter::sameMinute(const SystemTime& utc) const {
    return cached_ && utc.minute == cachedUtc_.minute && utc.hour == cachedUtc_.hour && utc.day == cachedUtc_.day &&
           utc.month == cachedUtc_.month && utc.year == cachedUtc_.year;
}

std::optional<SystemTime> LocalTimeConverter::utcToLocal(const SystemTime& utc) {
    // Zones change their offset only at whole minutes, and by whole minutes.
    if (sameMinute(utc) && utc.second <= 59 && utc.milliseconds <= 999) {
        SystemTime local = cachedLocal_;
        local.second = utc.second;
        local.milliseconds = utc.milliseconds;
        return local;
    }
    const auto seconds = utc.toUnixSeconds();
    if (!seconds) return std::nullopt;
    const auto t = static_cast<time_t>(*seconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) return std::nullopt;
    offsetSeconds_ = local.tm_gmtoff;
    const auto converted = SystemTime::fromUnixSeconds(*seconds + offsetSeconds_, utc.milliseconds);
    // Offsets with seconds (old local mean times) are converted every time.
    cached_ = converted.has_value() && offsetSeconds_ % 60 == 0;
    if (cached_) {
        cachedUtc_ = utc;
        cachedLocal_ = *converted;
    }
    return converted;
}

}  // namespace movira
