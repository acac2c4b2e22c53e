#include "sensors/AccelerationSensor.h"
#include "sensors/AverageSpeedSensor.h"
#include "sensors/DistanceSensor.h"
#include "sensors/ElapsedSensor.h"
#include "sensors/FastestSensor.h"
#include "sensors/GeoDistanceSensor.h"
#include "sensors/MaxSpeedSensor.h"
#include "sensors/SpeedSensor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <initializer_list>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace movira {
namespace {

const UiText English(UiText::Language::English);
const UiText Russian(UiText::Language::Russian);

constexpr int64_t Hour = 3'600'000;     // ms
constexpr int64_t Undated = INT64_MIN;  // a fix whose date cannot be converted
constexpr float Huge = 3.4e38f;

// One fix of a scripted drive: milliseconds after a fixed local time, speed, validity.
struct Fix {
    int64_t ms;
    float kmh;
    bool valid = true;
};

GpsFix makeFix(const Fix& f) {
    GpsFix fix;
    fix.valid = f.valid;
    fix.speed = f.kmh;
    if (f.ms != Undated) {
        const SystemTime base{2024, 5, 3, 15, 10, 0, 0, 0};
        fix.localTime = *SystemTime::fromFileTime(*base.toFileTime() + f.ms * 10'000);
    }
    return fix;
}

void feed(Sensor& sensor, std::initializer_list<Fix> fixes) {
    for (const Fix& f : fixes) sensor.update(makeFix(f));
}

// `count` fixes at a constant speed, `stepMs` apart, the first at `fromMs`.
void cruise(Sensor& sensor, int64_t fromMs, int count, float kmh, int64_t stepMs = 1000) {
    for (int i = 0; i < count; ++i) sensor.update(makeFix({fromMs + i * stepMs, kmh}));
}

// A text that is not accepted leaves the sensor as it was.
void expectLoadIgnored(Sensor& sensor, std::initializer_list<const char*> texts) {
    const std::string saved = sensor.saveValue();
    const std::wstring caption = sensor.caption();
    for (const char* text : texts) {
        sensor.loadValue(text);
        EXPECT_EQ(sensor.saveValue(), saved) << '"' << text << '"';
        EXPECT_STREQ(sensor.text(), L"") << '"' << text << '"';
        EXPECT_EQ(sensor.caption(), caption) << '"' << text << '"';
    }
}

bool fitsBuffer(const Sensor& sensor) { return std::wcslen(sensor.text()) < Sensor::TextSize; }

// Every motion sensor as the set creates some of them.
std::vector<std::unique_ptr<Sensor>> allMotionSensors() {
    std::vector<std::unique_ptr<Sensor>> sensors;
    sensors.push_back(std::make_unique<SpeedSensor>(English));
    sensors.push_back(std::make_unique<MaxSpeedSensor>(English));
    sensors.push_back(std::make_unique<DistanceSensor>(English));
    sensors.push_back(std::make_unique<GeoDistanceSensor>(English));
    sensors.push_back(std::make_unique<ElapsedSensor>(English));
    sensors.push_back(std::make_unique<AverageSpeedSensor>(English));
    sensors.push_back(std::make_unique<AccelerationSensor>(10.0f, English));
    sensors.push_back(std::make_unique<FastestSensor>(100.0f, English, true));
    sensors.push_back(std::make_unique<FastestSensor>(500.0f, English, false));
    return sensors;
}

TEST(MotionSensors, FirstFixShowsOnlySpeedAndMaximum) {
    auto sensors = allMotionSensors();
    GpsFix fix = makeFix({0, 36.0f});
    fix.latitude = 55.0f;
    fix.longitude = 37.0f;
    fix.altitude = 150.0f;
    for (auto& sensor : sensors) sensor->update(fix);
    EXPECT_STREQ(sensors[0]->text(), L"36.0 km/h");
    EXPECT_STREQ(sensors[1]->text(), L"36.0 km/h");
    for (size_t i = 2; i < sensors.size(); ++i) EXPECT_STREQ(sensors[i]->text(), L"") << i;
}

TEST(MotionSensors, ResetEmptiesEveryText) {
    auto sensors = allMotionSensors();
    for (int i = 0; i <= 60; ++i) {
        GpsFix fix = makeFix({i * 1000, i == 0 ? 0.0f : 36.0f});
        fix.latitude = 55.0f + i * 0.001f;
        fix.longitude = 37.0f;
        fix.altitude = 150.0f;
        for (auto& sensor : sensors) sensor->update(fix);
    }
    for (size_t i = 0; i < sensors.size(); ++i) EXPECT_STRNE(sensors[i]->text(), L"") << i;
    for (auto& sensor : sensors) sensor->reset();
    for (auto& sensor : sensors) EXPECT_STREQ(sensor->text(), L"");
    EXPECT_EQ(sensors[5]->value(0), NoValue);
}

TEST(MotionSensors, AbsurdSpeedsKeepTextsInTheirBuffers) {
    auto sensors = allMotionSensors();
    int64_t ms = 0;
    for (float kmh : {0.0f, Huge, Huge, std::numeric_limits<float>::infinity(), Huge}) {
        for (auto& sensor : sensors) {
            sensor->update(makeFix({ms, kmh}));
            EXPECT_TRUE(fitsBuffer(*sensor));
        }
        ms += 1000;
    }
}

TEST(SpeedSensor, ShowsOnlyUsableFixes) {
    SpeedSensor sensor(English);
    EXPECT_STREQ(sensor.caption(), L"Speed");
    feed(sensor, {{0, 42.26f}});
    EXPECT_STREQ(sensor.text(), L"42.3 km/h");
    feed(sensor, {{1000, 50.0f, false}});
    EXPECT_STREQ(sensor.text(), L"");
    EXPECT_EQ(sensor.value(0), 50.0f);  // kept even from an invalid fix
    feed(sensor, {{2000, NoValue}});
    EXPECT_STREQ(sensor.text(), L"");
    EXPECT_EQ(sensor.value(0), NoValue);

    SpeedSensor russian(Russian);
    feed(russian, {{0, 36.0f}});
    EXPECT_STREQ(russian.caption(), L"Скорость");
    EXPECT_STREQ(russian.text(), L"36.0 км/ч");
    russian.reset();
    EXPECT_STREQ(russian.text(), L"");
    EXPECT_EQ(russian.value(0), 36.0f);
    EXPECT_FALSE(russian.isPersistent());
}

TEST(MaxSpeedSensor, RisesFromAnyReportedSpeed) {
    MaxSpeedSensor sensor(English);
    feed(sensor, {{0, 30.0f}, {1000, 20.0f}, {2000, NoValue}});
    EXPECT_EQ(sensor.value(0), 30.0f);
    feed(sensor, {{3000, 50.0f, false}});  // validity is not consulted
    EXPECT_EQ(sensor.value(0), 50.0f);
    EXPECT_STREQ(sensor.text(), L"50.0 km/h");

    sensor.reset();
    EXPECT_EQ(sensor.value(0), NoValue);
    EXPECT_STREQ(sensor.text(), L"");
    feed(sensor, {{4000, 5.0f}});
    EXPECT_EQ(sensor.value(0), 5.0f);
}

TEST(MaxSpeedSensor, SavesAndLoads) {
    MaxSpeedSensor sensor(English);
    expectLoadIgnored(sensor, {"", "abc", "-5", "0", "inf", "-inf", "nan", "1e999", "2000.5"});
    EXPECT_EQ(sensor.value(0), NoValue);

    feed(sensor, {{0, 87.5f}});
    MaxSpeedSensor restored(English);
    restored.loadValue(sensor.saveValue());
    EXPECT_EQ(restored.value(0), 87.5f);
    EXPECT_STREQ(restored.text(), L"87.5 km/h");

    MaxSpeedSensor russian(Russian);
    russian.loadValue("2000");
    EXPECT_STREQ(russian.caption(), L"Максимальная скорость");
    EXPECT_STREQ(russian.text(), L"2000.0 км/ч");
}

TEST(DistanceSensor, IntegratesReportedSpeed) {
    DistanceSensor sensor(English);
    feed(sensor, {{0, 36.0f}});
    EXPECT_EQ(sensor.value(0), 0.0f);
    EXPECT_STREQ(sensor.text(), L"");
    for (int i = 1; i <= 50; ++i) {
        feed(sensor, {{i * 1000, 36.0f}});
        EXPECT_NEAR(sensor.value(0), i * 0.01, 1e-5);
    }
    EXPECT_STREQ(sensor.text(), L"500 m");

    // An invalid fix adds nothing and the next usable fix only starts a new step.
    feed(sensor, {{51'000, 36.0f, false}, {52'000, 36.0f}});
    EXPECT_NEAR(sensor.value(0), 0.5, 1e-5);
    feed(sensor, {{53'000, 36.0f}});
    EXPECT_NEAR(sensor.value(0), 0.51, 1e-5);

    sensor.reset();
    EXPECT_EQ(sensor.value(0), 0.0f);
    EXPECT_STREQ(sensor.text(), L"");
    feed(sensor, {{54'000, 36.0f}});  // no step from before the reset
    EXPECT_EQ(sensor.value(0), 0.0f);
}

// Fix times that go back, jump or cannot be converted start afresh; an hour still counts.
struct TimeCase {
    const char* name;
    std::vector<Fix> fixes;
    double km;  // what the distance sensor adds up at 36 km/h
};

const TimeCase TimeCases[] = {
    {"back", {{0, 36}, {10'000, 36}, {5'000, 36}, {6'000, 36}}, 0.110},
    {"jump", {{0, 36}, {10'000, 36}, {10'000 + Hour + 1, 36}, {11'000 + Hour + 1, 36}}, 0.110},
    {"hour", {{0, 36}, {Hour, 36}}, 36.0},
    {"undated", {{0, 36}, {10'000, 36}, {Undated, 36}, {11'000, 36}, {12'000, 36}}, 0.110},
};

TEST(DistanceSensor, StartsAfreshWhenTimeMisbehaves) {
    for (const TimeCase& c : TimeCases) {
        DistanceSensor sensor(English);
        for (const Fix& f : c.fixes) sensor.update(makeFix(f));
        EXPECT_NEAR(sensor.value(0), c.km, 1e-4) << c.name;
    }
}

TEST(DistanceSensor, FormatsMetresThenKilometres) {
    const struct {
        const char* saved;
        const wchar_t* english;
    } cases[] = {{"0.5", L"500 m"}, {"0.9994", L"999 m"}, {"1", L"1.00 km"}, {"5", L"5.00 km"},
                 {"9.99", L"9.99 km"}, {"10", L"10.0 km"}, {"12.34", L"12.3 km"}, {"1e8", L"100000000.0 km"}};
    for (const auto& c : cases) {
        DistanceSensor sensor(English);
        sensor.loadValue(c.saved);
        EXPECT_STREQ(sensor.text(), c.english) << c.saved;
        DistanceSensor restored(English);
        restored.loadValue(sensor.saveValue());
        EXPECT_EQ(restored.value(0), sensor.value(0)) << c.saved;
    }
    DistanceSensor russian(Russian);
    russian.loadValue("0.5");
    EXPECT_STREQ(russian.caption(), L"Пройденный путь");
    EXPECT_STREQ(russian.text(), L"500 м");
}

TEST(DistanceSensor, IgnoresBadSavedValues) {
    DistanceSensor sensor(English);
    expectLoadIgnored(sensor, {"", "abc", "-5", "0", "inf", "nan", "1e999", "100000001"});
    feed(sensor, {{0, Huge}, {1000, Huge}});
    DistanceSensor restored(English);
    restored.loadValue(sensor.saveValue());  // an infinite distance is not taken back
    EXPECT_EQ(restored.value(0), 0.0f);
}

// Straight line between two points of the same ellipsoid, in double precision throughout.
double chordKm(double lat1, double lon1, double lat2, double lon2) {
    const auto ecef = [](double lat, double lon, double out[3]) {
        const double a = 6378136.0, e2 = 0.0066943662, rad = std::numbers::pi / 180.0;
        const double n = a / std::sqrt(1.0 - e2 * std::sin(lat * rad) * std::sin(lat * rad));
        out[0] = n * std::cos(lat * rad) * std::cos(lon * rad);
        out[1] = n * std::cos(lat * rad) * std::sin(lon * rad);
        out[2] = (1.0 - e2) * n * std::sin(lat * rad);
    };
    double p[3], q[3];
    ecef(lat1, lon1, p);
    ecef(lat2, lon2, q);
    return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]) / 1000.0;
}

double haversineKm(double lat1, double lon1, double lat2, double lon2) {
    const double rad = std::numbers::pi / 180.0, r = 6371.0088;
    const double dLat = std::sin((lat2 - lat1) * rad / 2), dLon = std::sin((lon2 - lon1) * rad / 2);
    const double h = dLat * dLat + std::cos(lat1 * rad) * std::cos(lat2 * rad) * dLon * dLon;
    return 2 * r * std::asin(std::sqrt(h));
}

GpsFix positionFix(float latitude, float longitude, float altitude = 0.0f, bool valid = true) {
    GpsFix fix;
    fix.valid = valid;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.altitude = altitude;
    return fix;  // no speed and no date: this sensor needs neither
}

TEST(GeoDistanceSensor, MeasuresDueNorthAndDueEast) {
    const struct {
        float lat1, lon1, lat2, lon2;
    } cases[] = {{0, 30, 1, 30}, {-0.5f, 30, 0.5f, 30}, {0, 30, 0, 31}, {55, 37, 56, 37}};
    for (const auto& c : cases) {
        GeoDistanceSensor sensor(English);
        sensor.update(positionFix(c.lat1, c.lon1));
        EXPECT_STREQ(sensor.text(), L"");
        sensor.update(positionFix(c.lat2, c.lon2));
        const double km = sensor.value(0);
        EXPECT_NEAR(km, chordKm(c.lat1, c.lon1, c.lat2, c.lon2), 0.01) << c.lat1 << ' ' << c.lon1;
        EXPECT_NEAR(km, haversineKm(c.lat1, c.lon1, c.lat2, c.lon2), 1.0) << c.lat1 << ' ' << c.lon1;
    }
}

TEST(GeoDistanceSensor, SumsSmallStepsAndSkipsFixesWithoutPosition) {
    GeoDistanceSensor sensor(English);
    for (int i = 0; i <= 100; ++i) {
        sensor.update(positionFix(i * 0.01f, 30.0f, 120.0f));
        sensor.update(positionFix(45.0f, 30.0f, 120.0f, false));  // invalid: ignored
        GpsFix noAltitude = positionFix(45.0f, 30.0f);
        noAltitude.altitude = NoValue;
        sensor.update(noAltitude);
    }
    EXPECT_NEAR(sensor.value(0), chordKm(0, 30, 1, 30), 0.1);
    EXPECT_STREQ(sensor.text(), L"110.6 km");

    GeoDistanceSensor restored(English);
    restored.loadValue(sensor.saveValue());  // six significant digits
    EXPECT_NEAR(restored.value(0), sensor.value(0), 1e-3);
    EXPECT_STREQ(restored.text(), L"110.6 km");
}

TEST(GeoDistanceSensor, ResetsAndLoads) {
    GeoDistanceSensor sensor(English);
    EXPECT_STREQ(sensor.caption(), L"Distance ex");
    sensor.update(positionFix(0, 30));
    sensor.update(positionFix(0.001f, 30));
    sensor.reset();
    EXPECT_EQ(sensor.value(0), 0.0f);
    EXPECT_STREQ(sensor.text(), L"");
    sensor.update(positionFix(1, 30));  // no step from before the reset
    EXPECT_EQ(sensor.value(0), 0.0f);
    expectLoadIgnored(sensor, {"", "abc", "-5", "0", "inf", "nan", "1e999", "100000001"});

    GeoDistanceSensor russian(Russian);
    russian.loadValue("5");
    EXPECT_STREQ(russian.caption(), L"Пройденный путь ex");
    EXPECT_STREQ(russian.text(), L"5.00 км");
}

TEST(ElapsedSensor, FormatsSecondsMinutesHoursDays) {
    const struct {
        const char* saved;
        const wchar_t* english;
        const wchar_t* russian;
    } cases[] = {{"1", L"1 s", L"1 с"},           {"59", L"59 s", L"59 с"},
                 {"60", L"1:00", L"1:00"},         {"3599", L"59:59", L"59:59"},
                 {"3600", L"1:00:00", L"1:00:00"}, {"86399", L"23:59:59", L"23:59:59"},
                 {"86400", L"1days0:0:0", L"1дней0:0:0"}, {"90061", L"1days1:1:1", L"1дней1:1:1"},
                 {"3155760000", L"36525days0:0:0", L"36525дней0:0:0"}};
    for (const auto& c : cases) {
        ElapsedSensor english(English), russian(Russian);
        english.loadValue(c.saved);
        russian.loadValue(c.saved);
        EXPECT_STREQ(english.text(), c.english);
        EXPECT_STREQ(russian.text(), c.russian);
        EXPECT_EQ(english.saveValue(), c.saved);
    }
    EXPECT_STREQ(ElapsedSensor(Russian).caption(), L"Время в пути");
}

TEST(ElapsedSensor, CountsTimeWithUsableFixes) {
    const struct {
        const char* name;
        std::vector<Fix> fixes;
        const wchar_t* text;
    } cases[] = {
        {"first fix", {{0, 0}}, L""},
        {"standing counts", {{0, 0}, {1000, 0}, {2000, 0}}, L"2 s"},
        {"gap bridged", {{0, 5}, {10'000, 5, false}, {600'000, 5}}, L"10:00"},
        {"hour bridged", {{0, 5}, {Hour, 5}}, L"1:00:00"},
        {"longer gap", {{0, 5}, {10'000, 5}, {10'000 + Hour + 1, 5}, {15'000 + Hour + 1, 5}}, L"15 s"},
        {"back", {{0, 5}, {100'000, 5}, {50'000, 5}, {60'000, 5}}, L"1:50"},
        {"undated", {{0, 5}, {10'000, 5}, {Undated, 5}, {20'000, 5}, {25'000, 5}}, L"15 s"},
    };
    for (const auto& c : cases) {
        ElapsedSensor sensor(English);
        for (const Fix& f : c.fixes) sensor.update(makeFix(f));
        EXPECT_STREQ(sensor.text(), c.text) << c.name;
    }
}

TEST(ElapsedSensor, ResetsAndIgnoresBadSavedValues) {
    ElapsedSensor sensor(English);
    expectLoadIgnored(sensor, {"", "abc", "-5", "0", "inf", "nan", "1e999", "2.5", "5;", "3155760001",
                               "99999999999999999999"});
    cruise(sensor, 0, 3, 10.0f);
    sensor.reset();
    EXPECT_STREQ(sensor.text(), L"");
    EXPECT_EQ(sensor.saveValue(), "0");
    cruise(sensor, 5000, 1, 10.0f);  // no step from before the reset
    EXPECT_STREQ(sensor.text(), L"");
}

TEST(AverageSpeedSensor, AveragesOverCountedTime) {
    AverageSpeedSensor sensor(English);
    feed(sensor, {{0, 0}, {1000, 36}});
    EXPECT_FLOAT_EQ(sensor.value(0), 18.0f);
    EXPECT_STREQ(sensor.text(), L"18.00 km/h");
    feed(sensor, {{2000, 36}});
    EXPECT_FLOAT_EQ(sensor.value(0), 27.0f);
    EXPECT_FLOAT_EQ(sensor.value(1), 0.015f);

    // An invalid fix breaks the pairing of speeds.
    feed(sensor, {{3000, 100, false}, {4000, 36}});
    EXPECT_FLOAT_EQ(sensor.value(1), 0.015f);

    AverageSpeedSensor restored(English);
    restored.loadValue(sensor.saveValue());
    EXPECT_EQ(sensor.saveValue(), "0.015;2");
    EXPECT_FLOAT_EQ(restored.value(0), 27.0f);
    EXPECT_STREQ(restored.text(), L"27.00 km/h");

    sensor.reset();
    EXPECT_EQ(sensor.value(0), NoValue);
    EXPECT_EQ(sensor.value(1), 0.0f);
    EXPECT_STREQ(sensor.text(), L"");
}

TEST(AverageSpeedSensor, HasNoAverageBeforeAWholeSecond) {
    // Two fixes of the same moment count no time: no average rather than 0/0. A fraction of a
    // second counts.
    AverageSpeedSensor sensor(English);
    feed(sensor, {{0, 36}, {0, 36}});
    EXPECT_EQ(sensor.value(0), NoValue);
    EXPECT_STREQ(sensor.text(), L"");
    feed(sensor, {{500, 36}});
    EXPECT_FLOAT_EQ(sensor.value(0), 36.0f);
}

TEST(AverageSpeedSensor, StartsAfreshWhenTimeMisbehaves) {
    for (const TimeCase& c : TimeCases) {
        AverageSpeedSensor sensor(English);
        for (const Fix& f : c.fixes) sensor.update(makeFix(f));
        EXPECT_NEAR(sensor.value(1), c.km, 1e-4) << c.name;
        EXPECT_FLOAT_EQ(sensor.value(0), 36.0f) << c.name;
    }
}

TEST(AverageSpeedSensor, LoadsOnlySanePairs) {
    AverageSpeedSensor sensor(English);
    expectLoadIgnored(sensor, {"", "1", "1;", ";100", "abc;def", "0;100", "1;0", "-1;100", "1;-100",
                               "inf;100", "nan;100", "1e999;100", "1;2.5", "1;1e999", "1000;1",
                               "100000001;3155760000", "1;3155760001"});
    EXPECT_EQ(sensor.value(0), NoValue);
    sensor.loadValue("1;100");
    EXPECT_FLOAT_EQ(sensor.value(0), 36.0f);
    EXPECT_FLOAT_EQ(sensor.value(1), 1.0f);
    EXPECT_STREQ(sensor.text(), L"36.00 km/h");

    AverageSpeedSensor russian(Russian);
    russian.loadValue("1;100");
    EXPECT_STREQ(russian.caption(), L"Средняя скорость");
    EXPECT_STREQ(russian.text(), L"36.00 км/ч");
}

TEST(AccelerationSensor, TimesTheRunFromTheLastStop) {
    const float none = NoValue;
    const struct {
        const char* name;
        std::vector<Fix> fixes;
        float seconds;
    } cases[] = {
        {"0-8-12", {{0, 0}, {1000, 8}, {2000, 12}}, 1.5f},
        {"creeping counts as standing", {{0, 0}, {1000, 0.9f}, {2000, 8}, {3000, 12}}, 1.5f},
        {"rolling start", {{0, 5}, {1000, 12}}, none},
        {"dropout keeps the run", {{0, 0}, {1000, 8}, {1500, 20, false}, {2000, 12}}, 1.5f},
        {"1000 s from the stop", {{0, 0}, {500'000, 5}, {1'000'000, 5}, {1'001'000, 12}}, 1000.7142857f},
        {"over 1000 s from the stop", {{0, 0}, {500'000, 5}, {1'000'001, 5}, {1'002'000, 12}}, none},
        {"last step over 1000 s", {{0, 0}, {1000, 5}, {1'002'001, 12}}, none},
        {"back", {{0, 0}, {1000, 8}, {500, 8}, {1500, 12}}, none},
        {"back onto a stop", {{10'000, 0}, {5000, 0}, {6000, 8}, {7000, 12}}, 1.5f},
        {"jump", {{0, 0}, {1000, 8}, {2000 + Hour, 12}}, none},
        {"undated", {{0, 0}, {1000, 8}, {Undated, 9}, {2000, 12}}, none},
        {"best is kept", {{0, 0}, {1000, 8}, {2000, 12}, {3000, 0}, {4000, 4}, {5000, 12}}, 1.5f},
        {"better replaces", {{0, 0}, {1000, 4}, {2000, 12}, {3000, 0}, {4000, 10}}, 1.0f},
    };
    for (const auto& c : cases) {
        AccelerationSensor sensor(10.0f, English);
        for (const Fix& f : c.fixes) sensor.update(makeFix(f));
        EXPECT_FLOAT_EQ(sensor.value(0), c.seconds) << c.name;
        EXPECT_EQ(sensor.value(1), 10.0f);
    }
}

TEST(AccelerationSensor, FormatsAndRestoresTheBestTime) {
    AccelerationSensor sensor(10.0f, English);
    EXPECT_STREQ(sensor.caption(), L"Accel. 0-10 km/h");
    feed(sensor, {{0, 0}, {1000, 8}, {2000, 12}});
    EXPECT_STREQ(sensor.text(), L"1.500 s");

    AccelerationSensor restored(100.0f, English);
    restored.loadValue(sensor.saveValue());
    EXPECT_STREQ(restored.caption(), L"Accel. 0-10 km/h");
    EXPECT_EQ(restored.value(1), 10.0f);
    EXPECT_STREQ(restored.text(), L"1.500 s");

    const struct {
        const char* saved;
        const wchar_t* text;
    } cases[] = {{"60;9.8765", L"9.877 s"}, {"60;10", L"10.00 s"}, {"60;99.5", L"99.50 s"},
                 {"60;100", L"100.0 s"},    {"60;1000", L"1000 s"}};
    for (const auto& c : cases) {
        restored.loadValue(c.saved);
        EXPECT_STREQ(restored.text(), c.text) << c.saved;
        EXPECT_STREQ(restored.caption(), L"Accel. 0-60 km/h");
    }

    sensor.reset();
    EXPECT_EQ(sensor.value(0), NoValue);
    EXPECT_STREQ(sensor.text(), L"");
    EXPECT_STREQ(sensor.caption(), L"Accel. 0-10 km/h");
    feed(sensor, {{3000, 8}, {4000, 12}});  // the stop before the reset is forgotten
    EXPECT_EQ(sensor.value(0), NoValue);

    AccelerationSensor russian(100.0f, Russian);
    EXPECT_STREQ(russian.caption(), L"Разгон 0-100 км/ч");
    russian.loadValue("100;7.25");
    EXPECT_STREQ(russian.text(), L"7.250 с");
}

TEST(AccelerationSensor, IgnoresBadSavedValues) {
    AccelerationSensor sensor(100.0f, English);
    expectLoadIgnored(sensor, {"", "100", "100;", ";5", "abc;def", "0;5", "100;0", "-100;5", "100;-5",
                               "inf;5", "100;nan", "1e999;5", "2001;5", "100;2000.5"});
    EXPECT_EQ(sensor.value(0), NoValue);
}

// ---- Any rate of fixes ---------------------------------------------------------------------

// A drive of 10 minutes: a standing start to 72 km/h over 20 s, then steady; fixes `stepMs` apart,
// each late by up to `jitterMs` (a device clock that stands in for the receiver's).
std::vector<Fix> drive(int64_t stepMs, int64_t jitterMs) {
    std::vector<Fix> fixes;
    for (int64_t t = 0, i = 0; t <= 600'000; t += stepMs, ++i) {
        const float kmh = t < 20'000 ? 72.0f * static_cast<float>(t) / 20'000.0f : 72.0f;
        fixes.push_back({t + (i % 7) * jitterMs / 6, kmh});
    }
    return fixes;
}

TEST(MotionSensors, EveryRateGivesTheSameTotals) {
    struct Case {
        const char* name;
        int64_t stepMs, jitterMs;
    };
    const std::vector<Case> cases = {{"1 Hz", 1000, 0},     {"5 Hz", 200, 0},
                                     {"10 Hz", 100, 0},     {"25 Hz", 40, 0},
                                     {"1 Hz, jitter", 1000, 6}, {"10 Hz, jitter", 100, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DistanceSensor distance(English);
        ElapsedSensor elapsed(English);
        AverageSpeedSensor average(English);
        FastestSensor kilometre(1000.0f, English, false), hundred(100.0f, English, true);
        AccelerationSensor to50(50.0f, English);
        for (const Fix& f : drive(c.stepMs, c.jitterMs)) {
            for (Sensor* sensor : std::initializer_list<Sensor*>{&distance, &elapsed, &average, &kilometre, &hundred, &to50}) {
                sensor->update(makeFix(f));
            }
        }
        // 200 m in the launch, then 580 s at 20 m/s; the last step's share is what may differ.
        const double km = 0.2 + 11.6;
        const double step = 72.0 * static_cast<double>(c.stepMs) / 3'600'000.0;
        EXPECT_NEAR(distance.value(0), km, step + 1e-4);
        EXPECT_NEAR(average.value(1), km, step + 1e-4);
        EXPECT_STREQ(elapsed.text(), L"10:00");
        EXPECT_NEAR(average.value(0), km / (600.0 / 3600.0), 72.0 * (step + 1e-4) / km);
        // 1000 m at 72 km/h take 50 s; 100 m from the stop at 1 m/s² sqrt(200) s; 0-50 km/h 13.89 s,
        // timed from the last fix below 1 km/h, which comes up to 0.28 s after the start.
        EXPECT_NEAR(kilometre.value(0), 50.0, 0.01);
        EXPECT_NEAR(hundred.value(0), std::sqrt(200.0), 0.01);
        EXPECT_NEAR(to50.value(0), 50.0 / 72.0 * 20.0 - 0.14, 0.15);
    }
}

TEST(FastestSensor, HistoryReachesBackFiveMinutesWhateverTheRate) {
    // 10 km at 36 km/h take 1000 s, beyond the history: never found. At 180 km/h 200 s: found at
    // any rate, from 200 steps at 1 Hz to 5000 at 25 Hz, in the same small memory.
    for (const int64_t stepMs : {int64_t{1000}, int64_t{100}, int64_t{40}}) {
        SCOPED_TRACE(stepMs);
        FastestSensor slow(10000.0f, English, false), fast(10000.0f, English, false);
        cruise(slow, 0, static_cast<int>(1'500'000 / stepMs), 36.0f, stepMs);
        EXPECT_STREQ(slow.text(), L"");
        cruise(fast, 0, static_cast<int>(250'000 / stepMs), 180.0f, stepMs);
        EXPECT_NEAR(fast.value(0), 200.0, 0.01);
    }
    EXPECT_LT(sizeof(FastestSensor), 8192u);
}

TEST(FastestSensor, FlyingFindsConsecutiveWindows) {
    FastestSensor sensor(500.0f, English, false);
    EXPECT_STREQ(sensor.caption(), L"The fastest 500m");
    cruise(sensor, 0, 50, 36.0f);  // 49 steps of 10 m
    EXPECT_STREQ(sensor.text(), L"");
    EXPECT_EQ(sensor.value(0), 0.0f);
    cruise(sensor, 50'000, 1, 36.0f);
    EXPECT_STREQ(sensor.text(), L"50.00 s");
    EXPECT_FLOAT_EQ(sensor.value(0), 50.0f);
    EXPECT_EQ(sensor.value(1), 500.0f);

    // 100 m: a window at 36 km/h, then faster windows that start with the step that ended the last one.
    FastestSensor hundred(100.0f, English, false);
    cruise(hundred, 0, 11, 36.0f);
    EXPECT_STREQ(hundred.text(), L"10.00 s");
    cruise(hundred, 11'000, 5, 72.0f);  // steps of 15, 20, 20, 20, 20 m after the 10 m one
    EXPECT_STREQ(hundred.text(), L"5.500 s");
    cruise(hundred, 16'000, 3, 72.0f);
    EXPECT_STREQ(hundred.text(), L"5.500 s");
    cruise(hundred, 19'000, 1, 72.0f);  // 20 m carried over and four more
    EXPECT_STREQ(hundred.text(), L"5.000 s");
}

TEST(FastestSensor, PairsEachStepWithItsOwnDuration) {
    // Steps of 2 s and 1 s at 36 km/h: 20 m and 10 m. The 85 m window ends 9 s after the start and
    // begins 0.5 s into the first step: 8.5 s, as 85 m at 10 m/s takes.
    FastestSensor sensor(85.0f, English, false);
    feed(sensor, {{0, 36}, {2000, 36}, {3000, 36}, {5000, 36}, {6000, 36}, {8000, 36}});
    EXPECT_STREQ(sensor.text(), L"");
    feed(sensor, {{9000, 36}});
    EXPECT_FLOAT_EQ(sensor.value(0), 8.5f);
    EXPECT_EQ(sensor.saveValue(), "85;8500");
}

TEST(FastestSensor, StandingStartMeasuresOncePerStop) {
    FastestSensor sensor(100.0f, English, true);
    cruise(sensor, 0, 100, 36.0f);
    EXPECT_STREQ(sensor.text(), L"");

    // From the stop: 5 m, then 10 m a second. 95 m after 10 s, 100 m half way through the
    // eleventh second: the run from the stop, launch included, not the last 100 m (10 s).
    cruise(sensor, 100'000, 1, 0.0f);
    cruise(sensor, 101'000, 10, 36.0f);
    EXPECT_STREQ(sensor.text(), L"");
    cruise(sensor, 111'000, 1, 36.0f);
    EXPECT_STREQ(sensor.text(), L"10.50 s");
    cruise(sensor, 112'000, 30, 72.0f);  // faster, but not from a stop
    EXPECT_STREQ(sensor.text(), L"10.50 s");

    // 10 m, then 20 m a second: 90 m after 5 s, 100 m half way through the sixth.
    cruise(sensor, 142'000, 1, 0.0f);
    cruise(sensor, 143'000, 6, 72.0f);
    EXPECT_STREQ(sensor.text(), L"5.500 s");

    // Only a speed of exactly 0 arms; a dropout disarms until the next stop.
    FastestSensor creeping(100.0f, English, true), dropped(100.0f, English, true);
    feed(creeping, {{0, 0.5f}});
    cruise(creeping, 1000, 30, 36.0f);
    EXPECT_STREQ(creeping.text(), L"");
    feed(dropped, {{0, 0}, {1000, 36}, {2000, 36, false}});
    cruise(dropped, 3000, 30, 36.0f);
    EXPECT_STREQ(dropped.text(), L"");
}

TEST(FastestSensor, GivesUpWhenTheHistoryOverflows) {
    // From a stop at 36 km/h: 5 m, then 10 m steps. 3005 m takes 301 steps, all 300 stored
    // ones and the new one; 3010 m one more, so the history overflows at step 301. A flying
    // sensor then starts over and covers 3010 m with the 301 steps that end at step 601.
    const struct {
        float target;
        bool standingStart;
        const wchar_t* text;
    } cases[] = {{3005.0f, true, L"301.0 s"}, {3010.0f, true, L""}, {3010.0f, false, L"301.0 s"}};
    for (const auto& c : cases) {
        FastestSensor sensor(c.target, English, c.standingStart);
        cruise(sensor, 0, 1, 0.0f);
        cruise(sensor, 1000, 700, 36.0f);
        EXPECT_STREQ(sensor.text(), c.text) << c.target << ' ' << c.standingStart;
    }
}

TEST(FastestSensor, StartsAfreshWhenTimeMisbehaves) {
    // After the script, steady 10 m steps: the 50 m window must be built from them alone.
    const struct {
        const char* name;
        bool standingStart;
        std::vector<Fix> fixes;
        int quietSteps;
        const wchar_t* text;
    } cases[] = {
        {"back", false, {{0, 36}, {1000, 36}, {2000, 36}, {3000, 36}, {1500, 36}}, 4, L"5.000 s"},
        {"jump", false, {{0, 36}, {1000, 36}, {2000 + Hour, 36}}, 4, L"5.000 s"},
        {"undated", false, {{0, 36}, {1000, 36}, {Undated, 36}, {2000, 36}}, 4, L"5.000 s"},
        // 5 m from the stop, then 10 m steps.
        {"jump onto a stop re-arms", true, {{0, 0}, {1000, 36}, {2 * Hour, 0}}, 5, L"5.500 s"},
        {"jump while moving disarms", true, {{0, 0}, {1000, 36}, {2 * Hour, 36}}, 5, L""},
    };
    for (const auto& c : cases) {
        FastestSensor sensor(50.0f, English, c.standingStart);
        for (const Fix& f : c.fixes) sensor.update(makeFix(f));
        const int64_t last = c.fixes.back().ms;
        cruise(sensor, last + 1000, c.quietSteps, 36.0f);
        EXPECT_STREQ(sensor.text(), L"") << c.name;
        cruise(sensor, last + 1000 * (c.quietSteps + 1), 1, 36.0f);
        EXPECT_STREQ(sensor.text(), c.text) << c.name;
    }
}

TEST(FastestSensor, ResetsSavesAndLoads) {
    FastestSensor sensor(50.0f, English, false);
    cruise(sensor, 0, 5, 36.0f);
    sensor.reset();
    cruise(sensor, 5000, 2, 36.0f);  // would complete the window with the old history
    EXPECT_STREQ(sensor.text(), L"");
    EXPECT_EQ(sensor.value(0), 0.0f);
    EXPECT_EQ(sensor.saveValue(), "50;0");

    FastestSensor loaded(100.0f, English, false);
    loaded.loadValue("500;49999");
    EXPECT_STREQ(loaded.caption(), L"The fastest 500m");
    EXPECT_FLOAT_EQ(loaded.value(0), 49.999f);
    EXPECT_EQ(loaded.value(1), 500.0f);
    EXPECT_STREQ(loaded.text(), L"50.00 s");
    FastestSensor restored(100.0f, English, false);
    restored.loadValue(loaded.saveValue());
    EXPECT_EQ(restored.saveValue(), "500;49999");

    FastestSensor russian(402.0f, Russian, true);
    EXPECT_STREQ(russian.caption(), L"Самые быстрые 402м");
    russian.loadValue("402;12346");
    EXPECT_STREQ(russian.text(), L"12.35 с");
}

TEST(FastestSensor, IgnoresBadSavedValuesAndAbsurdSpeeds) {
    FastestSensor sensor(500.0f, English, false);
    expectLoadIgnored(sensor, {"", "500", "500;", ";5", "abc;def", "0;5", "500;0", "500;-3", "500;2.5",
                               "500;1e999", "inf;100", "nan;100", "-500;100", "1000001;100",
                               "500;1000000001"});
    sensor.loadValue("1000000;1000000000");
    EXPECT_EQ(sensor.saveValue(), "1e+06;1000000000");

    FastestSensor absurd(500.0f, English, false);
    cruise(absurd, 0, 5, Huge);
    EXPECT_STREQ(absurd.text(), L"");
}

}  // namespace
}  // namespace movira
