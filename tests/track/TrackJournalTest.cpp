#include "track/TrackJournal.h"

#include "track/TrackWriter.h"

#include "tests/support/Eventually.h"
#include "tests/track/TrackFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace movira {
namespace {

using namespace test;

// Points unlike each other in every field, odd float values included.
std::vector<TrackPoint> somePoints(size_t n) {
    std::vector<TrackPoint> points;
    for (size_t i = 0; i < n; ++i) {
        const float f = static_cast<float>(i);
        points.push_back(TrackPoint{100.0f + f, 30.31f + f * 1e-4f, 59.93f - f * 1e-4f, std::fmod(f * 7.5f, 360.0f),
                                    f * 1.852f, SystemTime{2024, 5, 5, 3, 14, static_cast<uint16_t>(i / 60 % 60),
                                                           static_cast<uint16_t>(i % 60), static_cast<uint16_t>(i % 1000)}});
    }
    points[0].altitude = NoValue;
    if (n > 1) points[1].course = std::numeric_limits<float>::quiet_NaN();
    return points;
}

std::vector<TrackPoint> pointsOf(const TrackLog& log) {
    std::vector<TrackPoint> points;
    for (size_t i = 0; i < log.size(); ++i) points.push_back(log[i]);
    return points;
}

// Bit for bit: NaN must come back as the same NaN.
bool sameBytes(const std::vector<TrackPoint>& a, const std::vector<TrackPoint>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(TrackPoint)) == 0);
}

class TrackJournalTest : public ::testing::Test {
protected:
    // The one journal in the folder (empty when there is none).
    std::string journalPath() const {
        const auto paths = TrackJournal::journalsIn(journals.string());
        EXPECT_LE(paths.size(), 1u);
        return paths.empty() ? std::string() : paths.back();
    }
    std::vector<TrackPoint> loaded(const std::string& path) const {
        TrackLog log;
        TrackJournal::load(path, log);
        return pointsOf(log);
    }
    std::vector<TrackPoint> loaded() const { return loaded(journalPath()); }
    // A journal file holding `points`, as a run leaves it.
    void journalOf(const std::vector<TrackPoint>& points, const TrackJournal::Run& run) {
        TrackJournal journal;
        journal.start(journals.string(), run);
        for (const TrackPoint& p : points) journal.push(p);
        journal.stop();
    }
    void journalOf(const std::vector<TrackPoint>& points) { journalOf(points, run); }
    // Mark, settings of `run`, check.
    static size_t headerSize(const TrackJournal::Run& run) { return TrackJournal::MarkSize + 9 + run.trackFolder.size(); }

    TemporaryFolder folder;
    fs::path journals = folder.path() / "home" / "Journals";  // not there yet
    fs::path tracks = folder.path() / "card" / "Tracks";
    TrackJournal::Run run{tracks.string(), true, true};
};

TEST_F(TrackJournalTest, PointsComeBackAsHandedOver) {
    const auto points = somePoints(300);
    TrackJournal journal;
    journal.start(journals.string(), run);
    for (const TrackPoint& p : points) EXPECT_TRUE(journal.push(p));
    ASSERT_TRUE(journal.flush());
    EXPECT_EQ(journal.path(), journalPath());
    EXPECT_EQ(fs::file_size(journalPath()), headerSize(run) + points.size() * TrackJournal::RecordSize);
    TrackLog log;
    TrackJournal::Run recorded;
    EXPECT_TRUE(TrackJournal::load(journalPath(), log, &recorded));
    EXPECT_TRUE(sameBytes(pointsOf(log), points));
    EXPECT_EQ(recorded, run);
    journal.stop();
    EXPECT_TRUE(fs::exists(journalPath()));  // a stop keeps it: only a written track ends it
    journal.remove();
    EXPECT_TRUE(namesIn(journals).empty());
    EXPECT_EQ(journal.droppedPoints(), 0u);
}

TEST_F(TrackJournalTest, WrittenWithinASecondWithoutBeingAsked) {
    TrackJournal journal;
    journal.start(journals.string(), run);
    journal.push(somePoints(1)[0]);
    const size_t expected = headerSize(run) + TrackJournal::RecordSize;
    EXPECT_TRUE(eventually([&] {
        std::error_code error;
        return fs::file_size(journal.path(), error) == expected;
    }, TrackJournal::WritePeriod * 5));
}

TEST_F(TrackJournalTest, NoPointNoFile) {
    TrackJournal journal;
    journal.start(journals.string(), run);
    journal.flush();
    journal.stop();
    EXPECT_FALSE(fs::exists(journals));
    journal.remove();  // nothing to remove: no harm
}

TEST_F(TrackJournalTest, RestartsOfTheConnectionKeepOneJournal) {
    const auto points = somePoints(5);
    TrackJournal journal;
    journal.start(journals.string(), run);
    for (size_t i = 0; i < 3; ++i) journal.push(points[i]);
    journal.stop();
    journal.start((folder.path() / "elsewhere").string(), run);  // the first folder stays
    for (size_t i = 3; i < 5; ++i) journal.push(points[i]);
    journal.stop();
    EXPECT_TRUE(sameBytes(loaded(), points));
    EXPECT_FALSE(fs::exists(folder.path() / "elsewhere"));
}

// A journal left by an earlier run is not ours to touch: each run writes its own file.
TEST_F(TrackJournalTest, AnEarlierRunsJournalIsNeverTouched) {
    journalOf(somePoints(10));
    const std::string earlier = journalPath();
    const std::string before = readFile(earlier);
    const auto points = somePoints(2);
    TrackJournal journal;
    journal.start(journals.string(), run);
    journal.push(points[1]);
    journal.stop();
    EXPECT_EQ(readFile(earlier), before);
    const auto paths = TrackJournal::journalsIn(journals.string());
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], earlier);
    EXPECT_TRUE(sameBytes(loaded(paths[1]), {points[1]}));
}

// The options change the run's track folder or formats: the journal records them from then on,
// with every point so far, in one file.
TEST_F(TrackJournalTest, NewRunSettingsMoveEveryPointToAFileThatRecordsThem) {
    const auto points = somePoints(5);
    TrackJournal journal;
    journal.start(journals.string(), run);
    for (size_t i = 0; i < 3; ++i) journal.push(points[i]);
    journal.flush();
    const TrackJournal::Run changed{(folder.path() / "other").string(), false, true};
    journal.setRun(changed);
    for (size_t i = 3; i < 5; ++i) journal.push(points[i]);
    journal.stop();
    TrackLog log;
    TrackJournal::Run recorded;
    ASSERT_TRUE(TrackJournal::load(journalPath(), log, &recorded));
    EXPECT_EQ(recorded, changed);
    EXPECT_TRUE(sameBytes(pointsOf(log), points));
}

// The journal's folder removed while the run goes on: a new file there takes every point the
// old one held, within a sync.
TEST_F(TrackJournalTest, ARemovedFolderIsMadeAgainAndLosesNothing) {
    const auto points = somePoints(6);
    FailureLog failures(nullptr);
    TrackJournal journal(&failures);
    journal.start(journals.string(), run);
    for (size_t i = 0; i < 3; ++i) journal.push(points[i]);
    journal.flush();
    fs::remove_all(journals);
    journal.flush();  // a flush syncs, and a sync looks
    ASSERT_TRUE(fs::exists(journal.path()));
    for (size_t i = 3; i < 6; ++i) journal.push(points[i]);
    journal.flush();
    EXPECT_TRUE(sameBytes(loaded(), points));
    EXPECT_EQ(failures.last(), "");
}

// The reader never waits: when the writer is far behind, points are left out of the journal.
TEST_F(TrackJournalTest, AFullHandOverDropsPointsInsteadOfWaiting) {
    const auto points = somePoints(TrackJournal::Capacity + 3);
    TrackJournal journal;  // not started: nothing takes the points yet
    size_t taken = 0;
    for (const TrackPoint& p : points) taken += journal.push(p);
    EXPECT_EQ(taken, TrackJournal::Capacity);
    EXPECT_EQ(journal.droppedPoints(), 3u);
    journal.start(journals.string(), run);
    journal.flush();
    EXPECT_TRUE(journal.push(points.back()));
    journal.stop();
    auto expected = std::vector<TrackPoint>(points.begin(), points.begin() + TrackJournal::Capacity);
    expected.push_back(points.back());
    EXPECT_TRUE(sameBytes(loaded(), expected));
}

// What a power cut or a kill can leave: the good records are read, the rest is left out.
TEST_F(TrackJournalTest, DamagedJournalsGiveTheirGoodRecords) {
    const auto points = somePoints(4);
    journalOf(points);
    const std::string path = journalPath();
    const std::string whole = readFile(path);
    const size_t header = headerSize(run), record = TrackJournal::RecordSize;
    auto flipped = [&](size_t at) {
        std::string bytes = whole;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
        return bytes;
    };
    struct Case {
        const char* what;
        std::string bytes;
        bool found;
        std::vector<TrackPoint> expected;
    };
    const std::vector<TrackPoint> firstThree(points.begin(), points.begin() + 3);
    const std::vector<Case> cases = {
        {"whole", whole, true, points},
        {"last record cut after one byte", whole.substr(0, whole.size() - record + 1), true, firstThree},
        {"last record cut in the middle", whole.substr(0, whole.size() - 20), true, firstThree},
        {"last record one byte short", whole.substr(0, whole.size() - 1), true, firstThree},
        {"zeros after the end (a file grown but not written)", whole + std::string(4096, '\0'), true, points},
        {"a flipped bit in the third record", flipped(header + 2 * record + 5), true,
         {points[0], points[1], points[3]}},
        {"a flipped bit in a check", flipped(header + record - 1), true, {points[1], points[2], points[3]}},
        {"a flipped bit in the run's folder", flipped(TrackJournal::MarkSize + 6), false, {}},
        {"a run of a size no run has", whole.substr(0, 8) + std::string(4, '\xff') + whole.substr(12), false, {}},
        {"header only", whole.substr(0, header), true, {}},
        {"header cut", whole.substr(0, header - 3), false, {}},
        {"empty", "", false, {}},
        {"another file by that name", "name,value\r\n" + whole, false, {}},
    };
    for (const Case& c : cases) {
        writeFile(path, c.bytes);
        TrackLog log;
        EXPECT_EQ(TrackJournal::load(path, log), c.found) << c.what;
        EXPECT_TRUE(sameBytes(pointsOf(log), c.expected)) << c.what;
    }
    TrackLog log;
    EXPECT_FALSE(TrackJournal::load((tracks / "none").string(), log));
    EXPECT_FALSE(TrackJournal::load(journals.string(), log));  // a folder
    EXPECT_EQ(log.size(), 0u);
}

// Each journal is written as its own run wanted, into its own run's folder, whatever this start's
// settings say (they may be unreadable, or changed).
TEST_F(TrackJournalTest, RecoveryWritesWhatTheJournalsRunWantedUnderTheNextNumbersAndEndsIt) {
    struct Case {
        bool kml, gpx;
        std::set<std::string> files;
    };
    const Case cases[] = {
        {true, true, {"Track0001.gpx", "Track0002.kml"}},
        {true, false, {"Track0002.kml"}},
        {false, true, {"Track0001.gpx"}},
        {false, false, {}},
    };
    std::vector<TrackPoint> points = somePoints(30);
    points[0].altitude = 12.0f;
    TrackLog log;
    for (const TrackPoint& p : points) log.append(p);
    const TrackJournal::Run thisStart{(folder.path() / "elsewhere").string(), false, false};
    for (const Case& c : cases) {
        fs::remove_all(tracks);
        journalOf(points, {tracks.string(), c.kml, c.gpx});
        fs::create_directories(tracks);
        writeFile(tracks / "Track0001.kml", "an earlier track");
        TrackJournal::recover(journals.string(), thisStart);
        std::set<std::string> expected = c.files;
        expected.insert("Track0001.kml");
        EXPECT_EQ(namesIn(tracks), expected) << c.kml << c.gpx;
        EXPECT_TRUE(namesIn(journals).empty());
        if (c.kml) {
            EXPECT_EQ(readFile(tracks / "Track0002.kml"), TrackWriter(log).kmlText());
        }
        if (c.gpx) {
            EXPECT_EQ(readFile(tracks / "Track0001.gpx"), TrackWriter(log).gpxText("Track0001.gpx"));
        }
    }
    EXPECT_FALSE(fs::exists(thisStart.trackFolder));
    fs::remove_all(tracks);
    journalOf(points);
    TrackJournal::recover(journals.string(), thisStart);
    EXPECT_TRUE(passesSchema(tracks / "Track0001.kml"));
    EXPECT_TRUE(passesSchema(tracks / "Track0001.gpx"));
}

// A full card: the journal stays, later runs add their own, and once there is room every run
// becomes its tracks, oldest first. Meanwhile the failure is said, and a file that could be
// written is not written again.
TEST_F(TrackJournalTest, JournalsThatCannotBeWrittenWaitAndAreRecoveredOldestFirst) {
    const auto points = somePoints(8);
    const std::vector<TrackPoint> first(points.begin(), points.begin() + 3), second(points.begin() + 3, points.end());
    fs::create_directories(tracks);
    for (int i = 1; i <= TrackWriter::MaxFileNumber; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Track%04i.gpx", i);
        writeFile(tracks / name, "");
    }
    journalOf(first);
    FailureLog failures(nullptr);
    TrackJournal::recover(journals.string(), {}, &failures);
    EXPECT_EQ(failures.last(), "cannot write the track file " + tracks.string() +
                                   "/Track????.gpx: all 9999 file numbers are taken");
    journalOf(second);
    EXPECT_EQ(TrackJournal::journalsIn(journals.string()).size(), 2u);
    TrackJournal::recover(journals.string(), {}, &failures);
    EXPECT_EQ(TrackJournal::journalsIn(journals.string()).size(), 2u);

    fs::remove(tracks / "Track0004.gpx");
    fs::remove(tracks / "Track0009.gpx");
    TrackJournal::recover(journals.string(), {});
    TrackLog firstLog, secondLog;
    for (const TrackPoint& p : first) firstLog.append(p);
    for (const TrackPoint& p : second) secondLog.append(p);
    EXPECT_EQ(readFile(tracks / "Track0004.gpx"), TrackWriter(firstLog).gpxText("Track0004.gpx"));
    EXPECT_EQ(readFile(tracks / "Track0009.gpx"), TrackWriter(secondLog).gpxText("Track0009.gpx"));
    EXPECT_EQ(readFile(tracks / "Track0001.kml"), TrackWriter(firstLog).kmlText());
    EXPECT_EQ(readFile(tracks / "Track0002.kml"), TrackWriter(secondLog).kmlText());
    EXPECT_FALSE(fs::exists(tracks / "Track0003.kml"));
    EXPECT_TRUE(namesIn(journals).empty());
}

// The journal an earlier version kept in the track folder is recovered with this start's settings,
// but never thrown away unread when they want no track.
TEST_F(TrackJournalTest, AnEarlierVersionsJournalIsRecoveredWithThisStartsSettings) {
    journalOf(somePoints(4));
    std::string bytes = readFile(journalPath());
    fs::remove_all(journals);
    bytes = std::string("MVTRKJ1\n") + bytes.substr(headerSize(run));
    fs::create_directories(tracks);
    const fs::path legacy = tracks / TrackJournal::LegacyFileName;
    writeFile(legacy, bytes);
    TrackJournal::recover(journals.string(), {tracks.string(), false, false});
    EXPECT_EQ(readFile(legacy), bytes);
    TrackJournal::recover(journals.string(), {tracks.string(), true, false});
    EXPECT_EQ(namesIn(tracks), std::set<std::string>{"Track0001.kml"});
}

TEST_F(TrackJournalTest, RecoveryLeavesOtherFilesAndEmptyJournalsGiveNoTrack) {
    fs::create_directories(journals);
    const fs::path other = journals / "movira-track-000001.journal";
    writeFile(other, "not a journal");
    TrackJournal::recover(journals.string(), run);
    EXPECT_EQ(readFile(other), "not a journal");
    fs::remove(other);

    TrackJournal journal;  // a run that ended without a point to its name
    journal.start(journals.string(), run);
    journal.push(somePoints(1)[0]);
    journal.stop();
    fs::resize_file(journalPath(), headerSize(run));
    TrackJournal::recover(journals.string(), run);
    EXPECT_TRUE(namesIn(journals).empty());
    EXPECT_TRUE(namesIn(tracks).empty());
}

// A card taken out, a folder that is a file: the run goes on without a journal, says so once,
// and does not crash.
TEST_F(TrackJournalTest, AnUnwritableFolderGivesNoJournalAndSaysWhy) {
    fs::create_directories(folder.path() / "home");
    writeFile(journals, "not a folder");
    FailureLog failures(nullptr);
    TrackJournal journal(&failures);
    journal.start(journals.string(), run);
    for (const TrackPoint& p : somePoints(10)) journal.push(p);
    journal.flush();
    journal.stop();
    journal.remove();
    EXPECT_EQ(failures.last().rfind("cannot write the track journal folder " + journals.string() + ": ", 0), 0u)
        << failures.last();
    TrackJournal::recover(journals.string(), run);
    EXPECT_EQ(namesIn(folder.path() / "home"), std::set<std::string>{"Journals"});
}

}  // namespace
}  // namespace movira
