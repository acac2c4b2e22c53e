// What a car PC's day can do to the real program, offscreen on a pseudo-terminal receiver fed by
// nmea-replay: runs killed with SIGKILL, one of them on a card with no room for track files, lose
// no point once there is room; a kill leaves trip figures at most a minute old.
#include "track/TrackWriter.h"

#include "tests/e2e/DemoDriveTrack.h"
#include "tests/support/RealProgram.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace movira {
namespace {

using namespace std::chrono_literals;
using test::kSlowedBySanitizer;
namespace fs = std::filesystem;

const std::string demoDrive = test::RealProgram::DemoDrive;
using test::logOfFirstBytes;
using test::namesIn;
using test::pointsOf;
using test::readFile;

class NothingLostTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        root = program.root;
        home = program.home;
        program.writeSettings("[Main]\nUseGPSAPI=false\nCOMPort=" + (root / "gps").string() +
                              "\nEnableKMLTrack=true\nEnableGPXTrack=true\n");
    }

    // The demo drive from its start, `speed` times real time, on a terminal at root/gps.
    void startReceiver(int speed) {
        ASSERT_TRUE(program.startReceiver(demoDrive, speed).has_value()) << "nmea-replay made no terminal link";
        printed = static_cast<long long>(readFile(root / "gps.out").size());
    }
    // Bytes of the drive the receiver has sent so far.
    long long sent() const { return program.receiver->bytesWritten().value_or(0) - printed; }
    std::unique_ptr<test::ChildProcess> startProgram(const std::string& name, int quitAfter = 600) {
        return program.start({"--windowed", "480x800", "--quit-after", std::to_string(quitAfter)}, name);
    }
    // A drive of `seconds` (receiver at `speed`) ended by SIGKILL; gives the bytes the receiver had
    // sent two seconds before the kill, which the journal must hold by then.
    long long killedRun(const std::string& name, int speed, std::chrono::seconds seconds) {
        startReceiver(speed);
        auto run = startProgram(name);
        EXPECT_GT(run->pid(), 0);
        std::this_thread::sleep_for(seconds - 2s);
        const long long safe = sent();
        std::this_thread::sleep_for(2s);
        run->kill(SIGKILL);
        program.receiver.reset();
        return safe;
    }
    // Every file number of both formats taken, as on a full card.
    void fillTrackFolder(bool full) {
        fs::create_directories(tracks());
        for (int n = 1; n <= TrackWriter::MaxFileNumber; ++n) {
            for (const char* extension : {".kml", ".gpx"}) {
                char name[32];
                std::snprintf(name, sizeof name, "Track%04i%s", n, extension);
                if (full) {
                    std::ofstream(tracks() / name);
                } else {
                    fs::remove(tracks() / name);
                }
            }
        }
    }
    // The track file `name` holds the drive's start, at least up to `bytes` of it.
    void expectDriveStart(const std::string& name, long long bytes) {
        const bool kml = name.ends_with(".kml");
        auto textOf = [&](const TrackLog& log) { return kml ? TrackWriter(log).kmlText() : TrackWriter(log).gpxText(name); };
        const std::vector<std::string> recovered = pointsOf(readFile(tracks() / name));
        const std::vector<std::string> all = pointsOf(textOf(logOfFirstBytes(1LL << 40)));
        const size_t least = pointsOf(textOf(logOfFirstBytes(bytes))).size();
        EXPECT_GT(least, 10u) << "the receiver sent too little to judge";
        if (!kSlowedBySanitizer) {
            EXPECT_GE(recovered.size(), least) << name;
        }
        EXPECT_GT(recovered.size(), 0u) << name;
        ASSERT_LE(recovered.size(), all.size()) << name;
        EXPECT_TRUE(std::equal(recovered.begin(), recovered.end(), all.begin())) << name << " is not the drive's start";
    }
    fs::path tracks() const { return home / "Tracks"; }

    test::RealProgram program{"movira-nothing-lost"};
    fs::path root, home;
    long long printed = 0;
};

TEST_F(NothingLostTest, KilledRunsOnAFullCardLoseNoPointOnceThereIsRoom) {
    const long long first = killedRun("first", 8, 20s);
    // No room for track files: the first run's journal waits, and the second run keeps its own.
    fillTrackFolder(true);
    const long long second = killedRun("second", 8, 20s);
    EXPECT_NE(readFile(root / "second.out").find("Movira: cannot write the track file " + tracks().string() +
                                                 "/Track????.kml: all 9999 file numbers are taken"),
              std::string::npos)
        << readFile(root / "second.out");
    EXPECT_EQ(namesIn(home / "Journals").size(), 2u);

    // Room again: a start without a receiver writes both runs, oldest first, and leaves no journal.
    fillTrackFolder(false);
    auto third = startProgram("third", 3);
    const std::optional<int> status = third->wait(180s);
    ASSERT_TRUE(status.has_value()) << readFile(root / "third.out");
    EXPECT_EQ(*status, 0) << readFile(root / "third.out");
    EXPECT_EQ(namesIn(tracks()),
              (std::set<std::string>{"Track0001.gpx", "Track0001.kml", "Track0002.gpx", "Track0002.kml"}));
    for (const char* name : {"Track0001.kml", "Track0001.gpx"}) expectDriveStart(name, first);
    for (const char* name : {"Track0002.kml", "Track0002.gpx"}) expectDriveStart(name, second);
    EXPECT_TRUE(namesIn(home / "Journals").empty());
}

// The settings are saved once a minute of the program's own (wall-clock) time while figures change,
// whatever pace the drive has: the drive goes at real time so that the minute means the same.
TEST_F(NothingLostTest, AKillLeavesTripFiguresAtMostAMinuteOld) {
    killedRun("driven", 1, 90s);
    const auto killed = std::chrono::system_clock::now();
    const fs::path settings = home / "Speedometer.ini";
    struct stat info {};
    ASSERT_EQ(::stat(settings.c_str(), &info), 0);
    const auto written = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
    EXPECT_LE(killed - written, 62s) << "last saved " << std::chrono::duration_cast<std::chrono::seconds>(killed - written).count()
                                     << " s before the kill";
    const std::string text = readFile(settings);
    auto value = [&](const std::string& key) {
        const size_t at = text.find("\n " + key + "=");
        return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + key.size() + 3);
    };
    // Saved while moving (the drive starts after half a minute standing still).
    EXPECT_GT(value("Distance"), 0.0) << text;
    EXPECT_GT(value("Elapsed"), 0.0) << text;
}

}  // namespace
}  // namespace movira
