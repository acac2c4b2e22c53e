// The reporter without a sender: message tags, lengths, addresses, settings, and binding.
#include "sms/SmsReporter.h"

#include "core/AppCore.h"
#include "settings/IniFile.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace movira {
namespace {

namespace fs = std::filesystem;

GpsFix fixAt(float latitude, float longitude, SystemTime localTime = {2025, 6, 0, 1, 9, 5, 3, 0}) {
    GpsFix fix;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.localTime = localTime;
    return fix;
}

TEST(SmsTags, AreReplacedWithTheValuesOfTheFix) {
    GpsFix full = fixAt(-33.25f, 151.5f);
    full.altitude = 12.345f;
    full.speed = 42.26f;
    full.course = 359.6f;
    const GpsFix none;  // every field NoValue, time 0:0:0
    const GpsFix noLatitude = fixAt(NoValue, 30.0f);
    const GpsFix noLongitude = fixAt(55.5f, NoValue);
    struct Case {
        const char* text;
        const GpsFix& fix;
        const char* expected;
    };
    const Case cases[] = {
        {"%Latitude% and %Latitude%", fixAt(55.5f, 37.6f), "55.500000 and 55.500000"},
        {"%Time%", fixAt(1, 2), "9:5:3"},
        {"%Time%", fixAt(1, 2, {2025, 12, 0, 31, 23, 59, 58, 999}), "23:59:58"},
        {"%Latitude% %Longitude% %Altitude% %Speed% %Azimuth%", full, "-33.250000 151.500000 12.35 42.3 360"},
        {"I'm here %GoogleMaps%", full, "I'm here http://maps.google.com/m/local?q=-33.250000,151.500000"},
        {"%Latitude%|%Longitude%|%Altitude%|%Speed%|%Azimuth%|%Time%|%GoogleMaps%", none,
         "N/A|N/A|N/A|N/A|N/A|0:0:0|%GoogleMaps%"},
        {"%GoogleMaps% %Latitude%", noLatitude, "%GoogleMaps% N/A"},
        {"%GoogleMaps% %Longitude%", noLongitude, "%GoogleMaps% N/A"},
        // Matched with their case, whole, and only between their own percent signs.
        {"%latitude% %LATITUDE% %Latitude %Latitude", full, "%latitude% %LATITUDE% %Latitude %Latitude"},
        {"%%Speed%%%Speed%", full, "%42.3%42.3"},
        {"no tags at all", full, "no tags at all"},
        {"", full, ""},
        {"широта '%Latitude%'", fixAt(59.5f, 30.25f), "широта '59.500000'"},
    };
    for (const Case& c : cases) EXPECT_EQ(SmsReporter::expandTags(c.text, c.fix), c.expected) << c.text;
}

TEST(SmsTags, ExtremeValuesStayBounded) {
    GpsFix fix = fixAt(3.0e38f, -3.0e38f);
    fix.speed = 3.0e38f;
    const std::string text = SmsReporter::expandTags("%Latitude% %Longitude% %Speed% %GoogleMaps%", fix);
    EXPECT_EQ(text.find("%"), std::string::npos);
    EXPECT_LT(text.size(), 400u);
}

TEST(SmsTags, AThousandTagsAreAllReplaced) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "%Speed%,";
    GpsFix fix = fixAt(1, 2);
    fix.speed = 5.0f;
    std::string expected;
    for (int i = 0; i < 1000; ++i) expected += "5.0,";
    EXPECT_EQ(SmsReporter::expandTags(text, fix), expected);
}

TEST(SmsMessage, IsCutToWhatTheLibraryTakesWithoutSplittingACharacter) {
    struct Case {
        std::string text;
        size_t expectedSize;
    };
    constexpr size_t max = SmsReporter::MaxMessageBytes;
    const Case cases[] = {
        {std::string(255, 'a'), 255},  // one whole SMS, and more, go whole
        {std::string(max, 'a'), max},
        {std::string(max + 1, 'a'), max},
        {std::string(5000, 'a'), max},
        {std::string(max - 1, 'a') + "ж", max - 1},  // the two-byte letter would be cut: it goes whole
        {std::string(max - 2, 'a') + "ж", max},      // it fits
        {std::string(max - 2, 'a') + "€", max - 2},  // three bytes, from max - 1 to max + 1
        {"", 0},
    };
    for (const Case& c : cases) {
        const std::string cut = SmsReporter::cutToLength(c.text);
        EXPECT_EQ(cut.size(), c.expectedSize) << c.text.size();
        EXPECT_EQ(cut, c.text.substr(0, c.expectedSize));
    }
}

TEST(SmsAddresses, AreSplitAtEveryCommaAndJoinedBack) {
    struct Case {
        const char* text;
        std::vector<std::string> addresses;
    };
    const Case cases[] = {
        {"", {""}},
        {"+79001234567", {"+79001234567"}},
        {"111,222", {"111", "222"}},
        {",", {"", ""}},
        {"a,,b,", {"a", "", "b", ""}},
        {" 1 , 2 ", {" 1 ", " 2 "}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SmsReporter::splitAddresses(c.text), c.addresses) << c.text;
        SmsReporter reporter("/nonexistent", nullptr);
        reporter.setSettings(false, false, 1, std::string_view(c.text), std::string_view());
        EXPECT_EQ(reporter.addresses(), c.text);
    }
}

TEST(SmsReporter, StartsWithTheDefaults) {
    SmsReporter reporter("/nonexistent", nullptr);
    EXPECT_FALSE(reporter.send());
    EXPECT_FALSE(reporter.sendIfChanged());
    EXPECT_EQ(reporter.interval(), 1);
    EXPECT_EQ(reporter.text(), "");
    EXPECT_EQ(reporter.addresses(), "");
}

TEST(SmsReporter, WithoutTheLibraryOrItsExportNothingCanBeSent) {
    SmsReporter missing("/nonexistent", nullptr, "NoSuchSmsLibrary");
    EXPECT_FALSE(missing.isAvailable());
    // A library that loads but has no SendParvox export.
    SmsReporter wrong(MOVIRA_FAKE_GPS_DIR, nullptr, "Orbelin");
    EXPECT_FALSE(wrong.isAvailable());
    for (SmsReporter* reporter : {&missing, &wrong}) {
        reporter->setSettings(true, false, 1, std::string_view("1,2"), std::string_view("%Latitude%"));
        reporter->sendNow();  // the fix source is none: an empty fix; nothing happens
        reporter->tick(fixAt(1, 2));
        reporter->tick(fixAt(1, 2, {2025, 6, 0, 1, 10, 0, 0, 0}));
        EXPECT_TRUE(reporter->waitUntilSent(std::chrono::milliseconds(0)));
        reporter->stop();
    }
}

TEST(SmsReporter, WideSettingsAreStoredAsUtf8) {
    SmsReporter reporter("/nonexistent", nullptr);
    reporter.setSettings(true, true, 15, L"+7 900,+7 901", L"Я здесь %GoogleMaps%");
    EXPECT_TRUE(reporter.send());
    EXPECT_TRUE(reporter.sendIfChanged());
    EXPECT_EQ(reporter.interval(), 15);
    EXPECT_EQ(reporter.addresses(), "+7 900,+7 901");
    EXPECT_EQ(reporter.text(), "Я здесь %GoogleMaps%");
    reporter.setSettings(false, false, 0, static_cast<const wchar_t*>(nullptr), nullptr);
    EXPECT_EQ(reporter.addresses(), "");
    EXPECT_EQ(reporter.text(), "");
}

class SmsSettings : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/movira-sms-XXXXXX";
        folder = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(folder); }
    IniFile load(const std::string& text) {
        std::ofstream(folder / "Speedometer.ini") << text;
        IniFile ini;
        ini.load((folder / "Speedometer.ini").string());
        return ini;
    }
    std::string saved(const IniFile& ini) {
        ini.save((folder / "Speedometer.ini").string());
        std::stringstream text;
        text << std::ifstream(folder / "Speedometer.ini").rdbuf();
        return text.str();
    }
    fs::path folder;
};

TEST_F(SmsSettings, AreReadWithTheirDefaults) {
    struct Case {
        const char* file;
        bool send, sendIfChanged;
        int interval;
        const char* addresses;
        const char* text;
    };
    const Case cases[] = {
        {"", false, false, 0, "", ""},
        {"[SMS]\n", false, false, 0, "", ""},
        {"[SMS]\nAddress=111,222\nText=at %Time%\nInterval=5\nSendIfChanged=true\nSend=true\n", true, true, 5,
         "111,222", "at %Time%"},
        // A flag is on when its text holds "true", in that case.
        {"[SMS]\nSend=TRUE\nSendIfChanged=untrue\n", false, true, 0, "", ""},
        {"[SMS]\nInterval=abc\n", false, false, 0, "", ""},
        {"[SMS]\nInterval=7 minutes\n", false, false, 7, "", ""},
        {"[SMS]\nInterval=-3\n", false, false, -3, "", ""},
        {"[SMS]\nInterval=99999999999\n", false, false, 2147483647, "", ""},
        {"[Main]\nSend=true\nInterval=9\n", false, false, 0, "", ""},  // another section's keys
    };
    for (const Case& c : cases) {
        const IniFile ini = load(c.file);
        SmsReporter reporter("/nonexistent", nullptr);
        reporter.loadSettings(ini);
        EXPECT_EQ(reporter.send(), c.send) << c.file;
        EXPECT_EQ(reporter.sendIfChanged(), c.sendIfChanged) << c.file;
        EXPECT_EQ(reporter.interval(), c.interval) << c.file;
        EXPECT_EQ(reporter.addresses(), c.addresses) << c.file;
        EXPECT_EQ(reporter.text(), c.text) << c.file;
    }
}

TEST_F(SmsSettings, AreWrittenInTheirOrderAndReadBackTheSame) {
    IniFile ini = load("");
    SmsReporter reporter("/nonexistent", nullptr);
    reporter.setSettings(true, false, 10, std::string_view("+79001234567,,112"),
                         std::string_view("speed '%Speed%', I'm here '%GoogleMaps%'"));
    reporter.saveSettings(ini);
    // Each key is set at the top of the section, so the last one written stands first.
    EXPECT_EQ(saved(ini), " [SMS]\n Address=+79001234567,,112\n Interval=10\n SendIfChanged=false\n Send=true\n"
                          " Text=speed '%Speed%', I'm here '%GoogleMaps%'\n");
    SmsReporter again("/nonexistent", nullptr);
    again.loadSettings(load(saved(ini)));
    EXPECT_TRUE(again.send());
    EXPECT_FALSE(again.sendIfChanged());
    EXPECT_EQ(again.interval(), 10);
    EXPECT_EQ(again.addresses(), "+79001234567,,112");
    EXPECT_EQ(again.text(), "speed '%Speed%', I'm here '%GoogleMaps%'");
}

TEST_F(SmsSettings, AFileWithTheKeysKeepsItsOrder) {
    IniFile ini = load("[SMS]\nSend=false\nText=old\nAddress=1\n[Events]\nBeepOnZero=true\n");
    SmsReporter reporter("/nonexistent", nullptr);
    reporter.loadSettings(ini);
    reporter.setSettings(true, true, 3, std::string_view("2,3"), std::string_view("new"));
    reporter.saveSettings(ini);
    EXPECT_EQ(saved(ini), " [SMS]\n Interval=3\n SendIfChanged=true\n Send=true\n Text=new\n Address=2,3\n"
                          " [Events]\n BeepOnZero=true\n");
}

// Here, where no test has loaded the fake SMS library: a loaded copy would be found by name.
TEST_F(SmsSettings, WithoutTheLibraryTheCoreKeepsTheSettingsAndShowsNoSmsButton) {
    std::ofstream(folder / "Speedometer.ini") << "[SMS]\nSend=true\nInterval=1\n";
    test::FakeClock clock;
    test::FakeScreenKeeper screen;
    test::FakeBattery battery;
    AppCore core(PlatformServices{clock, screen, battery, "/nonexistent"});
    core.initialize(folder.string());
    EXPECT_FALSE(core.isSmsAvailable());
    EXPECT_TRUE(core.sms().send());
    core.sms().sendNow();  // builds the text, sends nothing
    core.shutdown();
}

}  // namespace
}  // namespace movira
