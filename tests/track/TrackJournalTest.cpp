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
    std::string journalPath() const { return TrackJournal::pathIn(tracks.string()); }
    std::vector<TrackPoint> loaded() const {
        TrackLog log;
        TrackJournal::load(journalPath(), log);
        return pointsOf(log);
    }
    // A journal file holding `points`, as a run leaves it.
    void journalOf(const std::vector<TrackPoint>& points) {
        TrackJournal journal;
        journal.start(tracks.string());
        for (const TrackPoint& p : points) journal.push(p);
        journal.stop();
    }

    TemporaryFolder folder;
    fs::path tracks = folder.path() / "card" / "Tracks";  // not there yet
};

TEST_F(TrackJournalTest, PointsComeBackAsHandedOver) {
    const auto points = somePoints(300);
    TrackJournal journal;
    journal.start(tracks.string());
    for (const TrackPoint& p : points) EXPECT_TRUE(journal.push(p));
    ASSERT_TRUE(journal.flush());
    EXPECT_EQ(fs::file_size(journalPath()), TrackJournal::HeaderSize + points.size() * TrackJournal::RecordSize);
    EXPECT_TRUE(sameBytes(loaded(), points));
    journal.stop();
    EXPECT_TRUE(fs::exists(journalPath()));  // a stop keeps it: only a written track ends it
    journal.remove();
    EXPECT_FALSE(fs::exists(journalPath()));
    EXPECT_EQ(journal.droppedPoints(), 0u);
}

TEST_F(TrackJournalTest, WrittenWithinASecondWithoutBeingAsked) {
    TrackJournal journal;
    journal.start(tracks.string());
    journal.push(somePoints(1)[0]);
    const size_t expected = TrackJournal::HeaderSize + TrackJournal::RecordSize;
    EXPECT_TRUE(eventually([&] {
        std::error_code error;
        return fs::file_size(journalPath(), error) == expected;
    }, TrackJournal::WritePeriod * 5));
}

TEST_F(TrackJournalTest, NoPointNoFile) {
    TrackJournal journal;
    journal.start(tracks.string());
    journal.flush();
    journal.stop();
    EXPECT_FALSE(fs::exists(tracks));
    journal.remove();  // nothing to remove: no harm
}

TEST_F(TrackJournalTest, RestartsOfTheConnectionKeepOneJournal) {
    const auto points = somePoints(5);
    TrackJournal journal;
    journal.start(tracks.string());
    for (size_t i = 0; i < 3; ++i) journal.push(points[i]);
    journal.stop();
    journal.start((folder.path() / "elsewhere").string());  // the first folder stays
    for (size_t i = 3; i < 5; ++i) journal.push(points[i]);
    journal.stop();
    EXPECT_TRUE(sameBytes(loaded(), points));
    EXPECT_FALSE(fs::exists(folder.path() / "elsewhere"));
}

TEST_F(TrackJournalTest, AnEarlierRunsJournalIsReplacedByTheFirstPoint) {
    journalOf(somePoints(10));
    const auto points = somePoints(2);
    TrackJournal journal;
    journal.start(tracks.string());
    journal.flush();
    EXPECT_EQ(loaded().size(), 10u);  // untouched until there is something to write
    journal.push(points[1]);
    journal.stop();
    EXPECT_TRUE(sameBytes(loaded(), {points[1]}));
}

// The reader never waits: when the writer is far behind, points are left out of the journal.
TEST_F(TrackJournalTest, AFullHandOverDropsPointsInsteadOfWaiting) {
    const auto points = somePoints(TrackJournal::Capacity + 3);
    TrackJournal journal;  // not started: nothing takes the points yet
    size_t taken = 0;
    for (const TrackPoint& p : points) taken += journal.push(p);
    EXPECT_EQ(taken, TrackJournal::Capacity);
    EXPECT_EQ(journal.droppedPoints(), 3u);
    journal.start(tracks.string());
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
    const std::string whole = readFile(journalPath());
    const size_t header = TrackJournal::HeaderSize, record = TrackJournal::RecordSize;
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
        {"header only", whole.substr(0, header), true, {}},
        {"header cut", whole.substr(0, header - 3), false, {}},
        {"empty", "", false, {}},
        {"another file by that name", "name,value\r\n" + whole, false, {}},
    };
    for (const Case& c : cases) {
        writeFile(journalPath(), c.bytes);
        TrackLog log;
        EXPECT_EQ(TrackJournal::load(journalPath(), log), c.found) << c.what;
        EXPECT_TRUE(sameBytes(pointsOf(log), c.expected)) << c.what;
    }
    TrackLog log;
    EXPECT_FALSE(TrackJournal::load((tracks / "none").string(), log));
    EXPECT_FALSE(TrackJournal::load(tracks.string(), log));  // a folder
    EXPECT_EQ(log.size(), 0u);
}

TEST_F(TrackJournalTest, RecoveryWritesTheFlaggedFormatsUnderTheNextNumbersAndEndsTheJournal) {
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
    for (const Case& c : cases) {
        fs::remove_all(tracks);
        journalOf(points);
        writeFile(tracks / "Track0001.kml", "an earlier track");
        TrackJournal::recover(tracks.string(), c.kml, c.gpx);
        std::set<std::string> expected = c.files;
        expected.insert("Track0001.kml");
        EXPECT_EQ(namesIn(tracks), expected) << c.kml << c.gpx;
        if (c.kml) {
            EXPECT_EQ(readFile(tracks / "Track0002.kml"), TrackWriter(log).kmlText());
        }
        if (c.gpx) {
            EXPECT_EQ(readFile(tracks / "Track0001.gpx"), TrackWriter(log).gpxText("Track0001.gpx"));
        }
    }
    fs::remove_all(tracks);
    journalOf(points);
    TrackJournal::recover(tracks.string(), true, true);
    EXPECT_TRUE(passesSchema(tracks / "Track0001.kml"));
    EXPECT_TRUE(passesSchema(tracks / "Track0001.gpx"));
}

TEST_F(TrackJournalTest, RecoveryLeavesOtherFilesAndEmptyJournalsGiveNoTrack) {
    fs::create_directories(tracks);
    writeFile(journalPath(), "not a journal");
    TrackJournal::recover(tracks.string(), true, true);
    EXPECT_EQ(namesIn(tracks), std::set<std::string>{TrackJournal::FileName});
    EXPECT_EQ(readFile(journalPath()), "not a journal");

    writeFile(journalPath(), std::string("MVTRKJ1\n"));
    TrackJournal::recover(tracks.string(), true, true);
    EXPECT_TRUE(namesIn(tracks).empty());
}

// A card taken out, a folder that is a file: the run goes on without a journal, and no crash.
TEST_F(TrackJournalTest, AnUnwritableFolderGivesNoJournalAndNoCrash) {
    writeFile(folder.path() / "card", "not a folder");
    TrackJournal journal;
    journal.start(tracks.string());
    for (const TrackPoint& p : somePoints(10)) journal.push(p);
    journal.flush();
    journal.stop();
    journal.remove();
    TrackJournal::recover(tracks.string(), true, true);
    EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"card"});
}

}  // namespace
}  // namespace movira
