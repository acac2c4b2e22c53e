#include "sensors/FastestSensor.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace movira {

FastestSensor::FastestSensor(float targetMetres, const UiText& uiText, bool standingStart)
    : Sensor(uiText, std::wstring()), target_(targetMetres), standingStart_(standingStart) {
    buildCaption();
}

void FastestSensor::buildCaption() {
    wchar_t caption[64];
    std::swprintf(caption, sizeof caption / sizeof caption[0], L"%ls %g%ls", uiText().theFastest(),
                  static_cast<double>(target_), uiText().metres());
    setCaption(caption);
}

float FastestSensor::value(int index) const {
    if (index == 0) return static_cast<float>(best_) * 0.001f;
    if (index == 1) return target_;
    return NoValue;
}

std::string FastestSensor::saveValue() const {
    return formatValue("%g;%lld", static_cast<double>(target_), static_cast<long long>(best_));
}

void FastestSensor::loadValue(const std::string& text) {
    const auto parts = splitPair(text);
    if (!parts) return;
    const double target = std::strtod(parts->first.c_str(), nullptr);
    char* end = nullptr;
    const long long best = std::strtoll(parts->second.c_str(), &end, 10);
    if (end == parts->second.c_str() || *end != '\0') return;
    if (!(target > 0.0 && target <= MaxLoadedMetres) || best <= 0 || best > MaxBestMs) return;
    target_ = static_cast<float>(target);
    best_ = best;
    buildCaption();
    setSecondsText(static_cast<double>(best_) * 0.001);
}

std::optional<int64_t> FastestSensor::findWindow(float stepMetres, int64_t stepMs) const {
    // Each step's distance is paired with its own duration: the window is the newest step,
    // the stored steps after the boundary one, and the part of the boundary step needed.
    // Unlike counting the boundary step whole in place of the newest one, this is the time
    // the window took also when the fixes are unevenly spaced.
    float covered = stepMetres;
    int64_t windowMs = stepMs;
    // The history is always shorter than the target, so the window reaches back to its first
    // steps, which are kept one by one; the later ones count as one stretch of even speed.
    if (laterMs_ > 0) {
        const float newer = covered;
        covered += static_cast<float>(laterMetres_);
        if (covered >= target_) {
            const double fraction = laterMetres_ > 0.0 ? (static_cast<double>(target_) - newer) / laterMetres_ : 0.0;
            const double run = static_cast<double>(windowMs) + fraction * static_cast<double>(laterMs_);
            if (!(run >= 1.0 && run <= static_cast<double>(MaxBestMs))) return 0;
            return static_cast<int64_t>(run);
        }
        windowMs += laterMs_;
    }
    for (int i = stepCount_ - 1; i >= 0; --i) {
        const float newer = covered;
        covered += stepMetres_[i];
        if (covered >= target_) {
            // The speed is taken as even inside a step, so its time scales with its distance.
            const double fraction =
                stepMetres_[i] > 0.0f ? (static_cast<double>(target_) - newer) / stepMetres_[i] : 0.0;
            const double run = static_cast<double>(windowMs) + fraction * static_cast<double>(stepMs_[i]);
            // Also refuses the nan and inf that absurd speeds give, before the conversion.
            if (!(run >= 1.0 && run <= static_cast<double>(MaxBestMs))) return 0;
            return static_cast<int64_t>(run);
        }
        windowMs += stepMs_[i];
    }
    return std::nullopt;
}

std::optional<int64_t> FastestSensor::findRunFromStop(float stepMetres, int64_t stepMs) const {
    // A standing start times the whole run from the stop, where the history begins, to the
    // point inside the newest step where the target is reached. The shortest stretch of the
    // target's length at the end of the run would leave out the launch.
    const double before = historyMetres_;
    const int64_t beforeMs = historyMs_;
    if (before + stepMetres < target_) return std::nullopt;
    const double fraction = stepMetres > 0.0f ? (static_cast<double>(target_) - before) / stepMetres : 0.0;
    const double run = static_cast<double>(beforeMs) + std::clamp(fraction, 0.0, 1.0) * static_cast<double>(stepMs);
    if (!(run >= 1.0 && run <= static_cast<double>(MaxBestMs))) return 0;
    return static_cast<int64_t>(run);
}

void FastestSensor::update(const GpsFix& fix) {
    const bool usable = isUsable(fix);
    const auto time = usable ? fixTime(fix) : std::nullopt;
    if (!time) {
        // A dropout abandons the measurement; a fix that cannot be placed in time as well,
        // and the next one starts afresh.
        previousSpeed_ = NoValue;
        if (usable) previousTime_ = 0;
        armed_ = false;
        clearHistory();
        return;
    }
    const bool travel = isTravelStep(previousTime_, *time);
    if (!travel) {
        armed_ = false;
        clearHistory();
    }
    if (fix.speed == 0.0f && standingStart_) {
        armed_ = true;
        clearHistory();
    } else if (travel && previousSpeed_ != NoValue && (armed_ || !standingStart_)) {
        const int64_t stepMs = (*time - previousTime_) / 10'000;
        // Milliseconds: steps of a fraction of a second, or a clock's jitter, cover their distance.
        const float stepMetres =
            (previousSpeed_ + fix.speed) / 2.0f * (static_cast<float>(stepMs) / 1000.0f) * 0.27777778f;
        const auto found = standingStart_ ? findRunFromStop(stepMetres, stepMs) : findWindow(stepMetres, stepMs);
        if (const auto run = found) {
            armed_ = false;
            if (*run > 0 && (best_ <= 0 || *run < best_)) {
                best_ = *run;
                setSecondsText(static_cast<double>(best_) * 0.001);
            }
            // A flying sensor starts its next window with this step.
            clearHistory();
        }
        if (historyMs_ + stepMs <= MaxHistoryMs) {
            appendStep(stepMetres, stepMs);
        } else {
            // The target is out of reach of the history: give up until the next start.
            armed_ = false;
            clearHistory();
        }
    }
    previousTime_ = *time;
    previousSpeed_ = fix.speed;
}

void FastestSensor::appendStep(float metres, int64_t ms) {
    if (stepCount_ < MaxSteps) {
        stepMetres_[stepCount_] = metres;
        stepMs_[stepCount_] = ms;
        ++stepCount_;
    } else {
        laterMetres_ += metres;
        laterMs_ += ms;
    }
    historyMetres_ += metres;
    historyMs_ += ms;
}

void FastestSensor::reset() {
    previousTime_ = 0;
    best_ = 0;
    previousSpeed_ = NoValue;
    clearHistory();
    armed_ = false;
    clearText();
}

}  // namespace movira
