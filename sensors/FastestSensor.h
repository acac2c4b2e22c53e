// The best time to cover a target distance in metres, from the speeds of the last fix steps;
// a standing-start sensor measures once per stop, a flying one every window it completes.
// Best times are whole milliseconds, kept between runs. Updated on the GPS reader thread
// under the model lock.
#pragma once

#include "sensors/Sensor.h"

#include <cstdint>
#include <optional>

namespace movira {

class FastestSensor : public Sensor {
public:
    static constexpr int MaxSteps = 300;
    static constexpr double MaxLoadedMetres = 1'000'000.0;
    static constexpr int64_t MaxBestMs = 1'000'000'000;

    FastestSensor(float targetMetres, const UiText& uiText, bool standingStart);

    bool isPersistent() const override { return true; }
    std::string saveValue() const override;
    void loadValue(const std::string& text) override;

    void update(const GpsFix& fix) override;
    void reset() override;
    // 0: the best time s (0 when none); 1: the target metres.
    float value(int index) const override;

private:
    void buildCaption();
    void clearHistory() { stepCount_ = 0; }
    // Looks back from the newest step for the shortest run of steps that covers the target:
    // empty when none does, else its time in ms (0 when that time is unusable).
    std::optional<int64_t> findWindow(float stepMetres, int64_t stepMs) const;
    std::optional<int64_t> findRunFromStop(float stepMetres, int64_t stepMs) const;

    int64_t previousTime_ = 0;  // 100-ns units; 0 when there is no previous fix
    int64_t best_ = 0;          // milliseconds; 0 when none
    float previousSpeed_ = NoValue;
    float target_;  // metres
    // The steps between consecutive usable fixes since the last start, oldest first.
    float stepMetres_[MaxSteps] = {};
    int64_t stepMs_[MaxSteps] = {};
    int stepCount_ = 0;
    bool armed_ = false;
    const bool standingStart_;
};

}  // namespace movira
