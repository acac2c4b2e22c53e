// One measurement shown to the user: a caption, a formatted text in the UI language
// and numeric values, recomputed from every completed fix. Sensors live in the model
// and are reached only under its lock (updates on the GPS reader thread, reads on the
// paint thread, reset on the UI thread).
#pragma once

#include "core/GpsFix.h"
#include "core/NoValue.h"
#include "core/UiText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace movira {

class Sensor {
public:
    static constexpr size_t TextSize = 256;  // wide characters, with the terminating zero
    // Longest interval between two fixes that is taken as travel; a longer step, or one
    // back in time (receiver restart, clock step, log replayed twice), starts afresh.
    static constexpr int64_t MaxFixInterval = 3600LL * 10'000'000;  // 100-ns units: one hour

    Sensor(const UiText& uiText, std::wstring caption);
    virtual ~Sensor() = default;
    Sensor(const Sensor&) = delete;
    Sensor& operator=(const Sensor&) = delete;

    virtual bool isPersistent() const { return false; }
    // The value as 8-bit text for the settings file (at most 255 bytes); empty when none.
    virtual std::string saveValue() const { return {}; }
    // Restores a saved value and formats its text; text that is not accepted changes nothing.
    virtual void loadValue(const std::string& text) { (void)text; }

    const wchar_t* text() const { return text_; }
    const wchar_t* caption() const { return caption_.c_str(); }

    virtual void update(const GpsFix& fix) = 0;
    // Back to the initial state; the base only empties the text.
    virtual void reset() { text_[0] = L'\0'; }

    // Index 0 is the main value, 1 a secondary one where the class has it.
    virtual float value(int index) const {
        (void)index;
        return NoValue;
    }
    virtual int intValue(int index) const {
        (void)index;
        return NoValueInt;
    }

    // A fix is usable when it is valid and has a speed.
    static bool isUsable(const GpsFix& fix) { return fix.valid && fix.speed != NoValue; }
    // The fix's local time in 100-ns units; empty when its date is out of range.
    static std::optional<int64_t> fixTime(const GpsFix& fix);
    // Whether the step from `previous` (0: none) to `now` can be taken as travel.
    static bool isTravelStep(int64_t previous, int64_t now) {
        return previous != 0 && now >= previous && now - previous <= MaxFixInterval;
    }

protected:
    const UiText& uiText() const { return uiText_; }
    void setCaption(std::wstring caption) { caption_ = std::move(caption); }
    // printf-style wide formatting into the text; never past its end.
    void setText(const wchar_t* format, ...);
    void clearText() { text_[0] = L'\0'; }
    // Metres below 1 km, "%.2f km" below 10 km, "%.1f km" above.
    void setDistanceText(float km);
    // A best time in seconds with 3, 2, 1 or 0 decimals as it grows.
    void setSecondsText(double seconds);
    void setSpeedText(float kmh) { setText(L"%.1f %ls", static_cast<double>(kmh), uiText_.kmPerHour()); }

    // Parses "first;second" as the settings keep two-part values; empty without ";".
    static std::optional<std::pair<std::string, std::string>> splitPair(const std::string& text);
    static std::string formatValue(const char* format, ...);

private:
    const UiText& uiText_;
    std::wstring caption_;
    wchar_t text_[TextSize] = {};
};

}  // namespace movira
