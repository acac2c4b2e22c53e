#include "platform/SystemClock.h"

#include <chrono>

#include <ctime>

namespace movira {

SystemTime SystemClock::localNow() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    SystemTime t;
    t.year = static_cast<uint16_t>(local.tm_year + 1900);
    t.month = static_cast<uint16_t>(local.tm_mon + 1);
    t.dayOfWeek = static_cast<uint16_t>(local.tm_wday);
    t.day = static_cast<uint16_t>(local.tm_mday);
    t.hour = static_cast<uint16_t>(local.tm_hour);
    t.minute = static_cast<uint16_t>(local.tm_min);
    t.second = static_cast<uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);  // a leap second
    t.milliseconds = static_cast<uint16_t>(now.tv_nsec / 1'000'000);
    return t;
}

}  // namespace movira

int64_t movira::SystemClock::steadyNow100ns() const {
    using namespace std::chrono;
    return duration_cast<duration<int64_t, std::ratio<1, 10'000'000>>>(steady_clock::now().time_since_epoch()).count();
}
