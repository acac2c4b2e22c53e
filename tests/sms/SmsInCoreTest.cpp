// The reporter in the core: its section among the others, the SMS command, and a reader that
// keeps taking sentences while the modem hangs.
#include "core/AppCore.h"

#include "tests/sms/FakeParvox.h"
#include "tests/support/Eventually.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/FakeWindowPort.h"
#include "tests/support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace movira {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::eventually;
using test::FakeParvox;

// An RMC sentence at 12:mm:ss UTC, latitude 48 degrees and `minutes`, with its checksum.
std::string rmc(int minute, int second, const char* latitudeMinutes) {
    char body[128];
    std::snprintf(body, sizeof body, "GPRMC,12%02d%02d,A,48%s,N,01131.000,E,022.4,084.4,230394,003.1,W", minute,
                  second, latitudeMinutes);
    unsigned sum = 0;
    for (const char* c = body; *c; ++c) sum ^= static_cast<unsigned char>(*c);
    char sentence[160];
    std::snprintf(sentence, sizeof sentence, "$%s*%02X\r\n", body, sum);
    return sentence;
}

class SmsInCore : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        char pattern[] = "/tmp/movira-sms-core-XXXXXX";
        home = mkdtemp(pattern);
    }
    void TearDown() override {
        fake.hold(false);
        if (core) core->shutdown();
        core.reset();
        fs::remove_all(home);
    }
    AppCore& makeCore(const std::string& settings, const std::string& programFolder = MOVIRA_FAKE_PARVOX_DIR) {
        std::ofstream(home / "Speedometer.ini") << settings;
        core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, programFolder});
        core->initialize(home);
        return *core;
    }
    std::string savedSettings() {
        std::stringstream text;
        text << std::ifstream(home / "Speedometer.ini").rdbuf();
        return text.str();
    }

    FakeParvox fake{MOVIRA_FAKE_PARVOX_DIR};
    test::FakeClock clock;
    test::FakeScreenKeeper screen;
    test::FakeBattery battery;
    test::FakeWindowPort window;
    fs::path home;
    std::unique_ptr<AppCore> core;
};

TEST_F(SmsInCore, TheSectionIsReadAndWrittenBetweenThePagesAndTheAlarms) {
    AppCore& c = makeCore("");
    EXPECT_TRUE(c.isSmsAvailable());
    EXPECT_EQ(c.sms().interval(), 0);  // absent: no periodic message
    c.sms().setSettings(true, false, 5, std::string_view("112"), std::string_view("%Speed%"));
    c.shutdown();
    const std::string saved = savedSettings();
    const size_t sensors = saved.find(" [LastSensorsValue]\n");
    const size_t sms = saved.find(" [SMS]\n Address=112\n Interval=5\n SendIfChanged=false\n Send=true\n Text=%Speed%\n");
    const size_t events = saved.find(" [Events]\n");
    ASSERT_NE(sms, std::string::npos) << saved;
    EXPECT_LT(sensors, sms);
    EXPECT_LT(sms, events);
    EXPECT_NE(events, std::string::npos);
}

TEST_F(SmsInCore, TheReaderKeepsTakingSentencesWhileASendHangs) {
    test::PseudoTerminal receiver;
    ASSERT_TRUE(receiver.ok());
    AppCore& c = makeCore("[Main]\nUseGPSAPI=false\nCOMPort=" + receiver.path() +
                          "\n[SMS]\nSend=true\nInterval=1\nAddress=+79001112233\nText=%Time% %Latitude%\n");
    c.attachWindow(&window);
    fake.hold(true);
    const auto latitude = [&] { return c.model()->parser.fix().latitude; };
    receiver.write(rmc(0, 0, "07.500"));
    ASSERT_TRUE(eventually([&] { return latitude() == 48.125f; }));
    receiver.write(rmc(1, 0, "15.000"));  // a minute on: the message goes to the modem, which hangs
    ASSERT_TRUE(eventually([&] { return fake.entered() == 1; }));
    for (int s = 1; s <= 5; ++s) receiver.write(rmc(1, s, "30.000"));
    EXPECT_TRUE(eventually([&] { return latitude() == 48.5f; }));
    receiver.write(rmc(2, 0, "45.000"));
    EXPECT_TRUE(eventually([&] { return latitude() == 48.75f; }));
    EXPECT_EQ(fake.returned(), 0);
    // The command does not wait either; its message takes the current fix.
    c.sms().sendNow();
    fake.hold(false);
    ASSERT_TRUE(c.sms().waitUntilSent(10s));
    EXPECT_EQ(fake.texts(), (std::vector<std::string>{"12:1:0 48.250000", "12:2:0 48.750000", "12:2:0 48.750000"}));
}

}  // namespace
}  // namespace movira
