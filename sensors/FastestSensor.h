// The best time to cover a target distance in metres, from the speeds of the last fix steps;
// a standing-start sensor measures once per stop, a flying one every window it completes.
// Best times are whole milliseconds, kept between runs. The history of steps reaches back at most
// five minutes, whatever the rate of fixes, in fixed memory. Updated on the GPS reader thread
// under the model lock.
#pragma once

#include "sensors/Sensor.h"

#include <cstdint>
#include <optional>

namespace movira {

class FastestSensor : public Sensor {
public:
    // The oldest steps kept one by one; later ones only as their sum (see findWindow).
    static constexpr int MaxSteps = 300;
    // The longest history: a target not covered within it is out of reach until the next start.
    static constexpr int64_t MaxHistoryMs = 300'000;
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
    void clearHistory() {
        stepCount_ = 0;
        laterMetres_ = 0.0;
        laterMs_ = 0;
        historyMetres_ = 0.0;
        historyMs_ = 0;
    }
    void appendStep(float metres, int64_t ms);
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
    // The steps after the first MaxSteps, summed; and the whole history's sums.
    double laterMetres_ = 0.0;
    int64_t laterMs_ = 0;
    double historyMetres_ = 0.0;
    int64_t historyMs_ = 0;
    bool armed_ = false;
    const bool standingStart_;
};

}  // namespace movira
