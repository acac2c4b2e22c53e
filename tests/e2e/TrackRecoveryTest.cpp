// A run ended by a kill loses at most its last seconds of track: the real program, offscreen on
// a pseudo-terminal receiver fed by nmea-replay, is killed with SIGKILL in the middle of the demo
// drive; the next start writes track files from the journal it left, before its own run, and
// that run's normal end leaves no journal behind.
#include "track/TrackJournal.h"
#include "track/TrackWriter.h"

#include "tests/e2e/DemoDriveTrack.h"
#include "tests/support/RealProgram.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
using SteadyClock = std::chrono::steady_clock;

const std::string demoDrive = test::RealProgram::DemoDrive;
using test::logOfFirstBytes;
using test::namesIn;
using test::pointsOf;
using test::readFile;
const std::string schemaDir = MOVIRA_SOURCE_DIR "/tests/data/schemas";

int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class TrackRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        root = program.root;
        home = program.home;
    }
    // A receiver playing the demo drive at eight times real time on a terminal at root/gps-N.
    fs::path startReceiver() {
        const std::string link = "gps-" + std::to_string(++receivers);
        const std::optional<fs::path> path = program.startReceiver(demoDrive, 8, link);
        replay = program.receiver.get();
        program.writeSettings(" [Main]\n UseGPSAPI=false\n COMPort=" + (root / link).string() +
                              "\n EnableKMLTrack=true\n EnableGPXTrack=true\n");
        return path.value_or(root / link);
    }
    std::unique_ptr<test::ChildProcess> startProgram(int quitAfterSeconds, const std::string& name) {
        return program.start({"--windowed", "480x800", "--quit-after", std::to_string(quitAfterSeconds)}, name);
    }
    fs::path tracks() const { return home / "Tracks"; }
    // Whether a run left a journal.
    bool journalThere() const { return !TrackJournal::journalsIn((home / "Journals").string()).empty(); }

    test::RealProgram program{"movira-recovery"};
    fs::path root, home;
    int receivers = 0;
    test::ChildProcess* replay = nullptr;  // the program's receiver
};

TEST_F(TrackRecoveryTest, AKilledRunLosesAtMostItsLastSecondsAndTheNextStartWritesIt) {
    ASSERT_TRUE(fs::exists(startReceiver())) << "nmea-replay made no terminal link";
    const long long printed = static_cast<long long>(readFile(root / "gps-1.out").size());

    // The first run: the journal appears with the first fix; the drive goes on for a while.
    auto first = startProgram(600, "first");
    ASSERT_GT(first->pid(), 0);
    const auto deadline = SteadyClock::now() + 120s;  // a sanitizer build starts slowly
    while (!journalThere() && SteadyClock::now() < deadline) std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(journalThere()) << readFile(root / "first.out");
    std::this_thread::sleep_for(15s);  // about two minutes of the drive, past the standing start

    // What the receiver has sent by now must survive a kill ten seconds later.
    const std::optional<long long> written = replay->bytesWritten();
    ASSERT_TRUE(written.has_value());
    const long long sent = *written - printed;
    std::this_thread::sleep_for(11s);
    first->kill(SIGKILL);
    const long long sentAtKill = *replay->bytesWritten() - printed;
    program.receiver.reset();
    replay = nullptr;
    EXPECT_TRUE(namesIn(tracks()).empty());
    EXPECT_TRUE(journalThere());

    // The next start writes them as Track0001 before its own run; its normal end adds Track0002.
    startReceiver();
    auto second = startProgram(6, "second");
    const std::optional<int> status = second->wait(180s);
    ASSERT_TRUE(status.has_value()) << readFile(root / "second.out");
    EXPECT_EQ(*status, 0) << readFile(root / "second.out");
    EXPECT_EQ(namesIn(tracks()),
              (std::set<std::string>{"Track0001.gpx", "Track0001.kml", "Track0002.gpx", "Track0002.kml"}));

    // Track0001: a whole prefix of the drive, holding at least every point sent ten seconds
    // before the kill and nothing sent after it.
    const TrackLog whole = logOfFirstBytes(1LL << 40), beforeKill = logOfFirstBytes(sent),
                   atKill = logOfFirstBytes(sentAtKill);
    for (const char* extension : {".kml", ".gpx"}) {
        const std::string name = std::string("Track0001") + extension;
        const bool kml = extension[1] == 'k';
        auto textOf = [&](const TrackLog& log) {
            return kml ? TrackWriter(log).kmlText() : TrackWriter(log).gpxText(name);
        };
        const std::vector<std::string> recovered = pointsOf(readFile(tracks() / name));
        const std::vector<std::string> all = pointsOf(textOf(whole));
        const size_t least = pointsOf(textOf(beforeKill)).size(), most = pointsOf(textOf(atKill)).size();
        EXPECT_GT(least, 50u) << "the receiver sent too little to judge";
        if (!kSlowedBySanitizer) {
            EXPECT_GE(recovered.size(), least) << name;
        }
        EXPECT_GT(recovered.size(), 0u) << name;
        EXPECT_LE(recovered.size(), most) << name;
        ASSERT_LE(recovered.size(), all.size());
        EXPECT_TRUE(std::equal(recovered.begin(), recovered.end(), all.begin())) << name << " is not the drive's start";
        // Around the points, the file is what the writer gives for no points at all.
        std::string frame = readFile(tracks() / name);
        for (const std::string& point : recovered) frame.erase(frame.find(point), point.size());
        EXPECT_EQ(frame, textOf(TrackLog{})) << name;
    }

    // Every file the runs wrote is valid, and gpsbabel reads every GPX point.
    for (const char* file : {"Track0001.kml", "Track0002.kml", "Track0001.gpx", "Track0002.gpx"}) {
        const std::string schema = schemaDir + (std::string(file).ends_with(".gpx") ? "/gpx10.xsd" : "/kml21.xsd");
        EXPECT_EQ(shell("xmllint --noout --schema " + schema + " " + (tracks() / file).string() + " 2>/dev/null"), 0)
            << file;
    }
    for (const char* file : {"Track0001.gpx", "Track0002.gpx"}) {
        const fs::path csv = root / "points.csv";
        ASSERT_EQ(shell("gpsbabel -r -i gpx -f " + (tracks() / file).string() + " -o unicsv,fields=lat+lon -F " +
                        csv.string()),
                  0);
        const std::string text = readFile(csv);
        const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
        EXPECT_EQ(lines - 1, pointsOf(readFile(tracks() / file)).size()) << file;
    }
    EXPECT_FALSE(journalThere()) << "a normal end leaves no journal";
}

}  // namespace
}  // namespace movira
