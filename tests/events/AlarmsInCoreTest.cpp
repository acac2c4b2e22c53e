// The core hands every completed fix to the alarms and keeps their section of the settings.
#include "core/AppCore.h"

#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/FakeSoundPlayer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace movira {
namespace {

namespace fs = std::filesystem;

// An RMC sentence (which completes a fix) with the speed in knots and its checksum.
std::string rmc(const char* knots, char status = 'A') {
    const std::string body =
        std::string("GPRMC,123519,") + status + ",4807.038,N,01131.000,E," + knots + ",084.4,230394,003.1,W";
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[4];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

class AlarmsInCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/movira-alarms-core-XXXXXX";
        home = mkdtemp(pattern);
    }
    void TearDown() override {
        if (core) core->shutdown();
        core.reset();
        fs::remove_all(home);
    }
    AppCore& makeCore(const std::string& settings) {
        std::ofstream(home / "Speedometer.ini") << settings;
        core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, "/opt/movira", nullptr, &player});
        core->initialize(home.string());
        return *core;
    }

    test::FakeClock clock;
    test::FakeScreenKeeper screen;
    test::FakeBattery battery;
    test::FakeSoundPlayer player{&clock};
    fs::path home;
    std::unique_ptr<AppCore> core;
};

TEST_F(AlarmsInCoreTest, EveryCompletedFixIsChecked) {
    AppCore& c = makeCore("[Events]\nBeepOnZero=true\nLimit1=60\nLimitInter1=10\nUseSound1=true\n");
    c.onSentence(rmc("29.7"));  // 55 km/h
    c.onSentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");  // completes no fix
    EXPECT_EQ(player.count(), 0u);
    c.onSentence(rmc("33.0", 'V'));  // 61 km/h; the receiver's validity is not looked at
    c.resetAllSensors();              // leaves the alarms' previous speed alone
    c.onSentence(rmc("35.1"));        // 65 km/h, inside the band
    c.onSentence(rmc("0.0"));         // stopped
    std::vector<std::string> paths;
    for (const auto& played : player.played()) paths.push_back(played.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/opt/movira/Wav/Limit.wav", "/opt/movira/Wav/Limit.wav",
                                               "/opt/movira/Wav/Zero.wav", "/opt/movira/Wav/LimitDown.wav"}));
}

TEST_F(AlarmsInCoreTest, TheEventsSectionIsLoadedAndSavedWithTheOthers) {
    AppCore& c = makeCore("[Main]\nCOMPort=ttyUSB0\n"
                          "[Events]\nBeepOnZero=true\nLimit2=95\nLimitInter2=5\nUseSound2=true\n");
    SpeedAlarms& alarms = c.alarms();
    EXPECT_TRUE(alarms.beepOnZero());
    EXPECT_EQ(alarms.limit(0), 60);  // untouched entries keep their defaults
    EXPECT_EQ(alarms.limit(1), 95);
    EXPECT_EQ(alarms.band(1), 5);
    EXPECT_TRUE(alarms.useSound(1));
    alarms.setEntry(2, 130, 20, true);
    alarms.setBeepOnZero(false);
    c.shutdown();

    IniFile saved;
    ASSERT_TRUE(saved.load((home / "Speedometer.ini").string()));
    EXPECT_EQ(saved.getValue("COMPort", "Main"), "ttyUSB0");
    const std::pair<const char*, const char*> expected[] = {
        {"BeepOnZero", "false"}, {"Limit1", "60"},  {"LimitInter1", "10"}, {"UseSound1", "false"},
        {"Limit2", "95"},        {"LimitInter2", "5"}, {"UseSound2", "true"}, {"Limit3", "130"},
        {"LimitInter3", "20"},   {"UseSound3", "true"}};
    for (const auto& [key, value] : expected) EXPECT_EQ(saved.getValue(key, "Events"), value) << key;
}

}  // namespace
}  // namespace movira
