#include "sensors/SensorSet.h"

#include "platform/Battery.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace movira {
namespace {

class NoBatteryHere final : public Battery {
public:
    std::optional<BatteryStatus> status() const override { return BatteryStatus{}; }
};

GpsFix fixAt(int second, float speedKmh) {
    GpsFix fix;
    fix.valid = true;
    fix.speed = speedKmh;
    fix.speedKnots = speedKmh / 1.852f;
    fix.latitude = 59.9f + static_cast<float>(second) * 0.0001f;
    fix.longitude = 30.3f;
    fix.altitude = 10.0f;
    fix.course = 90.0f;
    fix.satellitesUsed = 8;
    fix.localTime = {2026, 6, 0, 14, 8, static_cast<uint16_t>(second / 60), static_cast<uint16_t>(second % 60), 0};
    fix.utcTime = fix.localTime;
    return fix;
}

class SensorSetTest : public ::testing::Test {
protected:
    SensorSet& make(UiText::Language language) {
        uiText = std::make_unique<UiText>(language);
        sensors = std::make_unique<SensorSet>();
        sensors->createSensors(*uiText, battery);
        return *sensors;
    }
    NoBatteryHere battery;
    std::unique_ptr<UiText> uiText;
    std::unique_ptr<SensorSet> sensors;
};

TEST_F(SensorSetTest, TheFixedOrderWithItsCaptions) {
    const wchar_t* english[] = {
        L"GPS status",        L"Sattelites used",    L"Current time",       L"The fastest 100m",
        L"The fastest 402m",  L"The fastest 500m",   L"The fastest 1000m",  L"The fastest 10000m",
        L"Distance ex",       L"Distance",           L"Elapsed",            L"Average speed",
        L"Speed",             L"Max speed",          L"Accel. 0-10 km/h",   L"Accel. 0-20 km/h",
        L"Accel. 0-30 km/h",  L"Accel. 0-40 km/h",   L"Accel. 0-50 km/h",   L"Accel. 0-60 km/h",
        L"Accel. 0-70 km/h",  L"Accel. 0-80 km/h",   L"Accel. 0-90 km/h",   L"Accel. 0-100 km/h",
        L"Accel. 0-150 km/h", L"Accel. 0-200 km/h",  L"Accel. 0-250 km/h",  L"Accel. 0-300 km/h",
        L"Latitude",          L"Longitude",          L"Altitude",           L"Azimuth",
        L"HDOP",              L"VDOP",               L"PDOP",               L"Battery status"};
    SensorSet& set = make(UiText::Language::English);
    ASSERT_EQ(set.count(), 36);
    for (int i = 0; i < 36; ++i) EXPECT_STREQ(set.at(i)->caption(), english[i]) << i;
    EXPECT_EQ(set.at(-1), nullptr);
    EXPECT_EQ(set.at(36), nullptr);
    EXPECT_EQ(set.find(L"Speed"), set.at(12));
    EXPECT_EQ(set.find(L"Speed "), nullptr);

    SensorSet& russian = make(UiText::Language::Russian);
    EXPECT_STREQ(russian.at(0)->caption(), L"Статус GPS");
    EXPECT_STREQ(russian.at(3)->caption(), L"Самые быстрые 100м");
    EXPECT_STREQ(russian.at(8)->caption(), L"Пройденный путь ex");
    EXPECT_STREQ(russian.at(23)->caption(), L"Разгон 0-100 км/ч");
    EXPECT_STREQ(russian.at(32)->caption(), L"HDOP");
    EXPECT_STREQ(russian.at(35)->caption(), L"Зарядка батареи");
}

TEST_F(SensorSetTest, BeforeAnyFixTextsAreEmptyAndOnlyTotalsStartAtZero) {
    SensorSet& set = make(UiText::Language::English);
    for (int i = 0; i < set.count(); ++i) EXPECT_STREQ(set.at(i)->text(), L"") << i;
    for (const int total : {8, 9}) EXPECT_EQ(set.at(total)->value(0), 0.0f) << total;
    EXPECT_EQ(set.at(11)->value(0), NoValue);  // no average yet
    EXPECT_EQ(set.at(11)->value(1), 0.0f);     // its own distance
    for (int fastest = 3; fastest <= 7; ++fastest) EXPECT_EQ(set.at(fastest)->value(0), 0.0f) << fastest;
    for (const int none : {12, 13, 14, 27, 28, 29, 30}) EXPECT_EQ(set.at(none)->value(0), NoValue) << none;
}

TEST_F(SensorSetTest, UpdateAndResetReachEverySensor) {
    SensorSet& set = make(UiText::Language::English);
    set.updateAll(fixAt(0, 0.0f));
    set.updateAll(fixAt(1, 36.0f));
    EXPECT_STREQ(set.at(0)->text(), L"OK");
    EXPECT_STREQ(set.at(12)->text(), L"36.0 km/h");
    EXPECT_STREQ(set.at(9)->text(), L"5 m");
    EXPECT_STREQ(set.at(2)->text(), L"8:00:01");
    set.resetAll();
    for (int i = 0; i < set.count(); ++i) EXPECT_STREQ(set.at(i)->text(), L"") << i;
    EXPECT_EQ(set.at(13)->value(0), NoValue);
    EXPECT_EQ(set.at(11)->value(0), NoValue);
}

TEST_F(SensorSetTest, PersistentValuesRoundTripInEachLanguage) {
    for (const auto language : {UiText::Language::English, UiText::Language::Russian}) {
        SensorSet& set = make(language);
        set.updateAll(fixAt(0, 0.0f));
        for (int s = 1; s <= 20; ++s) set.updateAll(fixAt(s, static_cast<float>(s) * 6.0f));
        IniFile ini;
        set.saveValues(ini);
        std::vector<std::wstring> texts;
        for (int i = 0; i < set.count(); ++i) texts.emplace_back(set.at(i)->text());

        SensorSet& restored = make(language);
        restored.loadValues(ini);
        for (int i = 0; i < restored.count(); ++i) {
            if (!restored.at(i)->isPersistent()) continue;
            EXPECT_EQ(restored.at(i)->text(), texts[static_cast<size_t>(i)]) << i;
        }
        EXPECT_EQ(restored.at(13)->value(0), 120.0f);

        // The keys are the captions: the other language finds none of them.
        SensorSet& other =
            make(language == UiText::Language::English ? UiText::Language::Russian : UiText::Language::English);
        other.loadValues(ini);
        for (int i = 0; i < other.count(); ++i) EXPECT_STREQ(other.at(i)->text(), L"") << i;
    }
}

TEST_F(SensorSetTest, OnlyPersistentSensorsAreSavedUnderTheirCaptions) {
    SensorSet& set = make(UiText::Language::Russian);
    set.updateAll(fixAt(0, 50.0f));
    IniFile ini;
    set.saveValues(ini);
    EXPECT_EQ(ini.getValue("Максимальная скорость", "LastSensorsValue"), "50");
    EXPECT_FALSE(ini.hasKey("Скорость", "LastSensorsValue"));
    EXPECT_FALSE(ini.hasKey("Широта", "LastSensorsValue"));
    int keys = 0;
    for (const auto& entry : ini.entries()) keys += !entry.key.empty();
    EXPECT_EQ(keys, 5 + 4 + 1 + 14);  // fastest, distances/elapsed/average, maximum, acceleration
}

TEST_F(SensorSetTest, BadSavedValuesLeaveTheInitialState) {
    SensorSet& set = make(UiText::Language::English);
    IniFile ini;
    for (const char* key : {"Max speed", "Distance", "Distance ex", "Elapsed"}) {
        ini.setValue(key, "0", "LastSensorsValue");
    }
    ini.setValue("Average speed", "nan;5", "LastSensorsValue");
    ini.setValue("Accel. 0-100 km/h", "100", "LastSensorsValue");
    ini.setValue("The fastest 402m", "402;-1", "LastSensorsValue");
    set.loadValues(ini);
    for (int i = 0; i < set.count(); ++i) EXPECT_STREQ(set.at(i)->text(), L"") << i;
    EXPECT_EQ(set.at(13)->value(0), NoValue);
}

}  // namespace
}  // namespace movira
