#include "events/SpeedAlarms.h"

#include "core/GpsFix.h"
#include "core/NoValue.h"
#include "settings/IniFile.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeSoundPlayer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace movira {

std::ostream& operator<<(std::ostream& out, const SpeedAlarms::Entry& e) {
    return out << "{" << (e.useSound ? "on" : "off") << ", " << e.limit << ", " << e.band << "}";
}

namespace {

namespace fs = std::filesystem;
using Entry = SpeedAlarms::Entry;
using test::FakeClock;
using test::FakeSoundPlayer;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr Entry At60{true, 60, 10};
const std::vector<Entry> kDefaults{{false, 60, 10}, {false, 100, 10}, {false, 150, 10}};

// A sound and the fix (counted from 0) at which it played.
struct Sound {
    int fix;
    std::string name;
    bool operator==(const Sound&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Sound& s) { return out << s.name << "@" << s.fix; }

std::vector<Entry> entriesOf(const SpeedAlarms& alarms) {
    std::vector<Entry> entries;
    for (int i = 0; i < static_cast<int>(alarms.entryCount()); ++i)
        entries.push_back({alarms.useSound(i), alarms.limit(i), alarms.band(i)});
    return entries;
}

// Alarms with a player that notes the time of each sound by a fake clock.
struct Bench {
    FakeClock clock;
    FakeSoundPlayer player{&clock};
    SpeedAlarms alarms{&player};

    // The speeds (km/h) as fixes one second apart; which sounds played at which fix. The
    // receiver's validity flag is not looked at: every fix here is marked invalid.
    std::vector<Sound> drive(const std::vector<float>& speeds) {
        const int64_t start = clock.steadyNow100ns();
        player.clear();
        for (float speed : speeds) {
            GpsFix fix;
            fix.speed = speed;
            alarms.check(fix);
            clock.advanceSteadySeconds(1);
        }
        std::vector<Sound> sounds;
        const std::vector<std::string> names = player.names();
        const std::vector<FakeSoundPlayer::Played> played = player.played();
        for (size_t i = 0; i < played.size(); ++i)
            sounds.push_back({static_cast<int>((played[i].at100ns - start) / 10'000'000), names[i]});
        return sounds;
    }
};

// What sounds when.

TEST(SpeedAlarmsCheck, SoundsFollowTheSpeed) {
    struct Case {
        const char* what;
        std::vector<Entry> entries;  // over the defaults, from entry 0
        bool beepOnZero;
        std::vector<float> speeds;
        std::vector<Sound> expected;
    };
    const Case cases[] = {
        {"rising through, repeating in the band, silent above it, down once", {At60}, false,
         {55, 61, 65, 72, 58}, {{1, "Limit.wav"}, {2, "Limit.wav"}, {4, "LimitDown.wav"}}},
        {"a jump over the whole band still sounds", {At60}, false, {50, 75}, {{1, "Limit.wav"}}},
        {"both ends of the band count", {At60}, false, {59, 60, 70, 70.01f, 70},
         {{1, "Limit.wav"}, {2, "Limit.wav"}, {4, "Limit.wav"}}},
        {"the first speed only sets where the speed starts", {At60}, false, {65, 66}, {{1, "Limit.wav"}}},
        {"staying above the band is silent", {At60}, false, {80, 90, 71}, {}},
        {"staying below the limit is silent", {At60}, false, {10, 59.99f, 30}, {}},
        {"falling from exactly the limit sounds down", {At60}, false, {60, 59.99f}, {{1, "LimitDown.wav"}}},
        {"stopping beeps", {}, true, {5, 0}, {{1, "Zero.wav"}}},
        {"a start at rest beeps once", {}, true, {0, 0, 0}, {{0, "Zero.wav"}}},
        {"each stop beeps once", {}, true, {5, 0, 0, 3, 0}, {{1, "Zero.wav"}, {4, "Zero.wav"}}},
        {"slowing to a crawl is not a stop", {}, true, {5, 0.1f}, {}},
        {"without BeepOnZero a stop is silent", {}, false, {5, 0, 0}, {}},
        {"a stop from above the limit beeps, then the down sound cuts it short", {At60}, true, {65, 0},
         {{1, "Zero.wav"}, {1, "LimitDown.wav"}}},
        {"an entry with its sound off never sounds", {{false, 60, 10}}, false, {50, 61, 65, 50, 61}, {}},
        {"limits of 0 or less are skipped", {{true, 0, 10}, {true, -5, 10}}, false, {-10, 0, 5, -10, 1}, {}},
        {"one limit sound per fix: the first entry in the list wins", {At60, {true, 65, 10}}, false, {50, 66},
         {{1, "Limit.wav"}}},
        {"an earlier entry's down sound beats a later entry's band", {{true, 100, 10}, At60}, false,
         {110, 105, 65}, {{1, "Limit.wav"}, {2, "LimitDown.wav"}}},
        {"an absent speed changes nothing", {At60}, false, {55, NoValue, 61}, {{2, "Limit.wav"}}},
        {"the first speed seen may come after absent ones", {}, true, {NoValue, NoValue, 0}, {{2, "Zero.wav"}}},
        {"speeds that are no number are ignored", {At60}, false, {55, kNaN, kInf, -kInf, 61}, {{4, "Limit.wav"}}},
        {"a negative band leaves only the crossing", {{true, 60, -5}}, false, {50, 61, 62, 50},
         {{1, "Limit.wav"}, {3, "LimitDown.wav"}}},
        {"the largest limit and band do not overflow", {{true, INT_MAX, INT_MAX}}, false, {100, 3e9f, 100},
         {{1, "Limit.wav"}, {2, "LimitDown.wav"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bench bench;
        bench.alarms.setBeepOnZero(c.beepOnZero);
        for (size_t i = 0; i < c.entries.size(); ++i)
            bench.alarms.setEntry(static_cast<int>(i), c.entries[i].limit, c.entries[i].band, c.entries[i].useSound);
        EXPECT_EQ(bench.drive(c.speeds), c.expected);
    }
}

TEST(SpeedAlarmsCheck, ChangedSettingsApplyFromTheNextFixOn) {
    Bench bench;
    bench.alarms.setEntry(0, 60, 10, true);
    EXPECT_EQ(bench.drive({55, 65}), (std::vector<Sound>{{1, "Limit.wav"}}));
    // The previous speed stays across changes: switching the entry off silences the band at
    // once, and a raised limit sounds when the speed next rises through it.
    bench.alarms.setEntry(0, 60, 10, false);
    EXPECT_EQ(bench.drive({66}), std::vector<Sound>{});
    bench.alarms.setEntry(0, 80, 10, true);
    EXPECT_EQ(bench.drive({70, 85}), (std::vector<Sound>{{1, "Limit.wav"}}));
}

TEST(SpeedAlarmsCheck, SoundsLieInTheWavFolderOfTheProgram) {
    Bench bench;
    bench.alarms.setEntry(0, 60, 10, true);
    bench.drive({50, 61});
    // Before the settings are loaded the program folder is not known yet.
    ASSERT_EQ(bench.player.count(), 1u);
    EXPECT_EQ(bench.player.played()[0].path, "/Wav/Limit.wav");
    IniFile ini;
    bench.alarms.loadSettings(ini, "/opt/Мовира");
    bench.drive({50});
    EXPECT_EQ(bench.player.played()[0].path, "/opt/Мовира/Wav/LimitDown.wav");
    EXPECT_EQ(bench.alarms.soundPath(SpeedAlarms::ZeroSound), "/opt/Мовира/Wav/Zero.wav");
}

TEST(SpeedAlarmsCheck, WithoutAPlayerNothingIsPlayed) {
    SpeedAlarms alarms(nullptr);
    alarms.setBeepOnZero(true);
    alarms.setEntry(0, 60, 10, true);
    for (float speed : {50.0f, 61.0f, 0.0f}) {
        GpsFix fix;
        fix.speed = speed;
        alarms.check(fix);
    }
    SUCCEED();
}

// The options page's view of the entries.

TEST(SpeedAlarmsEntries, StartWithTheDefaults) {
    SpeedAlarms alarms(nullptr);
    EXPECT_EQ(entriesOf(alarms), kDefaults);
    EXPECT_FALSE(alarms.beepOnZero());
    for (int outside : {-1, 3, 1000, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(outside);
        EXPECT_FALSE(alarms.useSound(outside));
        EXPECT_EQ(alarms.limit(outside), 0);
        EXPECT_EQ(alarms.band(outside), 0);
    }
}

TEST(SpeedAlarmsEntries, SetEntryOverwritesOrAppends) {
    struct Case {
        const char* what;
        int index;
        std::vector<Entry> expected;
    };
    const Entry e{true, 80, 15};
    const Case cases[] = {
        {"a negative index does nothing", -1, kDefaults},
        {"the lowest index does nothing", INT_MIN, kDefaults},
        {"an index inside overwrites", 1, {kDefaults[0], e, kDefaults[2]}},
        {"the next index appends", 3, {kDefaults[0], kDefaults[1], kDefaults[2], e}},
        {"any index beyond appends at the end", 1000, {kDefaults[0], kDefaults[1], kDefaults[2], e}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SpeedAlarms alarms(nullptr);
        alarms.setEntry(c.index, e.limit, e.band, e.useSound);
        EXPECT_EQ(entriesOf(alarms), c.expected);
    }
}

TEST(SpeedAlarmsEntries, TheListStaysBounded) {
    SpeedAlarms alarms(nullptr);
    for (int i = 0; i < 1000; ++i) alarms.setEntry(INT_MAX, 200 + i, 5, true);
    EXPECT_EQ(alarms.entryCount(), SpeedAlarms::MaxEntries);
    EXPECT_EQ(alarms.limit(3), 200);
    EXPECT_EQ(alarms.limit(static_cast<int>(SpeedAlarms::MaxEntries) - 1), 200 + int(SpeedAlarms::MaxEntries) - 4);
}

TEST(SpeedAlarmsEntries, AnAppendedEntrySounds) {
    Bench bench;
    bench.alarms.setEntry(7, 120, 10, true);
    EXPECT_EQ(bench.drive({110, 121, 100}), (std::vector<Sound>{{1, "Limit.wav"}, {2, "LimitDown.wav"}}));
}

// Section "Events" of the settings file.

TEST(SpeedAlarmsSettings, LoadReadsWhatIsUsable) {
    using Keys = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* what;
        Keys keys;
        bool beepOnZero;
        std::vector<Entry> expected;
    };
    const Case cases[] = {
        {"no section gives the defaults", {}, false, kDefaults},
        {"every key",
         {{"BeepOnZero", "true"}, {"Limit1", "50"}, {"LimitInter1", "5"}, {"UseSound1", "true"},
          {"Limit2", "90"}, {"LimitInter2", "20"}, {"UseSound2", "false"},
          {"Limit3", "1000"}, {"LimitInter3", "1"}, {"UseSound3", "true"}},
         true, {{true, 50, 5}, {false, 90, 20}, {true, 1000, 1}}},
        {"a limit of 0 keeps the default entry", {{"Limit2", "0"}, {"LimitInter2", "10"}, {"UseSound2", "true"}},
         false, kDefaults},
        {"a band of 0 keeps the default entry", {{"Limit1", "70"}, {"LimitInter1", "0"}, {"UseSound1", "true"}},
         false, kDefaults},
        {"a missing band keeps the default entry", {{"Limit1", "70"}, {"UseSound1", "true"}}, false, kDefaults},
        {"negative numbers keep the default entry", {{"Limit3", "-150"}, {"LimitInter3", "10"}, {"UseSound3", "true"}},
         false, kDefaults},
        {"garbage keeps the default entry", {{"Limit1", "abc"}, {"LimitInter1", "#"}, {"UseSound1", "true"}},
         false, kDefaults},
        {"flags are matched with their case", {{"BeepOnZero", "True"}, {"Limit1", "70"}, {"LimitInter1", "5"},
                                               {"UseSound1", "TRUE"}},
         false, {{false, 70, 5}, kDefaults[1], kDefaults[2]}},
        {"a flag holding the word anywhere is on", {{"BeepOnZero", "untrue"}}, true, kDefaults},
        {"numbers are read up to the first non-digit", {{"Limit1", " 75km/h"}, {"LimitInter1", "+8"},
                                                         {"UseSound1", "true"}},
         false, {{true, 75, 8}, kDefaults[1], kDefaults[2]}},
        {"huge numbers saturate", {{"Limit1", "99999999999"}, {"LimitInter1", "99999999999999999999999"},
                                   {"UseSound1", "true"}},
         false, {{true, INT_MAX, INT_MAX}, kDefaults[1], kDefaults[2]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IniFile ini;
        ini.setValue("Limit1", "33", "Main");  // another section's keys are not read
        for (const auto& [key, value] : c.keys) ini.setValue(key, value, SpeedAlarms::Section);
        SpeedAlarms alarms(nullptr);
        alarms.loadSettings(ini, "/opt/movira");
        EXPECT_EQ(alarms.beepOnZero(), c.beepOnZero);
        EXPECT_EQ(entriesOf(alarms), c.expected);
    }
}

TEST(SpeedAlarmsSettings, UnusableKeysKeepWhatTheEntryHeld) {
    SpeedAlarms alarms(nullptr);
    alarms.setEntry(0, 42, 7, true);
    alarms.setBeepOnZero(true);
    IniFile ini;
    ini.setValue("Limit1", "0", SpeedAlarms::Section);
    alarms.loadSettings(ini, "/opt/movira");
    EXPECT_EQ(alarms.limit(0), 42);
    EXPECT_EQ(alarms.band(0), 7);
    EXPECT_TRUE(alarms.useSound(0));
    EXPECT_FALSE(alarms.beepOnZero());  // the flag is always read: no key is false
}

TEST(SpeedAlarmsSettings, SaveWritesEveryKeyOfEveryEntry) {
    SpeedAlarms alarms(nullptr);
    IniFile ini;
    alarms.saveSettings(ini);
    char pattern[] = "/tmp/movira-alarms-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    ASSERT_TRUE(ini.save((folder / "Speedometer.ini").string()));
    std::stringstream text;
    text << std::ifstream(folder / "Speedometer.ini").rdbuf();
    fs::remove_all(folder);
    // Each new key goes to the top of its section, so a new file lists them last first.
    EXPECT_EQ(text.str(),
              " [Events]\n UseSound3=false\n LimitInter3=10\n Limit3=150\n UseSound2=false\n LimitInter2=10\n"
              " Limit2=100\n UseSound1=false\n LimitInter1=10\n Limit1=60\n BeepOnZero=false\n");
}

TEST(SpeedAlarmsSettings, SettingsSurviveASaveLoadCycle) {
    SpeedAlarms saved(nullptr);
    saved.setBeepOnZero(true);
    saved.setEntry(0, 45, 3, true);
    saved.setEntry(1, 1000, 100, false);
    saved.setEntry(2, 1, 1, true);
    saved.setEntry(3, 250, 20, true);  // appended: written as entry 4, which is never read
    IniFile ini;
    saved.saveSettings(ini);
    EXPECT_EQ(ini.getValue("Limit4", SpeedAlarms::Section), "250");
    EXPECT_EQ(ini.getValue("LimitInter4", SpeedAlarms::Section), "20");
    EXPECT_EQ(ini.getValue("UseSound4", SpeedAlarms::Section), "true");

    SpeedAlarms loaded(nullptr);
    loaded.loadSettings(ini, "/opt/movira");
    EXPECT_TRUE(loaded.beepOnZero());
    EXPECT_EQ(entriesOf(loaded), (std::vector<Entry>{{true, 45, 3}, {false, 1000, 100}, {true, 1, 1}}));
}

}  // namespace
}  // namespace movira
