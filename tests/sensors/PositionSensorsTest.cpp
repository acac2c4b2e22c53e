#include "sensors/AltitudeSensor.h"
#include "sensors/AzimuthSensor.h"
#include "sensors/CurrentTimeSensor.h"
#include "sensors/DopSensor.h"
#include "sensors/GpsStatusSensor.h"
#include "sensors/LatitudeSensor.h"
#include "sensors/LongitudeSensor.h"
#include "sensors/SatellitesUsedSensor.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cwchar>
#include <limits>
#include <string>
#include <vector>

namespace movira {
namespace {

const UiText english(UiText::Language::English);
const UiText russian(UiText::Language::Russian);

std::wstring textAfter(Sensor& sensor, const GpsFix& fix) {
    sensor.update(fix);
    return sensor.text();
}

GpsFix at(float latitude, float longitude) {
    GpsFix fix;
    fix.valid = true;
    fix.latitude = latitude;
    fix.longitude = longitude;
    return fix;
}

TEST(PositionSensorsTest, DegreesMinutesAndTruncatedSeconds) {
    struct Case {
        float degrees;
        const wchar_t* latitude;
        const wchar_t* longitude;
    };
    const Case cases[] = {
        {55.755833f, L"55°45'20'' NL", L"55°45'20'' EL"},
        {-33.5f, L"33°30'0'' SL", L"33°30'0'' WL"},
        {-0.25f, L"0°15'0'' SL", L"0°15'0'' WL"},
        {-122.4194f, L"122°25'9'' SL", L"122°25'9'' WL"},  // 9.85'' truncated, not rounded
        {10.999999f, L"10°59'59'' NL", L"10°59'59'' EL"},  // never 60 minutes or seconds
        {0.0001f, L"0°0'0'' NL", L"0°0'0'' EL"},
        {0.0f, L"0°0'0'' NL", L"0°0'0'' EL"},
        {-0.0f, L"0°0'0'' NL", L"0°0'0'' EL"},  // negative zero is not south or west
        {90.0f, L"90°0'0'' NL", L"90°0'0'' EL"},
        {-90.0f, L"90°0'0'' SL", L"90°0'0'' WL"},
        {180.0f, L"180°0'0'' NL", L"180°0'0'' EL"},
        {-180.0f, L"180°0'0'' SL", L"180°0'0'' WL"},
    };
    LatitudeSensor latitude(english);
    LongitudeSensor longitude(english);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.degrees);
        EXPECT_EQ(textAfter(latitude, at(c.degrees, 0.0f)), c.latitude);
        EXPECT_EQ(textAfter(longitude, at(0.0f, c.degrees)), c.longitude);
        EXPECT_EQ(latitude.value(0), c.degrees);
        EXPECT_EQ(longitude.value(0), c.degrees);
    }
}

TEST(PositionSensorsTest, NoSignalKeepsTheLastDataVisible) {
    GpsStatusSensor status(english);
    SatellitesUsedSensor satellites(english);
    LatitudeSensor latitude(english);
    AltitudeSensor altitude(english);
    std::vector<Sensor*> all{&status, &satellites, &latitude, &altitude};

    GpsFix fix = at(-33.5f, 18.25f);
    fix.altitude = 152.3f;
    fix.satellitesUsed = 7;
    for (Sensor* sensor : all) sensor->update(fix);
    EXPECT_STREQ(status.text(), L"OK");

    // The receiver loses the fix but repeats its last data, as they do.
    fix.valid = false;
    for (Sensor* sensor : all) sensor->update(fix);
    EXPECT_STREQ(status.text(), L"No signal");
    EXPECT_STREQ(satellites.text(), L"7");
    EXPECT_STREQ(latitude.text(), L"33°30'0'' SL");
    EXPECT_STREQ(altitude.text(), L"152.3 m");
    EXPECT_EQ(latitude.value(0), -33.5f);

    GpsStatusSensor russianStatus(russian);
    EXPECT_EQ(textAfter(russianStatus, fix), L"Нет сигнала");
}

TEST(PositionSensorsTest, MissingFieldsShowTheirNoValueText) {
    const GpsFix empty;  // every field NoValue, as before the first sentence with data
    LatitudeSensor latitude(english);
    LongitudeSensor longitude(english);
    AltitudeSensor altitude(english);
    AzimuthSensor azimuth(english);
    for (Sensor* sensor : std::vector<Sensor*>{&latitude, &longitude, &altitude, &azimuth}) {
        EXPECT_STREQ(sensor->text(), L"");  // nothing before the first update
        EXPECT_EQ(textAfter(*sensor, empty), L"N/A") << sensor->caption();
    }
    EXPECT_EQ(latitude.value(0), NoValue);
    EXPECT_EQ(altitude.value(0), NoValue);

    SatellitesUsedSensor satellites(english);
    GpsFix noCount;
    noCount.satellitesUsed = NoValueInt;
    EXPECT_EQ(textAfter(satellites, noCount), L"0");
    EXPECT_EQ(satellites.intValue(0), NoValueInt);
    noCount.satellitesUsed = 0;
    EXPECT_EQ(textAfter(satellites, noCount), L"0");
    EXPECT_EQ(satellites.intValue(0), 0);
}

TEST(PositionSensorsTest, EachDopSensorShowsItsOwnField) {
    GpsFix fix;
    fix.hdop = 0.94f;
    fix.vdop = 1.46f;
    fix.pdop = 12.0f;
    DopSensor hdop(english, DopSensor::Field::Hdop);
    DopSensor vdop(russian, DopSensor::Field::Vdop);
    DopSensor pdop(english, DopSensor::Field::Pdop);
    EXPECT_STREQ(hdop.caption(), L"HDOP");
    EXPECT_STREQ(vdop.caption(), L"VDOP");  // the same in Russian
    EXPECT_STREQ(pdop.caption(), L"PDOP");
    EXPECT_EQ(textAfter(hdop, fix), L"0.9");
    EXPECT_EQ(textAfter(vdop, fix), L"1.5");
    EXPECT_EQ(textAfter(pdop, fix), L"12.0");
    fix.vdop = NoValue;
    EXPECT_EQ(textAfter(vdop, fix), L"N/A");
    EXPECT_EQ(textAfter(hdop, fix), L"0.9");
    EXPECT_EQ(hdop.value(0), NoValue);  // text only
}

TEST(PositionSensorsTest, TimeAzimuthAndAltitudeFormats) {
    CurrentTimeSensor time(english);
    GpsFix fix;  // not valid: the time is shown anyway
    fix.localTime = SystemTime{2024, 3, 0, 9, 7, 5, 9, 500};
    EXPECT_EQ(textAfter(time, fix), L"7:05:09");
    fix.localTime = SystemTime{2024, 3, 0, 9, 23, 59, 59, 999};
    EXPECT_EQ(textAfter(time, fix), L"23:59:59");
    EXPECT_EQ(textAfter(time, GpsFix{}), L"0:00:00");

    AzimuthSensor azimuth(english);
    fix.course = 359.4f;
    EXPECT_EQ(textAfter(azimuth, fix), L"359");
    fix.course = 0.0f;
    EXPECT_EQ(textAfter(azimuth, fix), L"0");

    AltitudeSensor altitude(russian);
    fix.altitude = -27.96f;
    EXPECT_EQ(textAfter(altitude, fix), L"-28.0 м");
    EXPECT_EQ(altitude.value(0), -27.96f);
    EXPECT_EQ(altitude.value(1), NoValue);
}

TEST(PositionSensorsTest, ResetEmptiesTheTextsButKeepsTheValues) {
    SatellitesUsedSensor satellites(english);
    LatitudeSensor latitude(english);
    LongitudeSensor longitude(english);
    AltitudeSensor altitude(english);
    GpsFix fix = at(55.755833f, 37.6173f);
    fix.altitude = 150.0f;
    fix.satellitesUsed = 9;
    for (Sensor* sensor : std::vector<Sensor*>{&satellites, &latitude, &longitude, &altitude}) {
        sensor->update(fix);
        sensor->reset();
        EXPECT_STREQ(sensor->text(), L"");
        EXPECT_FALSE(sensor->isPersistent());
    }
    EXPECT_EQ(satellites.intValue(0), 9);
    EXPECT_EQ(latitude.value(0), 55.755833f);
    EXPECT_EQ(longitude.value(0), 37.6173f);
    EXPECT_EQ(altitude.value(0), 150.0f);
    EXPECT_EQ(textAfter(longitude, fix), L"37°37'2'' EL");  // back at the next fix
}

TEST(PositionSensorsTest, ExtremeNumbersStayInsideTheText) {
    const float extremes[] = {FLT_MAX, -FLT_MAX, 3.4e38f, std::numeric_limits<float>::denorm_min(),
                              std::numeric_limits<float>::infinity()};
    LatitudeSensor latitude(english);
    AltitudeSensor altitude(english);
    AzimuthSensor azimuth(english);
    DopSensor dop(english, DopSensor::Field::Pdop);
    for (const float x : extremes) {
        GpsFix fix = at(x, x);
        fix.altitude = fix.course = fix.pdop = x;
        for (Sensor* sensor : std::vector<Sensor*>{&latitude, &altitude, &azimuth, &dop}) {
            sensor->update(fix);
            const size_t length = std::wcslen(sensor->text());
            EXPECT_GT(length, 0u);
            EXPECT_LT(length, Sensor::TextSize);
        }
    }
    GpsFix fix = at(3.4e38f, 0.0f);
    fix.altitude = 3.4e38f;
    EXPECT_EQ(textAfter(altitude, fix), L"339999995214436424907732413799364296704.0 m");
    EXPECT_EQ(textAfter(latitude, fix), L"339999995214436424907732413799364296704°0'0'' NL");
    // Minutes and seconds of infinity or NaN mean nothing.
    EXPECT_EQ(textAfter(latitude, at(std::nanf(""), 0.0f)), L"N/A");
    EXPECT_EQ(textAfter(latitude, at(-std::numeric_limits<float>::infinity(), 0.0f)), L"N/A");
}

}  // namespace
}  // namespace movira
