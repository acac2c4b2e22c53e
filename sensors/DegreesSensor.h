// The common part of the latitude and longitude sensors: decimal degrees kept as the value,
// shown as degrees, minutes and seconds with a hemisphere suffix ("55°45'20'' NL").
#pragma once

#include "sensors/Sensor.h"

namespace movira {

class DegreesSensor : public Sensor {
public:
    // Index 0: the last degrees received (negative south or west), NoValue before any.
    float value(int index) const override { return index == 0 ? degrees_ : NoValue; }

protected:
    // The suffixes are static strings: `positive` for 0 and above, `negative` below 0.
    DegreesSensor(const UiText& uiText, std::wstring caption, const wchar_t* positive,
                  const wchar_t* negative);

    // Stores the degrees and formats them; NoValue shows "N/A".
    void show(float degrees);

private:
    const wchar_t* positiveSuffix_;
    const wchar_t* negativeSuffix_;
    float degrees_ = NoValue;
};

}  // namespace movira
