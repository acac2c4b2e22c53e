// A sound player that records what would play, and when by the test's clock.
#pragma once

#include "platform/Clock.h"
#include "platform/SoundPlayer.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace movira::test {

class FakeSoundPlayer final : public SoundPlayer {
public:
    struct Played {
        std::string path;
        int64_t at100ns;  // the clock's steady count when play() was called; 0 without a clock
    };

    explicit FakeSoundPlayer(const Clock* clock = nullptr) : clock_(clock) {}

    void play(const std::string& path) override {
        const int64_t at = clock_ ? clock_->steadyNow100ns() : 0;
        std::lock_guard lock(mutex_);
        played_.push_back({path, at});
    }

    std::vector<Played> played() const {
        std::lock_guard lock(mutex_);
        return played_;
    }
    // The file names alone, in the order played.
    std::vector<std::string> names() const {
        std::vector<std::string> names;
        for (const Played& p : played()) names.push_back(p.path.substr(p.path.find_last_of('/') + 1));
        return names;
    }
    size_t count() const {
        std::lock_guard lock(mutex_);
        return played_.size();
    }
    void clear() {
        std::lock_guard lock(mutex_);
        played_.clear();
    }

private:
    const Clock* const clock_;
    mutable std::mutex mutex_;
    std::vector<Played> played_;
};

}  // namespace movira::test
