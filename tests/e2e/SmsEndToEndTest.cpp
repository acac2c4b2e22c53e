// Periodic SMS reports end to end: the real program, offscreen on a pseudo-terminal receiver that
// nmea-replay feeds with the demo drive faster than real time, sends a report every minute of the
// drive through the real libParvox.so to the ModemManager stand-in (tests/smslib), which records
// every message. Each message must carry the time, position and speed of the drive at its minute,
// go to both numbers in order, and follow the one before by exactly one minute of the drive.
#include "tests/smslib/MockModemManager.h"
#include "tests/support/RealProgram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_THREAD__)
#define MOVIRA_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MOVIRA_TSAN 1
#endif
#endif

namespace movira {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string demoDrive = test::RealProgram::DemoDrive;
using test::readFile;

// What the demo drive says at one second: position in decimal degrees, speed in km/h.
struct DriveFix {
    double latitude, longitude, kmh;
};

// The valid RMC sentences of the drive by their time of day ("h:m:s", as the message writes it).
std::map<std::string, DriveFix> readDrive() {
    std::map<std::string, DriveFix> fixes;
    std::istringstream in(readFile(demoDrive));
    const auto degrees = [](const std::string& field, const std::string& hemisphere, int degreeDigits) {
        const double value = std::stod(field.substr(0, degreeDigits)) + std::stod(field.substr(degreeDigits)) / 60.0;
        return hemisphere == "S" || hemisphere == "W" ? -value : value;
    };
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("$GPRMC,", 0) != 0) continue;
        std::vector<std::string> f;
        std::istringstream cut(line);
        for (std::string field; std::getline(cut, field, ',');) f.push_back(field);
        if (f.size() < 8 || f[2] != "A" || f[1].size() < 6 || f[3].size() < 5 || f[5].size() < 6) continue;
        const int hms = std::stoi(f[1].substr(0, 6));
        const std::string time =
            std::to_string(hms / 10000) + ":" + std::to_string(hms / 100 % 100) + ":" + std::to_string(hms % 100);
        fixes[time] = {degrees(f[3], f[4], 2), degrees(f[5], f[6], 3), std::stod(f[7]) * 1.852};
    }
    return fixes;
}

std::optional<int> secondsOf(const std::string& time) {
    int h = 0, m = 0, s = 0;
    if (std::sscanf(time.c_str(), "%d:%d:%d", &h, &m, &s) != 3) return std::nullopt;
    return h * 3600 + m * 60 + s;
}

TEST(SmsEndToEnd, EveryMinuteOfTheDriveAReportGoesToTheModem) {
    if (const std::string missing = test::MockModemManager::missing(); !missing.empty()) GTEST_SKIP() << missing;
    test::MockModemManager modem("normal");
    ASSERT_TRUE(modem.ready()) << "the ModemManager stand-in did not start";

    test::RealProgram program("movira-sms-e2e");
    // Twenty times real time: a minute of the drive every three seconds.
    const std::optional<fs::path> link = program.startReceiver(demoDrive, 20);
    ASSERT_TRUE(link) << "nmea-replay made no terminal link";

    const std::string numbers[] = {"+79001112233", "+79004445566"};
    program.writeSettings(" [Main]\n UseGPSAPI=false\n COMPort=" + link->string() + "\n" +
                          " [SMS]\n Send=true\n Interval=1\n SendIfChanged=false\n" + " Address=" + numbers[0] +
                          "," + numbers[1] + "\n" + " Text=%Time% %Latitude% %Longitude% %Speed% km/h\n");

    std::optional<int> exitStatus;
    std::string output;
    {
        // The message's time is the receiver's UTC time as it is (the run's TZ).
        auto run = program.start({"--windowed", "800x480", "--quit-after", "20"}, "program",
                                 {{test::MockModemManager::busVariable, modem.address()}});
        ASSERT_TRUE(run->started());
        exitStatus = run->wait(20s + 120s);  // generous for a sanitizer build; a hang ends here
        run.reset();
        output = readFile(program.output("program"));
    }
    program.receiver.reset();
    ASSERT_TRUE(exitStatus.has_value()) << "the program did not end in time\n" << output;
    ASSERT_EQ(*exitStatus, 0) << output;

    const std::vector<test::SmsRecord> sent = modem.records("send");
    const std::map<std::string, DriveFix> drive = readDrive();
    // Every message went to both numbers, in order, and was accepted.
    ASSERT_EQ(sent.size() % 2, 0u);
#ifdef MOVIRA_TSAN
    const size_t atLeast = 1;  // the program reads many times slower than the receiver sends
#else
    const size_t atLeast = 3;
#endif
    ASSERT_GE(sent.size() / 2, atLeast) << output;
    std::optional<int> previous;
    for (size_t i = 0; i < sent.size(); i += 2) {
        const test::SmsRecord& first = sent[i];
        const test::SmsRecord& second = sent[i + 1];
        EXPECT_EQ(first.number, numbers[0]);
        EXPECT_EQ(second.number, numbers[1]);
        EXPECT_EQ(first.text, second.text);
        EXPECT_EQ(first.result, "accepted");
        EXPECT_EQ(second.result, "accepted");

        // "<h:m:s> <latitude> <longitude> <speed> km/h", from the fix of that second of the drive.
        char time[16] = {};
        double latitude = 0, longitude = 0, kmh = 0;
        ASSERT_EQ(std::sscanf(first.text.c_str(), "%15s %lf %lf %lf km/h", time, &latitude, &longitude, &kmh), 4)
            << first.text;
        const auto fix = drive.find(time);
        ASSERT_NE(fix, drive.end()) << "a time the drive does not have: " << first.text;
        // The fix holds degrees as floats: a few units of their last place (about 4e-6 near 60).
        EXPECT_NEAR(latitude, fix->second.latitude, 1e-5) << first.text;
        EXPECT_NEAR(longitude, fix->second.longitude, 1e-5) << first.text;
        EXPECT_NEAR(kmh, fix->second.kmh, 0.05 + 1e-6) << first.text;
        EXPECT_NE(first.text.find(" km/h"), std::string::npos);
        // One a minute of the drive: the receiver sends every second, so exactly 60 s apart.
        const std::optional<int> at = secondsOf(time);
        ASSERT_TRUE(at);
        if (previous) {
            EXPECT_EQ(*at - *previous, 60) << first.text;
        }
        previous = at;
    }
}

}  // namespace
}  // namespace movira
