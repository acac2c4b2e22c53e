// The device battery as Linux reports it under /sys/class/power_supply: the first supply of
// type "Battery" (in name order) gives the charge from `capacity` and charging from `status`.
// A reading is kept for a while, because the sensors ask on every fix under the model lock.
// Any thread may call status().
#pragma once

#include "platform/Battery.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

namespace movira {

class SysfsBattery final : public Battery {
public:
    static constexpr const char* DefaultFolder = "/sys/class/power_supply";
    static constexpr const char* FolderVariable = "MOVIRA_POWER_SUPPLY_DIR";

    // An empty folder means MOVIRA_POWER_SUPPLY_DIR when set, else the system's folder; it is
    // decided here, once. The files are read again only when `cacheTime` has passed since the
    // last reading (0: on every call).
    explicit SysfsBattery(std::string folder = {},
                          std::chrono::milliseconds cacheTime = std::chrono::seconds(10));

    // Empty when the folder cannot be read; {false, 255} when it holds no battery (mains power).
    std::optional<BatteryStatus> status() const override;

    const std::string& folder() const { return folder_; }

private:
    // One reading of a power-supply folder, without the cache.
    static std::optional<BatteryStatus> read(const std::string& folder);

    struct Reading {
        std::optional<BatteryStatus> status;
        std::optional<std::chrono::steady_clock::time_point> takenAt;  // empty: never read
    };

    const std::string folder_;
    const std::chrono::milliseconds cacheTime_;
    mutable std::mutex mutex_;  // guards last_
    mutable Reading last_;
};

}  // namespace movira
