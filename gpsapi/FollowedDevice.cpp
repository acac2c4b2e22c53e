#include "gpsapi/FollowedDevice.h"

#include <algorithm>
#include <cmath>

namespace movira {

FollowedDevice::FollowedDevice(std::string named) : named_(std::move(named)) {}

bool FollowedDevice::follows(std::string_view path) const {
    if (!named_.empty()) return path == named_;
    return !hasChosen_ || path == chosen_;
}

void FollowedDevice::tookPosition(std::string_view path, bool fix, Clock::time_point now) {
    if (named_.empty() && !hasChosen_ && fix) {
        chosen_ = path;
        hasChosen_ = true;
    }
    lastDevice_ = path;
    holdsPosition_ = true;
    lastPosition_ = now;
}

bool FollowedDevice::deviceReport(std::string_view path, bool active, double cycleSeconds) {
    if (active) {
        if (std::isfinite(cycleSeconds) && cycleSeconds > 0) cycles_[std::string(path)] = cycleSeconds;
        return false;
    }
    cycles_.erase(std::string(path));
    const bool followed = hasChosen_ && path == chosen_;
    const bool held = holdsPosition_ && path == lastDevice_;
    if (followed) forget();
    if (!held) return false;
    holdsPosition_ = false;
    return true;
}

bool FollowedDevice::positionExpired(Clock::time_point now) {
    if (!holdsPosition_ || now - lastPosition_ <= staleAfter()) return false;
    holdsPosition_ = false;
    forget();
    return true;
}

void FollowedDevice::forget() {
    hasChosen_ = false;
    chosen_.clear();
}

FollowedDevice::Clock::duration FollowedDevice::staleAfter() const {
    const auto cycle = cycles_.find(lastDevice_);
    if (cycle == cycles_.end()) return kStaleAfter;
    // Three cycles of a slow receiver; gpsd's cycle is seconds as a float.
    const auto threeCycles = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::min(cycle->second, 3600.0) * 3));
    return std::max<Clock::duration>(kStaleAfter, threeCycles);
}

}  // namespace movira
