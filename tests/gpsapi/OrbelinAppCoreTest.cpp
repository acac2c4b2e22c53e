// The whole library path of the program: the core in library mode loads libOrbelin.so from the
// program folder and polls it once a second while gpsd plays the demo drive. Its track must be
// the one the core's own NMEA parser makes of the same sentences.
#include "core/AppCore.h"
#include "core/NmeaParser.h"
#include "tests/gpsapi/GpsdPeer.h"
#include "tests/gpsapi/ReceiverLog.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/FakeWindowPort.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace movira {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class OrbelinAppCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::GpsdPeer::gpsdProgram().empty()) {
            GTEST_SKIP() << "gpsd is not installed (scripts/install-deps installs it)";
        }
        setenv("TZ", "UTC0", 1);
        tzset();
        setenv("GPSD_HOST", "localhost", 1);
        setenv("GPSD_PORT", peer.portText().c_str(), 1);
    }
    void TearDown() override {
        if (core) core->shutdown();
        core.reset();
        unsetenv("GPSD_HOST");
        unsetenv("GPSD_PORT");
    }

    test::GpsdPeer peer;
    test::FakeClock clock;
    test::FakeScreenKeeper screen;
    test::FakeBattery battery;
    test::FakeWindowPort window;
    std::unique_ptr<AppCore> core;
};

TEST_F(OrbelinAppCoreTest, LibraryModeKeepsTheTrackTheParserMakesOfTheLog) {
    const test::ReceiverLog log(MOVIRA_SOURCE_DIR "/data/demo/demo-drive.nmea");
    const int64_t start = log.seconds().begin()->first;
    // 08:00:24 to 08:00:50 at real time, the pace the core polls at: off from rest to 100 km/h.
    const std::string sentences = log.text(start + 24, start + 50);
    const fs::path part = peer.folder() / "part.nmea";
    std::ofstream(part, std::ios::binary) << sentences;

    std::ofstream(peer.folder() / "Speedometer.ini") << "";  // library mode is the default
    core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, MOVIRA_BIN_DIR});
    core->initialize(peer.folder().string());
    ASSERT_TRUE(core->gpsApi().isLoaded());
    ASSERT_TRUE(core->useGpsApi());
    core->attachWindow(&window);
    ASSERT_TRUE(peer.startReceiver({part.string()}, 1));
    ASSERT_TRUE(peer.startGpsd());
    ASSERT_TRUE(peer.receiverDone(40s));
    std::this_thread::sleep_for(1500ms);  // the last poll
    core->stopGps();
    std::vector<TrackPoint> viaLibrary;
    {
        auto model = core->model();
        for (size_t i = 0; i < model->parser.trackPointCount(); ++i) {
            viaLibrary.push_back(*model->parser.trackPoint(i));
        }
    }

    NmeaParser parser(clock);
    std::istringstream lines(sentences);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        parser.parseSentence(line);
    }

    size_t matched = 0;
    for (const TrackPoint& point : viaLibrary) {
        const TrackPoint* same = nullptr;
        for (size_t i = 0; i < parser.trackPointCount() && !same; ++i) {
            if (parser.trackPoint(i)->localTime.sameSecond(point.localTime)) same = parser.trackPoint(i);
        }
        ASSERT_NE(same, nullptr) << point.localTime.hour << ":" << point.localTime.minute << ":"
                                 << point.localTime.second;
        SCOPED_TRACE(point.localTime.second);
        EXPECT_NEAR(point.latitude, same->latitude, 1e-5);
        EXPECT_NEAR(point.longitude, same->longitude, 1e-5);
        EXPECT_NEAR(point.speed, same->speed, 0.01);
        EXPECT_NEAR(point.course, same->course, 0.01);
        // The parser puts a point down at the RMC, before that second's GGA: its altitude is a
        // second old. The library's is that of the same second.
        const test::LoggedSecond* second = log.at(point.localTime.toUnixSeconds().value_or(0));  // TZ is UTC
        ASSERT_TRUE(second && second->altitude);
        EXPECT_NEAR(point.altitude, *second->altitude, 0.01);
        ++matched;
    }
    // One poll a second against one fix a second: a few seconds may be seen twice or not at all.
    EXPECT_GE(matched, 18u) << "of " << parser.trackPointCount();
}

}  // namespace
}  // namespace movira
