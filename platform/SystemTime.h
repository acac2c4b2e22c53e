// A calendar time with the eight 16-bit fields of the handheld's SYSTEMTIME,
// and its conversions through 64-bit counts of 100-ns units since 1601-01-01.
// Time-zone rules are the C library's (TZ); all functions are thread-safe.
#pragma once

#include <cstdint>
#include <optional>

namespace movira {

struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0;      // 1..12
    uint16_t dayOfWeek = 0;  // 0 = Sunday
    uint16_t day = 0;        // 1..31
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    bool sameSecond(const SystemTime& other) const;

    // 100-ns units since 1601-01-01 00:00:00; empty for a date or time out of range.
    std::optional<int64_t> toFileTime() const;
    static std::optional<SystemTime> fromFileTime(int64_t fileTime);

    // Seconds since 1970-01-01 00:00:00; empty for a date or time out of range.
    std::optional<int64_t> toUnixSeconds() const;
    static std::optional<SystemTime> fromUnixSeconds(int64_t seconds, uint16_t milliseconds);

    // The same instant in the zone of TZ, or in UTC; empty when out of range.
    std::optional<SystemTime> utcToLocal() const;
    std::optional<SystemTime> localToUtc() const;
};
static_assert(sizeof(SystemTime) == 16);

constexpr int64_t kFileTimeUnitsPerSecond = 10'000'000;

}  // namespace movira
