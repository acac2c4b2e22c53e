// A short receiver log through the parser and the track writer, held against the files it must
// give byte for byte (golden/). To change them on purpose, see golden/README.md.
#include "core/NmeaParser.h"
#include "track/TrackWriter.h"

#include "tests/support/FakeClock.h"
#include "tests/track/TrackFiles.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <cstdlib>
#include <sstream>

namespace movira {
namespace {

using namespace test;

const fs::path kGolden = MOVIRA_TRACK_GOLDEN_DIR;

TEST(TrackGoldenTest, ShortDriveGivesTheKnownKmlAndGpx) {
    // The log's UTC times become local times in the parser and UTC again in the GPX file.
    setenv("TZ", "MSK-3", 1);
    tzset();
    FakeClock clock;
    NmeaParser parser(clock);
    std::istringstream log(readFile(kGolden / "short-drive.nmea"));
    std::string line;
    while (std::getline(log, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        parser.parseSentence(line);
    }
    ASSERT_EQ(parser.trackPointCount(), 5u);  // the second without a fix adds none

    TemporaryFolder folder;
    TrackWriter writer(parser.trackLog());
    writer.writeKml(folder.str());
    writer.writeGpx(folder.str());
    const std::string kml = readFile(folder.path() / "Track0001.kml");
    const std::string gpx = readFile(folder.path() / "Track0001.gpx");

    if (const char* regenerate = std::getenv("MOVIRA_REGENERATE_GOLDEN"); regenerate && *regenerate) {
        writeFile(kGolden / "short-drive.kml", kml);
        writeFile(kGolden / "short-drive.gpx", gpx);
        GTEST_SKIP() << "golden files written to " << kGolden;
    }
    EXPECT_EQ(kml, readFile(kGolden / "short-drive.kml"));
    EXPECT_EQ(gpx, readFile(kGolden / "short-drive.gpx"));
    EXPECT_TRUE(passesSchema(kGolden / "short-drive.kml"));
    EXPECT_TRUE(passesSchema(kGolden / "short-drive.gpx"));
    EXPECT_EQ(gpsbabelRoutePoints(kGolden / "short-drive.gpx"), 4);  // the repeated place is left out
    setenv("TZ", "UTC0", 1);
    tzset();
}

}  // namespace
}  // namespace movira
