#include "track/TrackWriter.h"

#include "tests/track/TrackFiles.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <vector>

namespace movira {
namespace {

using namespace test;

constexpr char kKmlHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml xmlns=\"http://earth.google.com/kml/2.1\">\r\n"
    "<Placemark>\r\n\t<name>Movira track</name>\r\n\t<LineString>\r\n\t\t<extrude>0</extrude>\r\n"
    "\t\t<tessellate>1</tessellate>\r\n\t\t<altitudeMode>clampToGround</altitudeMode>\r\n\t\t<coordinates>\r\n";
constexpr char kKmlFooter[] = "\t\t</coordinates>\r\n\t</LineString>\r\n</Placemark>\r\n</kml>";

void setZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

class TrackWriterTest : public ::testing::Test {
protected:
    void SetUp() override { setZone("UTC0"); }
    void TearDown() override { setZone("UTC0"); }

    // The point lines of the KML text of `log`, without header and footer.
    static std::string kmlPoints(const TrackLog& log) {
        const std::string text = TrackWriter(log).kmlText();
        const size_t header = sizeof kKmlHeader - 1, footer = sizeof kKmlFooter - 1;
        EXPECT_EQ(text.substr(0, header), kKmlHeader);
        EXPECT_EQ(text.substr(text.size() - footer), kKmlFooter);
        return text.substr(header, text.size() - header - footer);
    }

    TemporaryFolder folder;
};

// Which points go into the files: every place on the Earth, except one that repeats the position
// written before (standing still). Level roads, roads along a parallel or a meridian and receivers
// without altitude keep every point.
TEST_F(TrackWriterTest, PointFilter) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        std::vector<TrackPoint> points;
        std::string lines;
    };
    const std::vector<Case> cases = {
        {"the figures of the example", {point(55.75f, 37.62f, 150.5f)}, "\t\t\t37.620000,55.750000,150.500000\r\n"},
        {"no altitude: on the ground", {point(55.75f, 37.62f, NoValue), point(55.76f, 37.63f, NoValue)},
         "\t\t\t37.620000,55.750000,0.000000\r\n\t\t\t37.630000,55.760000,0.000000\r\n"},
        {"no latitude", {point(NoValue, 37.62f, 10.0f)}, ""},
        {"no longitude", {point(55.75f, NoValue, 10.0f)}, ""},
        {"level ground", {point(1.0f, 2.0f, 3.0f), point(1.5f, 2.5f, 3.0f), point(1.25f, 2.25f, 3.0f)},
         "\t\t\t2.000000,1.000000,3.000000\r\n\t\t\t2.500000,1.500000,3.000000\r\n"
         "\t\t\t2.250000,1.250000,3.000000\r\n"},
        {"along a parallel", {point(1.0f, 2.0f, 3.0f), point(1.0f, 2.5f, 3.5f)},
         "\t\t\t2.000000,1.000000,3.000000\r\n\t\t\t2.500000,1.000000,3.500000\r\n"},
        {"along a meridian", {point(1.0f, 2.0f, 3.0f), point(1.5f, 2.0f, 3.5f)},
         "\t\t\t2.000000,1.000000,3.000000\r\n\t\t\t2.000000,1.500000,3.500000\r\n"},
        {"standing still, even when the altitude wanders",
         {point(1.0f, 2.0f, 3.0f), point(1.0f, 2.0f, 3.5f), point(1.0f, 2.0f, NoValue), point(1.5f, 2.0f, 3.0f),
          point(1.0f, 2.0f, 3.0f)},
         "\t\t\t2.000000,1.000000,3.000000\r\n\t\t\t2.000000,1.500000,3.000000\r\n"
         "\t\t\t2.000000,1.000000,3.000000\r\n"},
        {"south and west, below the sea", {point(-33.856159f, -151.215256f, -12.25f)},
         "\t\t\t-151.215260,-33.856160,-12.250000\r\n"},
        {"the ends of the ranges are places", {point(90.0f, -180.0f, 0.0f), point(-90.0f, 180.0f, 1.0f)},
         "\t\t\t-180.000000,90.000000,0.000000\r\n\t\t\t180.000000,-90.000000,1.000000\r\n"},
        {"not a place: left out, the next one is held against the last written; no number is no altitude",
         {point(1.0f, 2.0f, 3.0f), point(nan, 2.5f, 3.5f), point(1.5f, inf, 3.5f), point(90.5f, 2.5f, 3.5f),
          point(1.5f, -180.5f, 3.5f), point(1.0f, 2.0f, 4.0f), point(1.5f, 2.5f, -inf)},
         "\t\t\t2.000000,1.000000,3.000000\r\n\t\t\t2.500000,1.500000,0.000000\r\n"},
        {"six decimals of the float's shortest decimal, rounded as printf rounds",
         {point(0.1f, 1e-7f, 123456.789f), point(-0.0000005f, 179.9999999f, 0.1234567f),
          point(1.0f, -0.5e-6f, 8848.86f)},
         "\t\t\t0.000000,0.100000,123456.790000\r\n\t\t\t180.000000,-0.000000,0.123457\r\n"
         "\t\t\t-0.000000,1.000000,8848.860000\r\n"},
    };
    for (const Case& c : cases) {
        TrackLog log;
        for (const TrackPoint& p : c.points) log.append(p);
        EXPECT_EQ(kmlPoints(log), c.lines) << c.what;
        // The GPX file takes exactly the same points.
        const std::string gpx = TrackWriter(log).gpxText("Track0001.gpx");
        EXPECT_EQ(count(gpx, "<rtept "), count(c.lines, "\r\n")) << c.what;
    }
}

TEST_F(TrackWriterTest, GpxPointWithoutAltitudeHasNoEle) {
    const std::string gpx = TrackWriter(logOf({point(55.75f, 37.62f, NoValue)})).gpxText("Track0001.gpx");
    EXPECT_NE(gpx.find(" <rtept lat=\"55.750000\" lon=\"37.620000\">\r\n  <time>2024-05-03T14:05:09Z</time>\r\n"
                       " </rtept>\r\n"),
              std::string::npos)
        << gpx;
}

// A receiver that never sends an altitude, a day on level ground.
TrackLog dayOnLevelGround() {
    TrackLog day;
    for (int i = 0; i < 86'400; ++i) {
        const auto step = static_cast<float>(i);
        day.append(point(59.0f + step * 1e-5f, 30.0f, i % 2 ? NoValue : 120.0f));
    }
    return day;
}

// Every fix is a point, and the files of many megabytes, written piece by piece, hold exactly
// the whole text.
TEST_F(TrackWriterTest, ADayWithoutAltitudeKeepsEveryPoint) {
    const TrackLog day = dayOnLevelGround();
    const std::string gpx = TrackWriter(day).gpxText("Track0001.gpx");
    EXPECT_EQ(count(gpx, "<rtept "), 86'400u);
    ASSERT_TRUE(TrackWriter(day).writeGpx(folder.str()));
    ASSERT_TRUE(TrackWriter(day).writeKml(folder.str()));
    EXPECT_EQ(readFile(folder.path() / "Track0001.gpx"), gpx);
    EXPECT_EQ(readFile(folder.path() / "Track0001.kml"), TrackWriter(day).kmlText());
}

// A card that fills up in the middle of a file: no file, nothing left behind, and the reason.
// A limit on the file size stands in for the full card (writes past it fail with EFBIG).
TEST_F(TrackWriterTest, ACardFullMidFileLeavesNoFile) {
    const TrackLog day = dayOnLevelGround();
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 3 << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    FileFailure failure;
    const bool written = TrackWriter(day).writeGpx(folder.str(), &failure);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(written);
    EXPECT_TRUE(namesIn(folder.path()).empty());
    EXPECT_EQ(failure.path, (folder.path() / "Track0001.gpx").string());
    EXPECT_EQ(failure.reason, std::strerror(EFBIG));
}

TEST_F(TrackWriterTest, GpxTextOfOnePoint) {
    const TrackLog log = logOf({point(55.75f, 37.62f, 150.5f)});
    EXPECT_EQ(TrackWriter(log).gpxText("Track0042.gpx"),
              "<?xml version=\"1.0\"?>\r\n<gpx \r\n version=\"1.0\"\r\n creator=\"Movira V2.95 - https://movira.app\"\r\n"
              " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
              " xmlns=\"http://www.topografix.com/GPX/1/0\"\r\n"
              " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 http://www.topografix.com/GPX/1/0/gpx.xsd\">\r\n"
              "<rte>\r\n  <name>Track0042.gpx</name>\r\n"
              " <rtept lat=\"55.750000\" lon=\"37.620000\">\r\n  <ele>150.500000</ele>\r\n"
              "  <time>2024-05-03T14:05:09Z</time>\r\n </rtept>\r\n</rte>\r\n</gpx>");
}

// The points carry local times; GPX holds them in UTC, by the rules of the zone on that date.
TEST_F(TrackWriterTest, GpxTimesAreUtc) {
    struct Case {
        const char* zone;
        SystemTime local;
        const char* time;  // empty: no time element
    };
    const Case cases[] = {
        {"MSK-3", {2024, 5, 5, 3, 14, 5, 9, 0}, "2024-05-03T11:05:09Z"},
        {"UTC0", {2024, 5, 5, 3, 14, 5, 9, 999}, "2024-05-03T14:05:09Z"},
        {"MSK-3", {2024, 1, 1, 1, 1, 30, 0, 0}, "2023-12-31T22:30:00Z"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", {2024, 7, 1, 1, 12, 0, 0, 0}, "2024-07-01T10:00:00Z"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", {2024, 1, 1, 15, 12, 0, 0, 0}, "2024-01-15T11:00:00Z"},
        {"EST5EDT,M3.2.0,M11.1.0", {2024, 2, 4, 29, 20, 0, 1, 0}, "2024-03-01T01:00:01Z"},
        {"UTC0", {1994, 13, 0, 23, 12, 35, 19, 0}, ""},  // a receiver's month 13
        {"UTC0", {2024, 2, 0, 30, 12, 0, 0, 0}, ""},
    };
    for (const Case& c : cases) {
        setZone(c.zone);
        const std::string gpx = TrackWriter(logOf({point(1.0f, 2.0f, 3.0f, c.local)})).gpxText("Track0001.gpx");
        if (*c.time) {
            EXPECT_NE(gpx.find(std::string("  <time>") + c.time + "</time>\r\n"), std::string::npos) << c.zone << " " << c.time;
        } else {
            EXPECT_EQ(gpx.find("<time>"), std::string::npos) << c.zone;
            EXPECT_NE(gpx.find("  <ele>3.000000</ele>\r\n </rtept>\r\n"), std::string::npos);
        }
    }
}

// One log across the spring and autumn changes of a summer-time zone.
TEST_F(TrackWriterTest, GpxTimesFollowSummerTimeChangesWithinOneTrack) {
    setZone("CET-1CEST,M3.5.0,M10.5.0/3");
    const TrackLog log = logOf({point(1.0f, 1.0f, 1.0f, {2024, 3, 0, 31, 1, 59, 58, 0}),
                                point(2.0f, 2.0f, 2.0f, {2024, 3, 0, 31, 1, 59, 59, 0}),
                                point(3.0f, 3.0f, 3.0f, {2024, 3, 0, 31, 3, 0, 0, 0}),
                                point(4.0f, 4.0f, 4.0f, {2024, 3, 0, 31, 3, 0, 1, 0}),
                                point(5.0f, 5.0f, 5.0f, {2024, 10, 0, 27, 1, 59, 59, 0}),
                                point(6.0f, 6.0f, 6.0f, {2024, 10, 0, 27, 3, 0, 0, 0})});
    const std::string gpx = TrackWriter(log).gpxText("Track0001.gpx");
    std::string times;
    for (size_t at = gpx.find("<time>"); at != std::string::npos; at = gpx.find("<time>", at + 1)) {
        times += gpx.substr(at + 6, 20) + " ";
    }
    EXPECT_EQ(times, "2024-03-31T00:59:58Z 2024-03-31T00:59:59Z 2024-03-31T01:00:00Z 2024-03-31T01:00:01Z "
                     "2024-10-26T23:59:59Z 2024-10-27T02:00:00Z ");
}

TEST_F(TrackWriterTest, EveryLineEndsInCrLfAndTheLastTagHasNone) {
    const TrackLog log = logOf({point(1.0f, 2.0f, 3.0f), point(2.0f, 3.0f, 4.0f)});
    for (const std::string& text : {TrackWriter(log).kmlText(), TrackWriter(log).gpxText("Track0001.gpx")}) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "at " << i;
            }
            if (text[i] == '\r') {
                EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "at " << i;
            }
        }
        EXPECT_EQ(text.back(), '>');
    }
}

TEST_F(TrackWriterTest, AnEmptyLogMakesTheFolderButNoFile) {
    const fs::path tracks = folder.path() / "Tracks";
    const TrackLog empty;
    TrackWriter(empty).writeKml(tracks.string());
    TrackWriter(empty).writeGpx(tracks.string());
    EXPECT_TRUE(fs::is_directory(tracks));
    EXPECT_TRUE(namesIn(tracks).empty());
}

TEST_F(TrackWriterTest, TheNextFreeNumberIsChosenPerFormat) {
    struct Case {
        std::vector<std::string> present;
        std::vector<std::string> folders;  // folders by a track's name count as taken
        const char* nextKml;
        const char* nextGpx;
    };
    const Case cases[] = {
        {{}, {}, "Track0001.kml", "Track0001.gpx"},
        {{"Track0001.kml", "Track0002.kml"}, {}, "Track0003.kml", "Track0001.gpx"},
        {{"Track0002.kml", "Track0001.gpx"}, {}, "Track0001.kml", "Track0002.gpx"},
        {{"Track0001.kml", "track0002.kml", "Track0002.kml.tmp-abcdef", "Track2.kml"}, {}, "Track0002.kml", "Track0001.gpx"},
        {{"Track0001.gpx"}, {"Track0002.gpx"}, "Track0001.kml", "Track0003.gpx"},
    };
    const TrackLog log = logOf({point(1.0f, 2.0f, 3.0f)});
    for (const Case& c : cases) {
        TemporaryFolder here;
        for (const std::string& name : c.present) writeFile(here.path() / name, "x");
        for (const std::string& name : c.folders) fs::create_directory(here.path() / name);
        std::set<std::string> expected = namesIn(here.path());
        TrackWriter(log).writeKml(here.str());
        TrackWriter(log).writeGpx(here.str());
        expected.insert({c.nextKml, c.nextGpx});
        EXPECT_EQ(namesIn(here.path()), expected) << c.nextKml << " " << c.nextGpx;
        EXPECT_EQ(readFile(here.path() / c.nextKml), TrackWriter(log).kmlText());
        EXPECT_EQ(readFile(here.path() / c.nextGpx), TrackWriter(log).gpxText(c.nextGpx));
    }
}

TEST_F(TrackWriterTest, NoFileWhenAllNumbersAreTaken) {
    for (int n = 1; n <= TrackWriter::MaxFileNumber; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "Track%04i.kml", n);
        writeFile(folder.path() / name, "");
    }
    const TrackLog log = logOf({point(1.0f, 2.0f, 3.0f)});
    TrackWriter(log).writeKml(folder.str());
    TrackWriter(log).writeGpx(folder.str());
    const std::set<std::string> names = namesIn(folder.path());
    EXPECT_EQ(names.size(), size_t{TrackWriter::MaxFileNumber} + 1);
    EXPECT_TRUE(names.count("Track0001.gpx"));
    EXPECT_EQ(readFile(folder.path() / "Track9999.kml"), "");
}

TEST_F(TrackWriterTest, MissingFoldersAreMadeLevelByLevel) {
    const TrackLog log = logOf({point(1.0f, 2.0f, 3.0f)});
    for (const std::string tail : {"card/trips/2024", "card/trips/2024/", "a//b"}) {
        const fs::path tracks = folder.path() / tail;
        TrackWriter(log).writeKml(tracks.string());
        TrackWriter(log).writeGpx(tracks.string());
        EXPECT_EQ(namesIn(tracks), (std::set<std::string>{"Track0001.gpx", "Track0001.kml"})) << tail;
        fs::remove_all(folder.path() / "card");
    }
}

// Folders that cannot be made or written into: no file, no crash, nothing left behind. (Tests
// may run as root, whom modes do not stop: a plain file stands in the way instead.)
TEST_F(TrackWriterTest, AnUnwritableFolderGivesNoFile) {
    writeFile(folder.path() / "card", "not a folder");
    const TrackLog log = logOf({point(1.0f, 2.0f, 3.0f)});
    for (const fs::path& tracks : {folder.path() / "card", folder.path() / "card" / "Tracks", fs::path("/proc/movira")}) {
        TrackWriter(log).writeKml(tracks.string());
        TrackWriter(log).writeGpx(tracks.string());
    }
    EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"card"});
    EXPECT_EQ(readFile(folder.path() / "card"), "not a folder");
}

// Track files are the user's like any file they make: the umask says who else reads them. A
// file that cannot be written says where and why.
TEST_F(TrackWriterTest, FilesFollowTheUmaskAndFailuresSayWhy) {
    const TrackLog log = logOf({point(1.0f, 2.0f, 3.0f)});
    const mode_t previous = ::umask(027);
    const bool written = TrackWriter(log).writeKml(folder.str());
    ::umask(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(folder.path() / "Track0001.kml").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    writeFile(folder.path() / "card", "not a folder");
    FileFailure failure;
    EXPECT_FALSE(TrackWriter(log).writeGpx((folder.path() / "card").string(), &failure));
    EXPECT_EQ(failure.path, (folder.path() / "card").string());
    EXPECT_FALSE(failure.reason.empty());
    EXPECT_FALSE(TrackWriter(log).writeGpx((folder.path() / "card" / "Tracks").string(), &failure));
    EXPECT_EQ(failure.reason, "Not a directory");
}

TEST_F(TrackWriterTest, WrittenFilesPassTheSchemasAndGpsbabelReadsEveryPoint) {
    setZone("MSK-3");
    TrackLog drive;
    for (int i = 0; i < 120; ++i) {
        SystemTime t{2024, 5, 5, 3, 14, static_cast<uint16_t>(i / 60), static_cast<uint16_t>(i % 60), 0};
        const float altitude = i % 10 == 3 ? NoValue : 100.0f + static_cast<float>(i) * 0.5f;
        drive.append(point(59.93f + static_cast<float>(i) * 1e-4f, 30.31f - static_cast<float>(i) * 2e-4f, altitude, t));
        if (i % 17 == 0) drive.append(drive.back());  // repeats are filtered out
    }
    const TrackLog samples[] = {
        logOf({point(55.75f, 37.62f, 150.5f)}),
        logOf({point(-33.85f, -151.21f, -12.25f), point(90.0f, 180.0f, 0.0f), point(-90.0f, -180.0f, 8848.0f)}),
        logOf({point(1.0f, 2.0f, NoValue)}),  // a point without <ele>
        logOf({point(1.0f, 2.0f, 3.0f, {1994, 13, 0, 23, 12, 35, 19, 0})}),  // a point without a time
    };
    int file = 0;
    for (const TrackLog* log : std::initializer_list<const TrackLog*>{&drive, &samples[0], &samples[1], &samples[2], &samples[3]}) {
        ++file;
        TrackWriter(*log).writeKml(folder.str());
        TrackWriter(*log).writeGpx(folder.str());
        char kml[32], gpx[32];
        std::snprintf(kml, sizeof kml, "Track%04i.kml", file);
        std::snprintf(gpx, sizeof gpx, "Track%04i.gpx", file);
        EXPECT_TRUE(passesSchema(folder.path() / kml));
        EXPECT_TRUE(passesSchema(folder.path() / gpx));
        const std::string text = readFile(folder.path() / gpx);
        EXPECT_EQ(gpsbabelRoutePoints(folder.path() / gpx), static_cast<int>(count(text, "<rtept "))) << gpx;
    }
    EXPECT_EQ(count(readFile(folder.path() / "Track0001.gpx"), "<rtept "), size_t{120});
}

}  // namespace
}  // namespace movira
