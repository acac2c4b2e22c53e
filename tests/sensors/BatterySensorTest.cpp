#include "sensors/BatterySensor.h"

#include "platform/Battery.h"

#include <gtest/gtest.h>

#include <string>

namespace movira {
namespace {

class FakeBattery final : public Battery {
public:
    std::optional<BatteryStatus> status() const override {
        ++calls;
        return next;
    }

    std::optional<BatteryStatus> next;
    mutable int calls = 0;
};

TEST(BatterySensorTest, TextAndPercentFollowTheStatus) {
    struct Case {
        std::optional<BatteryStatus> status;
        const wchar_t* english;
        const wchar_t* russian;
        int percent;
    };
    const Case cases[] = {
        {BatteryStatus{false, 100}, L"100%", L"100%", 100},
        {BatteryStatus{false, 0}, L"0%", L"0%", 0},
        {BatteryStatus{true, 57}, L"57%(charging)", L"57%(заряжается)", 57},
        {BatteryStatus{true, 0}, L"0%(charging)", L"0%(заряжается)", 0},
        {BatteryStatus{true, 255}, L"charging", L"заряжается", 255},
        {BatteryStatus{true, 101}, L"charging", L"заряжается", 101},
        {BatteryStatus{false, 255}, L"N/A", L"N/A", 255},
        {BatteryStatus{false, 101}, L"N/A", L"N/A", 101},
        {std::nullopt, L"N/A", L"N/A", NoValueInt},
    };
    const UiText english(UiText::Language::English);
    const UiText russian(UiText::Language::Russian);
    FakeBattery battery;
    BatterySensor inEnglish(english, battery);
    BatterySensor inRussian(russian, battery);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "percent " << c.percent);
        battery.next = c.status;
        inEnglish.update(GpsFix{});
        inRussian.update(GpsFix{});
        EXPECT_STREQ(inEnglish.text(), c.english);
        EXPECT_STREQ(inRussian.text(), c.russian);
        EXPECT_EQ(inEnglish.intValue(0), c.percent);
        EXPECT_EQ(inEnglish.intValue(1), NoValueInt);
    }
}

TEST(BatterySensorTest, AsksOnEveryUpdateAndResetKeepsThePercent) {
    const UiText english(UiText::Language::English);
    FakeBattery battery;
    battery.next = BatteryStatus{false, 80};
    BatterySensor sensor(english, battery);
    EXPECT_STREQ(sensor.caption(), L"Battery status");
    EXPECT_EQ(sensor.intValue(0), NoValueInt);
    EXPECT_EQ(battery.calls, 0);

    sensor.update(GpsFix{});  // a fix without data: the battery does not depend on it
    EXPECT_STREQ(sensor.text(), L"80%");
    battery.next = BatteryStatus{true, 81};
    sensor.update(GpsFix{});
    EXPECT_STREQ(sensor.text(), L"81%(charging)");
    EXPECT_EQ(battery.calls, 2);

    sensor.reset();
    EXPECT_STREQ(sensor.text(), L"");
    EXPECT_EQ(sensor.intValue(0), 81);
    EXPECT_FALSE(sensor.isPersistent());
}

}  // namespace
}  // namespace movira
