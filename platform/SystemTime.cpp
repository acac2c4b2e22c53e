#include "platform/SystemTime.h"

#include <ctime>

namespace movira {
namespace {

// 1601-01-01 to 1970-01-01 in seconds.
constexpr int64_t kEpochDifferenceSeconds = 11644473600LL;

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isValid(const SystemTime& t) {
    return t.year >= 1601 && t.year <= 30827 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= daysInMonth(t.year, t.month) && t.hour <= 23 && t.minute <= 59 && t.second <= 59 &&
           t.milliseconds <= 999;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

}  // namespace

std::optional<int64_t> SystemTime::toUnixSeconds() const {
    if (!isValid(*this)) return std::nullopt;
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<SystemTime> SystemTime::fromUnixSeconds(int64_t seconds, uint16_t milliseconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t year;
    unsigned month, day;
    civilFromDays(days, year, month, day);
    if (year < 1601 || year > 30827) return std::nullopt;
    SystemTime t;
    t.year = static_cast<uint16_t>(year);
    t.month = static_cast<uint16_t>(month);
    t.day = static_cast<uint16_t>(day);
    t.dayOfWeek = static_cast<uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    t.hour = static_cast<uint16_t>(rest / 3600);
    t.minute = static_cast<uint16_t>(rest / 60 % 60);
    t.second = static_cast<uint16_t>(rest % 60);
    t.milliseconds = milliseconds;
    return t;
}

bool SystemTime::sameSecond(const SystemTime& o) const {
    return year == o.year && month == o.month && day == o.day && hour == o.hour && minute == o.minute &&
           second == o.second;
}

std::optional<int64_t> SystemTime::toFileTime() const {
    const auto seconds = toUnixSeconds();
    if (!seconds) return std::nullopt;
    return (*seconds + kEpochDifferenceSeconds) * kFileTimeUnitsPerSecond + int64_t{milliseconds} * 10'000;
}

std::optional<SystemTime> SystemTime::fromFileTime(int64_t fileTime) {
    if (fileTime < 0) return std::nullopt;
    const int64_t seconds = fileTime / kFileTimeUnitsPerSecond - kEpochDifferenceSeconds;
    const auto ms = static_cast<uint16_t>(fileTime % kFileTimeUnitsPerSecond / 10'000);
    return fromUnixSeconds(seconds, ms);
}

std::optional<SystemTime> SystemTime::utcToLocal() const {
    const auto seconds = toUnixSeconds();
    if (!seconds) return std::nullopt;
    const time_t t = static_cast<time_t>(*seconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) return std::nullopt;
    return fromUnixSeconds(*seconds + local.tm_gmtoff, milliseconds);
}

std::optional<SystemTime> SystemTime::localToUtc() const {
    if (!isValid(*this)) return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    local.tm_yday = -1;  // mktime sets it on success; -1 is also a valid result
    const time_t t = mktime(&local);
    if (local.tm_yday == -1) return std::nullopt;
    return fromUnixSeconds(static_cast<int64_t>(t), milliseconds);
}

}  // namespace movira
