#include "sensors/DopSensor.h"

namespace movira {
namespace {

const wchar_t* captionOf(DopSensor::Field field) {
    switch (field) {
    case DopSensor::Field::Hdop: return L"HDOP";
    case DopSensor::Field::Vdop: return L"VDOP";
    case DopSensor::Field::Pdop: return L"PDOP";
    }
    return L"";
}

}  // namespace

DopSensor::DopSensor(const UiText& uiText, Field field) : Sensor(uiText, captionOf(field)), field_(field) {}

void DopSensor::update(const GpsFix& fix) {
    float dop = NoValue;
    switch (field_) {
    case Field::Hdop: dop = fix.hdop; break;
    case Field::Vdop: dop = fix.vdop; break;
    case Field::Pdop: dop = fix.pdop; break;
    }
    if (dop == NoValue) {
        setText(L"N/A");
    } else {
        setText(L"%.1f", static_cast<double>(dop));
    }
}

}  // namespace movira
