// The program itself in both modes on the same stretch of the demo drive: in its default
// mode through gpsd and libOrbelin.so, and on the serial receiver. The sensor totals it
// saves at exit agree with each other and with the log.
#include "settings/IniFile.h"
#include "tests/gpsapi/ChildProcess.h"
#include "tests/gpsapi/GpsdPeer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace movira::test {
namespace {

namespace fs = std::filesystem;

constexpr int kFirstSecond = 30;  // of the demo drive: a standing start up to about 100 km/h
constexpr int kSeconds = 40;

// The sentences of seconds [first, first + count) of the demo drive.
std::string driveStretch(int first, int count, double& maxKmh) {
    std::ifstream log(std::string(MOVIRA_SOURCE_DIR) + "/data/demo/demo-drive.nmea");
    std::string line, out;
    int rmc = -1;
    maxKmh = 0;
    while (std::getline(log, line)) {
        if (line.rfind("$GPRMC", 0) == 0) ++rmc;
        if (rmc < first || rmc >= first + count) continue;
        if (line.rfind("$GPRMC", 0) == 0) {
            // Field 7: speed in knots.
            std::stringstream fields(line);
            std::string field;
            for (int i = 0; i <= 7 && std::getline(fields, field, ','); ++i) {
            }
            maxKmh = std::max(maxKmh, std::atof(field.c_str()) * 1.852);
        }
        out += line + "\n";
    }
    return out;
}

struct Totals {
    double distanceKm = -1;
    double maxKmh = -1;
};

Totals savedTotals(const fs::path& home) {
    IniFile ini;
    Totals totals;
    if (!ini.load((home / "Speedometer.ini").string())) return totals;
    const std::string distance = ini.getValue("Distance", "LastSensorsValue");
    const std::string max = ini.getValue("Max speed", "LastSensorsValue");
    if (!distance.empty()) totals.distanceKm = std::atof(distance.c_str());
    if (!max.empty()) totals.maxKmh = std::atof(max.c_str());
    return totals;
}

class OrbelinProgram : public testing::Test {
protected:
    void SetUp() override {
        if (GpsdPeer::gpsdProgram().empty()) GTEST_SKIP() << "gpsd is not installed (Debian package gpsd)";
        char pattern[] = "/tmp/movira-program-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // The programs inherit this: in a sanitizer build they run Qt, which is not built for
        // it, and the reports wholly inside Qt are suppressed.
        setenv("TSAN_OPTIONS",
               "halt_on_error=1:second_deadlock_stack=1:suppressions=" MOVIRA_SOURCE_DIR "/tests/tsan-qt.supp", 1);
        stretch_ = folder_ / "stretch.nmea";
        std::ofstream(stretch_) << driveStretch(kFirstSecond, kSeconds, logMaxKmh_);
    }
    void TearDown() override {
        if (!folder_.empty()) fs::remove_all(folder_);
    }
    fs::path home(const char* name) {
        fs::create_directories(folder_ / name);
        return folder_ / name;
    }
    std::unique_ptr<ChildProcess> program(const fs::path& home, int seconds) {
        // A runtime folder of its own: one copy runs per session, and these are two sessions.
        fs::create_directories(home / "runtime");
        chmod((home / "runtime").c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
        return std::make_unique<ChildProcess>(std::vector<std::string>{
            std::string(MOVIRA_BIN_DIR) + "/Speedometer", "--home", home.string(), "--windowed", "480x800",
            "--quit-after", std::to_string(seconds), "--snapshot-dir", (home / "snapshots").string()});
    }

    fs::path folder_;
    fs::path stretch_;
    double logMaxKmh_ = 0;
};

TEST_F(OrbelinProgram, DefaultModeAndSerialModeSaveTheSameTotals) {
    // Library mode, the default: no settings file at all. gpsd reads the receiver in real
    // time, because the program polls the library once a second.
    GpsdPeer gpsd;
    ASSERT_TRUE(gpsd.startReceiver({stretch_.string()}, 1.0));
    ASSERT_TRUE(gpsd.startGpsd());
    setenv("GPSD_PORT", gpsd.portText().c_str(), 1);
    const fs::path libraryHome = home("library");
    auto libraryRun = program(libraryHome, kSeconds + 4);

    // Serial mode on the same stretch, paced faster, at the same time.
    const fs::path serialHome = home("serial");
    const fs::path link = folder_ / "receiver";
    ChildProcess replay({std::string(MOVIRA_BIN_DIR) + "/nmea-replay", "--speed", "8", "--link", link.string(),
                         stretch_.string()});
    ASSERT_TRUE(replay.readLine(std::chrono::seconds(5)));
    std::ofstream(serialHome / "Speedometer.ini") << " [Main]\r\n UseGPSAPI=false\r\n COMPort=" << link.string()
                                                  << "\r\n LastCurrentWidget=2\r\n";
    auto serialRun = program(serialHome, 10);

    ASSERT_TRUE(serialRun->hasExited(std::chrono::seconds(30)));
    ASSERT_TRUE(libraryRun->hasExited(std::chrono::seconds(kSeconds + 30)));

    const Totals serial = savedTotals(serialHome);
    const Totals library = savedTotals(libraryHome);
    std::printf("log max %.3f km/h; serial: %.4f km, %.3f km/h; library: %.4f km, %.3f km/h\n", logMaxKmh_,
                serial.distanceKm, serial.maxKmh, library.distanceKm, library.maxKmh);
    ASSERT_GT(serial.distanceKm, 0.3);
    ASSERT_GT(library.distanceKm, 0.0);
    // Both show the log's fastest speed; gpsd passes it on in m/s, the record in knots.
    EXPECT_NEAR(serial.maxKmh, logMaxKmh_, 0.01);
    EXPECT_NEAR(library.maxKmh, logMaxKmh_, 0.05);
    // The library is polled once a second and may miss the stretch's first fix or two before
    // the program is up: at most two seconds of travel at the stretch's top speed.
    EXPECT_NEAR(library.distanceKm, serial.distanceKm, 2 * logMaxKmh_ / 3600 + 0.001);
    EXPECT_LE(library.distanceKm, serial.distanceKm + 0.001);
    // Both pages of the large speed read-out were drawn.
    EXPECT_TRUE(fs::exists(libraryHome / "snapshots" / "FullScreenSpeedWidget.png"));
    EXPECT_TRUE(fs::exists(serialHome / "snapshots" / "FullScreenSpeedWidget.png"));
}

}  // namespace
}  // namespace movira::test
