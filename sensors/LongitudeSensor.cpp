#include "sensors/LongitudeSensor.h"

namespace movira {

LongitudeSensor::LongitudeSensor(const UiText& uiText)
    : DegreesSensor(uiText, uiText.longitude(), L"EL", L"WL") {}

}  // namespace movira
