#include "sensors/LatitudeSensor.h"

namespace movira {

LatitudeSensor::LatitudeSensor(const UiText& uiText)
    : DegreesSensor(uiText, uiText.latitude(), L"NL", L"SL") {}

}  // namespace movira
