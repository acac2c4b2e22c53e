#include "sensors/DegreesSensor.h"

#include <cmath>

namespace movira {

DegreesSensor::DegreesSensor(const UiText& uiText, std::wstring caption, const wchar_t* positive,
                             const wchar_t* negative)
    : Sensor(uiText, std::move(caption)), positiveSuffix_(positive), negativeSuffix_(negative) {}

void DegreesSensor::show(float degrees) {
    degrees_ = degrees;
    // Infinity or NaN have no minutes and seconds; the parser does not produce them anyway.
    if (degrees == NoValue || !std::isfinite(degrees)) {
        setText(L"N/A");
        return;
    }
    // Whole parts are truncated, never rounded. Done in double and printed with "%.0f" rather than
    // cast to int, so that a nonsense value far outside ±180 cannot overflow; within range the text is
    // the same as "%i" would give. A float's fraction has at most 24 bits, so both products are exact
    // and the minutes and seconds stay below 60.
    const double a = std::fabs(static_cast<double>(degrees));
    const double d = std::trunc(a);
    const double m = (a - d) * 60.0;
    const double mi = std::trunc(m);
    const double s = std::trunc((m - mi) * 60.0);
    // -0.0 compares equal to 0 and so takes the positive suffix.
    setText(L"%.0f\u00B0%.0f'%.0f'' %ls", d, mi, s, degrees >= 0.0f ? positiveSuffix_ : negativeSuffix_);
}

}  // namespace movira
