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
                  "$GPGGA,0800%02d.00,59%07.4f,N,03018.%04d,E,1,09,0.9,%.1f,M,16.8,M,,\r\n"
                  "$GPRMC,0800%02d,A,59%07.4f,N,03018.%04d,E,20.00,162.00,140626,,,A\r\n",
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
    AppCore& start(bool tracks = true, const std::string& extra = "") {
        std::ofstream(home.path() / "Speedometer.ini")
            << "[Main]\nUseGPSAPI=false\nCOMPort=" << receiver->path() << "\nEnableKMLTrack=" << (tracks ? "true" : "false")
            << "\nEnableGPXTrack=" << (tracks ? "true" : "false") << "\n" << extra;
        return startAsIs();
    }
    // With the settings file as it is.
    AppCore& startAsIs() {
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
    fs::path journals() const { return home.path() / "Journals"; }
    // The journal of the run now.
    std::string journalOfRun() const {
        const auto paths = TrackJournal::journalsIn(journals().string());
        return paths.empty() ? std::string() : paths.back();
    }

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
    EXPECT_TRUE(eventually([&] {
        TrackLog journaled;
        return TrackJournal::load(journalOfRun(), journaled) && journaled.size() == 5;
    }));
    core.reset();  // gone without its shutdown: no track file was written
    EXPECT_FALSE(fs::exists(tracks()));

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
    EXPECT_TRUE(eventually([&] { return !journalOfRun().empty(); }));
    core->shutdown();
    EXPECT_EQ(namesIn(tracks()), (std::set<std::string>{"Track0001.gpx", "Track0001.kml"}));
    EXPECT_TRUE(namesIn(journals()).empty());
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
    EXPECT_EQ(TrackJournal::journalsIn(journals().string()).size(), 1u);
    EXPECT_EQ(core->lastFailure(), "cannot write the track file " + tracks().string() +
                                       "/Track????.gpx: all 9999 file numbers are taken");
    // Room again at the next start: the run's points become its track files.
    fs::remove(tracks() / "Track0007.kml");
    fs::remove(tracks() / "Track0007.gpx");
    receiver = std::make_unique<PseudoTerminal>();
    start();
    EXPECT_EQ(readFile(tracks() / "Track0007.kml"), TrackWriter(run).kmlText());
    EXPECT_EQ(readFile(tracks() / "Track0007.gpx"), TrackWriter(run).gpxText("Track0007.gpx"));
    EXPECT_TRUE(namesIn(journals()).empty());
}

TEST_F(TrackRecoveryCoreTest, NoJournalWhenNoTrackIsWanted) {
    start(false);
    drive(0, 3);
    std::this_thread::sleep_for(TrackJournal::WritePeriod * 2);
    EXPECT_FALSE(fs::exists(journals()));
    core.reset();
    EXPECT_FALSE(fs::exists(tracks()));
    EXPECT_FALSE(fs::exists(journals()));
}

// The next start may not read its settings, or the user changed them: a killed run's journal
// still becomes the files that run wanted, in that run's folder.
TEST_F(TrackRecoveryCoreTest, AJournalIsRecoveredByItsOwnRunsSettings) {
    const fs::path trips = home.path() / "Trips";
    start(true, "TrackFolder=" + trips.string() + "\n");
    drive(0, 3);
    core->setEnableKmlTrack(false);  // while running: the journal follows
    drive(3, 5);
    const TrackLog run = copyOfLog();
    ASSERT_TRUE(eventually([&] {
        TrackLog journaled;
        TrackJournal::Run recorded;
        return TrackJournal::load(journalOfRun(), journaled, &recorded) && journaled.size() == 5 && !recorded.kml;
    }));
    core.reset();

    receiver = std::make_unique<PseudoTerminal>();
    start(true, "TrackFolder=" + (home.path() / "Other").string() + "\n");
    EXPECT_EQ(namesIn(trips), std::set<std::string>{"Track0001.gpx"});
    EXPECT_EQ(readFile(trips / "Track0001.gpx"), TrackWriter(run).gpxText("Track0001.gpx"));
    core.reset();
    fs::remove_all(trips);

    // And with a settings file that cannot be read at all (a folder by its name).
    receiver = std::make_unique<PseudoTerminal>();
    start(true, "TrackFolder=" + trips.string() + "\n");
    drive(0, 2);
    const TrackLog second = copyOfLog();
    ASSERT_TRUE(eventually([&] {
        TrackLog journaled;
        return TrackJournal::load(journalOfRun(), journaled) && journaled.size() == 2;
    }));
    core.reset();
    fs::remove(home.path() / "Speedometer.ini");
    fs::create_directory(home.path() / "Speedometer.ini");
    startAsIs();
    EXPECT_EQ(readFile(trips / "Track0001.kml"), TrackWriter(second).kmlText());
    EXPECT_EQ(readFile(trips / "Track0001.gpx"), TrackWriter(second).gpxText("Track0001.gpx"));
    EXPECT_TRUE(namesIn(journals()).empty());
    EXPECT_EQ(core->lastFailure(), "cannot write the settings file " + (home.path() / "Speedometer.ini").string() +
                                       ": it cannot be read, so it is left as it is");
}

// The track folder removed under a running program: the journal does not live there, and the
// files are made in a folder made again; a kill then loses nothing either.
TEST_F(TrackRecoveryCoreTest, ARemovedFolderLosesNothing) {
    start();
    drive(0, 3);
    ASSERT_TRUE(eventually([&] { return !journalOfRun().empty(); }));
    fs::remove_all(journals());
    fs::remove_all(tracks());
    drive(3, 6);
    const TrackLog run = copyOfLog();
    // Within a sync the journal is in its folder again, with every point.
    ASSERT_TRUE(eventually([&] {
        TrackLog journaled;
        return TrackJournal::load(journalOfRun(), journaled) && journaled.size() == 6;
    }, TrackJournal::SyncPeriod * 3));
    core.reset();
    receiver = std::make_unique<PseudoTerminal>();
    start();
    EXPECT_EQ(readFile(tracks() / "Track0001.kml"), TrackWriter(run).kmlText());
}

}  // namespace
}  // namespace movira
