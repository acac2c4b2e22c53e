// The core's side of the track journal: fed by the reader while a track file is wanted,
// turned into track files by the next start when a run did not end normally, and gone after a
// normal end.
#include "core/AppCore.h"
#include "track/TrackJournal.h"
#include "track/TrackWriter.h"

#include "tests/support/Eventually.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/FakeWindowPort.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/track/TrackFiles.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <cstdio>
#include <fstream>
#include <thread>
#include <memory>

namespace movira {
namespace {

using namespace test;

// One second of a drive: the altitude (GGA), then time and place (RMC), checksums left out.
std::string second(int i) {
    char text[256];
    const double minutes = 55.8 - 0.01 * i;
    std::snprintf(text, sizeof text,
                  "$GPGGA,0800%02d.00,59%07.4f,N,03018.%04d,E,1,09,0.9,%.1f,M,16.8,M,,*00\r\n"
                  "$GPRMC,0800%02d,A,59%07.4f,N,03018.%04d,E,20.00,162.00,140626,,,A*00\r\n",
                  i, minutes, 6000 + 10 * i, 17.5 + i, i, minutes, 6000 + 10 * i);
    return text;
}

class TrackRecoveryCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        if (core) core->shutdown();
        core.reset();
    }
    AppCore& start(bool tracks = true) {
        std::ofstream(home.path() / "Speedometer.ini")
            << "[Main]\nUseGPSAPI=false\nCOMPort=" << receiver->path() << "\nEnableKMLTrack=" << (tracks ? "true" : "false")
            << "\nEnableGPXTrack=" << (tracks ? "true" : "false") << "\n";
        core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, "/nonexistent"});
        core->initialize(home.str());
        core->attachWindow(&window);
        return *core;
    }
    // Sends seconds [from, to) and waits until the core has taken them.
    void drive(int from, int to) {
        const size_t expected = core->model()->parser.trackPointCount() + static_cast<size_t>(to - from);
        for (int i = from; i < to; ++i) receiver->write(second(i));
        ASSERT_TRUE(eventually([&] { return core->model()->parser.trackPointCount() == expected; }));
    }
    TrackLog copyOfLog() {
        TrackLog copy;
        auto model = core->model();
        for (size_t i = 0; i < model->parser.trackLog().size(); ++i) copy.append(model->parser.trackLog()[i]);
        return copy;
    }
    fs::path tracks() const { return home.path() / "Tracks"; }
    fs::path journal() const { return tracks() / TrackJournal::FileName; }

    TemporaryFolder home;
    FakeClock clock;
    FakeScreenKeeper screen;
    FakeBattery battery;
    FakeWindowPort window;
    std::unique_ptr<PseudoTerminal> receiver = std::make_unique<PseudoTerminal>();
    std::unique_ptr<AppCore> core;
};

TEST_F(TrackRecoveryCoreTest, ARunThatDidNotEndNormallyIsWrittenAtTheNextStart) {
    start();
    drive(0, 5);
    const TrackLog first = copyOfLog();
    // The journal follows the drive within a second, without anyone asking.
    const auto size = TrackJournal::HeaderSize + 5 * TrackJournal::RecordSize;
    EXPECT_TRUE(eventually([&] {
        std::error_code error;
        return fs::file_size(journal(), error) == size;
    }));
    core.reset();  // gone without its shutdown: no track file was written
    EXPECT_EQ(namesIn(tracks()), std::set<std::string>{TrackJournal::FileName});

    receiver = std::make_unique<PseudoTerminal>();
    start();
    EXPECT_EQ(namesIn(tracks()), (std::set<std::string>{"Track0001.gpx", "Track0001.kml"}));
    EXPECT_EQ(readFile(tracks() / "Track0001.kml"), TrackWriter(first).kmlText());
    EXPECT_EQ(readFile(tracks() / "Track0001.gpx"), TrackWriter(first).gpxText("Track0001.gpx"));

    drive(10, 13);
    const TrackLog second = copyOfLog();
    core->shutdown();
    EXPECT_EQ(namesIn(tracks()),
              (std::set<std::string>{"Track0001.gpx", "Track0001.kml", "Track0002.gpx", "Track0002.kml"}));
    EXPECT_EQ(readFile(tracks() / "Track0002.kml"), TrackWriter(second).kmlText());
}

TEST_F(TrackRecoveryCoreTest, ANormalEndWritesTheTracksAndLeavesNoJournal) {
    start();
    drive(0, 4);
    core->setComPort(receiver->path());  // a restart of the connection keeps the one journal
    drive(4, 6);
    EXPECT_TRUE(eventually([&] { return fs::exists(journal()); }));
    core->shutdown();
    EXPECT_EQ(namesIn(tracks()), (std::set<std::string>{"Track0001.gpx", "Track0001.kml"}));
    EXPECT_EQ(count(readFile(tracks() / "Track0001.gpx"), "<rtept "), 6u);
}

TEST_F(TrackRecoveryCoreTest, ATrackThatCannotBeWrittenAtExitKeepsItsJournal) {
    start();
    drive(0, 4);
    const TrackLog run = copyOfLog();
    // Every file number taken: the files of this run cannot be written at exit.
    fs::create_directories(tracks());
    for (int i = 1; i <= TrackWriter::MaxFileNumber; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Track%04i.kml", i);
        std::ofstream(tracks() / name);
        std::snprintf(name, sizeof name, "Track%04i.gpx", i);
        std::ofstream(tracks() / name);
    }
    core->shutdown();
    EXPECT_TRUE(fs::exists(journal()));
    // Room again at the next start: the run's points become its track files.
    fs::remove(tracks() / "Track0007.kml");
    fs::remove(tracks() / "Track0007.gpx");
    receiver = std::make_unique<PseudoTerminal>();
    start();
    EXPECT_EQ(readFile(tracks() / "Track0007.kml"), TrackWriter(run).kmlText());
    EXPECT_EQ(readFile(tracks() / "Track0007.gpx"), TrackWriter(run).gpxText("Track0007.gpx"));
    EXPECT_FALSE(fs::exists(journal()));
}

TEST_F(TrackRecoveryCoreTest, NoJournalWhenNoTrackIsWanted) {
    start(false);
    drive(0, 3);
    std::this_thread::sleep_for(TrackJournal::WritePeriod * 2);
    EXPECT_FALSE(fs::exists(tracks()));
    core.reset();
    EXPECT_FALSE(fs::exists(tracks()));
}

}  // namespace
}  // namespace movira
