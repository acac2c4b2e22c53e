// What the track benchmarks share: a zone with summer time, by rule (every GPX time goes through
// the local-to-UTC conversion), a day of driving around at any rate, every point different so
// that every one is written, and a temporary folder for the files.
#pragma once

#include "core/TrackLog.h"

#include <stdlib.h>
#include <time.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace movira::bench {

// Set at start-up, before any benchmark runs; each benchmark program is one source.
[[maybe_unused]] static const bool kZoneSet = [] {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    return true;
}();

// Point i of a day of driving at `rate` fixes a second, 1000 / rate ms apart.
inline TrackPoint dayPoint(int i, int rate) {
    const double t = i / (600.0 * rate);
    const int ms = i * (1000 / rate);
    const SystemTime time{2024, 7, 1, 1, static_cast<uint16_t>(ms / 3'600'000), static_cast<uint16_t>(ms / 60'000 % 60),
                          static_cast<uint16_t>(ms / 1000 % 60), static_cast<uint16_t>(ms % 1000)};
    return TrackPoint{static_cast<float>(120.0 + 80.0 * std::sin(t) + i * (1e-4 / rate)),
                      static_cast<float>(30.3 + 0.2 * std::cos(t) + i * (1e-6 / rate)),
                      static_cast<float>(59.9 + 0.1 * std::sin(t * 1.3) + i * (1e-6 / rate)), 90.0f, 60.0f, time};
}

// A folder of its own under /tmp, removed with everything in it; an empty path when none was made.
class Folder {
public:
    Folder() {
        char pattern[] = "/tmp/movira-track-bench-XXXXXX";
        if (mkdtemp(pattern)) path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace movira::bench
