// Which of gpsd's receivers the library follows, and whether its last position is still current.
// gpsd serves every receiver it knows on one connection; mixing their reports would make one
// zig-zag track. So one device is followed: the one GPSD_DEVICE names, or else the first that
// delivers a fix, until it goes away (gpsd's DEVICE report with "activated" 0) or falls silent.
// A position is current for kStaleAfter after its TPV (three cycles for a receiver whose cycle is
// longer than a second); after that the record must say no fix. Used by the gpsd thread only.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <string_view>

namespace movira {

class FollowedDevice {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kStaleAfter{3000};

    // `named`: the device to follow for good (GPSD_DEVICE); empty: the first one with a fix.
    explicit FollowedDevice(std::string named = {});

    // Whether a report of device `path` counts.
    bool follows(std::string_view path) const;
    // A TPV of `path` that counted, at `now`; its first fix makes it the followed device.
    void tookPosition(std::string_view path, bool fix, Clock::time_point now);
    // gpsd's DEVICE report. True when the device whose position the record holds went away.
    bool deviceReport(std::string_view path, bool active, double cycleSeconds);
    // True, once, when the last position that counted has become too old (at `now`).
    bool positionExpired(Clock::time_point now);

private:
    void forget();
    Clock::duration staleAfter() const;

    const std::string named_;
    std::string chosen_;        // the followed device, when chosen_ is set
    bool hasChosen_ = false;
    std::string lastDevice_;    // the device of the last position that counted
    bool holdsPosition_ = false;  // a position counted and has not expired since
    Clock::time_point lastPosition_{};
    std::map<std::string, double, std::less<>> cycles_;  // seconds, from DEVICE reports
};

}  // namespace movira
