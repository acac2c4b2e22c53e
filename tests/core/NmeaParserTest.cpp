#include "core/NmeaParser.h"

#include "tests/support/FakeClock.h"
#include "tests/support/NmeaChecksum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace movira {
namespace {

using test::FakeClock;
using test::sealed;

class NmeaParserTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }
    // Hand-written sentences get their right checksum; the checksum rules have tests of their own.
    bool parse(const std::string& sentence) { return parser.parseSentence(sealed(sentence)); }
    const GpsFix& fix() const { return parser.fix(); }

    FakeClock clock;
    NmeaParser parser{clock};
};

constexpr char kMunich[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

TEST_F(NmeaParserTest, StartsEmptyWithTheClockInUtcTime) {
    EXPECT_EQ(fix().latitude, NoValue);
    EXPECT_EQ(fix().speed, NoValue);
    EXPECT_EQ(fix().satellitesUsed, 0);
    EXPECT_FALSE(fix().valid);
    EXPECT_EQ(fix().utcTime.year, 2024);
    EXPECT_EQ(fix().utcTime.second, 15);
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) EXPECT_TRUE(parser.satellite(i)->isEmpty());
    EXPECT_GE(NmeaParser::SatelliteSlots, 64);
    EXPECT_EQ(parser.satellite(-1), nullptr);
    EXPECT_EQ(parser.satellite(NmeaParser::SatelliteSlots), nullptr);
    EXPECT_EQ(parser.trackPoint(0), nullptr);
}

TEST_F(NmeaParserTest, RmcCompletesAFix) {
    ASSERT_TRUE(parse(kMunich));
    EXPECT_FLOAT_EQ(fix().latitude, 48.117302f);
    EXPECT_FLOAT_EQ(fix().longitude, 11.516667f);
    EXPECT_FLOAT_EQ(fix().speedKnots, 22.4f);
    EXPECT_EQ(fix().speed, 22.4f * 1.852f);
    EXPECT_NEAR(fix().speed, 41.4848, 1e-4);
    EXPECT_FLOAT_EQ(fix().course, 84.4f);
    EXPECT_TRUE(fix().valid);
    const SystemTime& t = fix().utcTime;
    EXPECT_EQ(t.year, 1994);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 23);
    EXPECT_EQ(t.hour, 12);
    EXPECT_EQ(t.minute, 35);
    EXPECT_EQ(t.second, 19);
    ASSERT_EQ(parser.trackPointCount(), 1u);
    EXPECT_EQ(parser.trackPoint(0)->latitude, fix().latitude);
    EXPECT_EQ(parser.trackPoint(-1), nullptr);
    EXPECT_EQ(parser.trackPoint(1), nullptr);
}

TEST_F(NmeaParserTest, SouthAndWestAreNegative) {
    ASSERT_TRUE(parse("$GPRMC,123519,A,4807.038,S,01131.000,W,022.4,084.4,230394,003.1,W*6A"));
    EXPECT_FLOAT_EQ(fix().latitude, -48.117302f);
    EXPECT_FLOAT_EQ(fix().longitude, -11.516667f);
    // Only the exact letters count.
    ASSERT_TRUE(parse("$GPRMC,123519,A,4807.038,s,01131.000,WW,022.4,084.4,230394,003.1,W*6A"));
    EXPECT_GT(fix().latitude, 0);
    EXPECT_GT(fix().longitude, 0);
}

TEST_F(NmeaParserTest, TimeAndDateRules) {
    clock.set({2031, 7, 0, 9, 10, 11, 12, 0});
    ASSERT_TRUE(parse("$GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,*6A"));
    EXPECT_EQ(fix().localTime.year, 1994);  // decimal seconds are the receiver's time too
    EXPECT_EQ(fix().utcTime.hour, 12);
    EXPECT_EQ(fix().utcTime.minute, 35);

    ASSERT_TRUE(parse("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230389,,*6A"));
    EXPECT_EQ(fix().utcTime.year, 2089);
    ASSERT_TRUE(parse("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230390,,*6A"));
    EXPECT_EQ(fix().utcTime.year, 1990);
    ASSERT_TRUE(parse("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,2303900,,*6A"));
    EXPECT_EQ(fix().utcTime.year, 2031);  // a seven-character date: the clock again
}

TEST_F(NmeaParserTest, LocalTimeFollowsTheTimeZone) {
    setenv("TZ", "XST-3", 1);  // three hours east of UTC, no tz database needed
    tzset();
    ASSERT_TRUE(parse("$GPRMC,223519,A,4807.038,N,01131.000,E,022.4,084.4,311299,,*6A"));
    EXPECT_EQ(fix().utcTime.hour, 22);
    EXPECT_EQ(fix().localTime.year, 2000);
    EXPECT_EQ(fix().localTime.month, 1);
    EXPECT_EQ(fix().localTime.day, 1);
    EXPECT_EQ(fix().localTime.hour, 1);
    EXPECT_EQ(fix().localTime.dayOfWeek, 6);  // a Saturday
    EXPECT_EQ(parser.trackPoint(0)->localTime.hour, 1);
}

TEST_F(NmeaParserTest, OutOfRangeDatesNeverCrash) {
    ASSERT_TRUE(parse(kMunich));
    const SystemTime before = fix().localTime;
    for (const char* date : {"231394", "320394", "000094", "-1-1-1", "ab cd ", "290223"}) {
        const std::string sentence = std::string("$GPRMC,996199,A,4807.038,N,01131.000,E,1.0,084.4,") + date + ",,";
        EXPECT_TRUE(parse(sentence)) << date;
        EXPECT_TRUE(fix().localTime.sameSecond(before)) << date;  // nothing to convert: kept
    }
    ASSERT_TRUE(parse("$GPRMC,996199,A,4807.038,N,01131.000,E,1.0,084.4,231394,,"));
    EXPECT_EQ(fix().utcTime.month, 13);
    EXPECT_EQ(fix().utcTime.hour, 99);
}

TEST_F(NmeaParserTest, StatusAndMissingSpeed) {
    ASSERT_TRUE(parse("$GPRMC,123519,V,4807.038,N,01131.000,E,,084.4,230394,,*6A"));
    EXPECT_FALSE(fix().valid);
    EXPECT_EQ(fix().speed, NoValue);
    EXPECT_EQ(fix().speedKnots, NoValue);
    EXPECT_EQ(parser.trackPointCount(), 0u);  // no speed, no point
    ASSERT_TRUE(parse("$GPRMC,123519,A,4807.038,N,01131.000,E,,084.4,230394,,*6A"));
    EXPECT_TRUE(fix().valid);
    EXPECT_EQ(fix().speed, 0.0f);
    EXPECT_EQ(fix().speedKnots, 0.0f);
}

TEST_F(NmeaParserTest, SentencesBelowTheirMinimumChangeNothing) {
    ASSERT_TRUE(parse(kMunich));
    const GpsFix before = fix();
    EXPECT_FALSE(parse("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4"));  // nine separators
    EXPECT_FALSE(parse("$GPGGA,1,2,N,4,E,1,08,0.9,545.4"));                      // nine
    EXPECT_FALSE(parse("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5*"));                 // fifteen
    EXPECT_FALSE(parse("$GPGLL,4916.45,N,12311.12"));
    EXPECT_FALSE(parse("$GPVTG,1,T,3"));
    EXPECT_FALSE(parse("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"));
    EXPECT_FALSE(parse(""));
    EXPECT_EQ(std::memcmp(&before, &fix(), sizeof before), 0);
}

TEST_F(NmeaParserTest, OtherTalkersAndTypesAreIgnored) {
    const GpsFix before = fix();
    for (const char* sentence :
         {"$GXRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
          "$QZRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
          "$GPGSX,1,1,01,65,40,100,30*00", "$GPZDA,201530.00,04,07,2002,00,00*60",
          "$gprmc,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
          "$GPRMCX,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"}) {
        EXPECT_FALSE(parse(sentence)) << sentence;
    }
    EXPECT_EQ(std::memcmp(&before, &fix(), sizeof before), 0);
    EXPECT_TRUE(parser.satellite(0)->isEmpty());
}

TEST_F(NmeaParserTest, GgaGllGsaVtgUpdateTheirFields) {
    EXPECT_FALSE(parse("$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*47"));
    EXPECT_FLOAT_EQ(fix().latitude, 48.117302f);
    EXPECT_FLOAT_EQ(fix().longitude, -11.516667f);
    EXPECT_EQ(fix().satellitesUsed, 8);
    EXPECT_FLOAT_EQ(fix().hdop, 0.9f);
    EXPECT_FLOAT_EQ(fix().altitude, 545.4f);
    EXPECT_FALSE(fix().valid);  // GGA never decides validity
    EXPECT_FALSE(parse("$GPGGA,123519,4807.038,N,01131.000,W,1,,0.9,545.4,M,46.9,M,,*47"));
    EXPECT_EQ(fix().satellitesUsed, NoValueInt);

    EXPECT_FALSE(parse("$GPGLL,4916.45,N,12311.12,W,225444,A*31"));
    EXPECT_NEAR(fix().latitude, 49.274167, 1e-5);
    EXPECT_NEAR(fix().longitude, -123.185333, 1e-5);

    EXPECT_FALSE(parse("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39"));
    EXPECT_FLOAT_EQ(fix().pdop, 2.5f);
    EXPECT_FLOAT_EQ(fix().hdop, 1.3f);
    EXPECT_FLOAT_EQ(fix().vdop, 2.1f);
}

TEST_F(NmeaParserTest, VtgReadsTheSpeedOfEitherLayout) {
    // The layout with unit letters carries the knots in field 5, the magnetic course in field 3.
    EXPECT_FALSE(parse("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48"));
    EXPECT_FLOAT_EQ(fix().course, 54.7f);
    EXPECT_FLOAT_EQ(fix().speedKnots, 5.5f);
    EXPECT_FLOAT_EQ(fix().speed, 5.5f * 1.852f);
    EXPECT_FALSE(parse("$GPVTG,,T,,M,,N,,K,N*2C"));  // no fix: course kept, speed gone
    EXPECT_FLOAT_EQ(fix().course, 54.7f);
    EXPECT_EQ(fix().speed, NoValue);
    // The older layout without letters: course, magnetic course, knots, km/h.
    EXPECT_FALSE(parse("$GPVTG,054.7,034.4,012.5,023.2*48"));
    EXPECT_FLOAT_EQ(fix().speedKnots, 12.5f);
    // Letters but cut before the knots: the speed is not taken from stale fields.
    EXPECT_FALSE(parse("$GPVTG,10.0,T,034.4,M*48"));
    EXPECT_FLOAT_EQ(fix().speedKnots, 12.5f);
    EXPECT_FLOAT_EQ(fix().course, 10.0f);
}

TEST_F(NmeaParserTest, SatelliteTable) {
    EXPECT_FALSE(parse("$GPGSV,3,1,11,03,03,111,00*74"));  // one block
    EXPECT_EQ(parser.satellite(0)->prn, 3);
    EXPECT_EQ(parser.satellite(0)->elevation, 3);
    EXPECT_EQ(parser.satellite(0)->azimuth, 111);
    EXPECT_EQ(parser.satellite(0)->snr, 0);
    EXPECT_TRUE(parser.satellite(1)->isEmpty());

    // Existing numbers are updated in place, empty fields give NoValueInt, number 0 or empty is skipped.
    EXPECT_FALSE(parse("$GPGSV,3,2,11,03,10,,,00,1,2,3,,5,6,7,07,20,200,40*74"));
    EXPECT_EQ(parser.satellite(0)->elevation, 10);
    EXPECT_EQ(parser.satellite(0)->azimuth, NoValueInt);
    EXPECT_EQ(parser.satellite(0)->snr, NoValueInt);
    EXPECT_EQ(parser.satellite(1)->prn, 7);
    EXPECT_TRUE(parser.satellite(2)->isEmpty());

    // The number that marks an empty entry is no satellite.
    EXPECT_FALSE(parse("$GPGSV,3,2,11,-9999,10,20,30*74"));
    EXPECT_TRUE(parser.satellite(2)->isEmpty());
    EXPECT_EQ(parser.satellite(2)->elevation, NoValueInt);

    // Past the last free entry a satellite finds no place (no complete cycle frees one here).
    for (int prn = 100; prn < 100 + 4 * NmeaParser::SatelliteSlots; prn += 4) {
        const std::string s = "$GAGSV,3,3,11," + std::to_string(prn) + ",1,2,3," + std::to_string(prn + 1) +
                              ",1,2,3," + std::to_string(prn + 2) + ",1,2,3," + std::to_string(prn + 3) + ",1,2,3*00";
        parse(s);
    }
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) EXPECT_FALSE(parser.satellite(i)->isEmpty());
    EXPECT_EQ(parser.satellite(2)->prn, 100);
    EXPECT_EQ(parser.satellite(2)->constellation, Constellation::Galileo);
    EXPECT_EQ(parser.satellite(NmeaParser::SatelliteSlots - 1)->prn, 100 + NmeaParser::SatelliteSlots - 3);
}

TEST_F(NmeaParserTest, GsvBlocksMustLieBeforeTheChecksum) {
    // A block cut by the checksum is not used, nor are fields left over from a longer sentence.
    EXPECT_FALSE(parse("$GPGSV,1,1,02,05,10,100,30,06,20,200,40,07,30,300,50,08,40,045,20*00"));
    EXPECT_EQ(parser.satellite(3)->prn, 8);
    EXPECT_FALSE(parse("$GPGSV,1,1,02,09,11,111,*00"));
    EXPECT_EQ(parser.satellite(4)->prn, 9);
    EXPECT_FALSE(parse("$GPGSV,1,1,02,10,11,111*00"));  // only three fields of a block
    EXPECT_TRUE(parser.satellite(5)->isEmpty());
}

TEST_F(NmeaParserTest, TrackPointsAreFilteredAndDeduplicated) {
    ASSERT_TRUE(parse(kMunich));
    ASSERT_TRUE(parse(kMunich));
    EXPECT_EQ(parser.trackPointCount(), 1u);
    ASSERT_TRUE(parse("$GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,,"));
    EXPECT_EQ(parser.trackPointCount(), 2u);  // another second
    ASSERT_TRUE(parse("$GPRMC,123521,A,,N,01131.000,E,022.4,084.4,230394,,"));
    EXPECT_EQ(parser.trackPointCount(), 2u);  // no latitude
    EXPECT_FALSE(parse("$GPGGA,123521,4807.038,N,01131.000,E,1,08,0.9,600.0,M,46.9,M,,*47"));
    ASSERT_TRUE(parse("$GPRMC,123521,V,4807.038,N,01131.000,E,0.0,084.4,230394,,"));
    EXPECT_EQ(parser.trackPointCount(), 3u);  // validity is not consulted
    EXPECT_FLOAT_EQ(parser.trackPoint(2)->altitude, 600.0f);
}

TEST_F(NmeaParserTest, NonFiniteNumbersReadAsEmpty) {
    ASSERT_TRUE(parse(kMunich));
    for (const char* bad : {"nan", "inf", "-inf", "1e999", "NAN(123)", "infinity", "1e39"}) {
        const std::string sentence =
            std::string("$GPRMC,123519,A,4807.038,N,01131.000,E,") + bad + "," + bad + ",230394,,";
        ASSERT_TRUE(parse(sentence)) << bad;
        EXPECT_EQ(fix().speed, 0.0f) << bad;  // valid fix without usable speed: standing
        EXPECT_FLOAT_EQ(fix().course, 84.4f) << bad;  // the last course stays
        parse(std::string("$GPGGA,1,") + bad + ",N,01131.000,E,1,08," + bad + "," + bad + ",M,0,M,,");
        EXPECT_EQ(fix().latitude, NoValue) << bad;
        EXPECT_EQ(fix().altitude, NoValue) << bad;
        EXPECT_EQ(fix().hdop, NoValue) << bad;
    }
}

TEST_F(NmeaParserTest, FieldsAreCutNeverSpilled) {
    const std::string longField(500, '7');
    ASSERT_TRUE(parse("$GPRMC,123519,A,4807.038,N,01131.000,E," + longField + ",084.4,230394,,"));
    EXPECT_FLOAT_EQ(fix().course, 84.4f);  // the next field is still the course
    EXPECT_EQ(fix().speed, 0.0f);          // 99 sevens overflow float: no speed, standing
    EXPECT_EQ(fix().utcTime.year, 1994);

    std::string manyFields = "$GPGSV,9,9,99";
    for (int i = 0; i < 60; ++i) manyFields += ",4" + std::to_string(i % 10);
    EXPECT_FALSE(parse(manyFields));
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) ASSERT_NE(parser.satellite(i), nullptr);
}

TEST_F(NmeaParserTest, InPlaceGivesWhatTheCopyGives) {
    const std::string sentences[] = {
        kMunich, "$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*47",
        "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74",
        "$GPRMC,123520,A,4807.038,N,01131.000,E," + std::string(300, '9') + ",7.5,230394,,",
        "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"};
    NmeaParser copying(clock);
    for (const std::string& sentence : sentences) {
        std::string buffer = sealed(sentence);
        EXPECT_EQ(parser.parseSentenceInPlace(buffer.data(), buffer.size()), copying.parseSentence(sealed(sentence)));
        const GpsFix& a = parser.fix();
        const GpsFix& b = copying.fix();
        EXPECT_TRUE(a.latitude == b.latitude && a.longitude == b.longitude && a.altitude == b.altitude &&
                    a.speed == b.speed && a.speedKnots == b.speedKnots && a.course == b.course &&
                    a.hdop == b.hdop && a.satellitesUsed == b.satellitesUsed && a.valid == b.valid &&
                    a.utcTime.sameSecond(b.utcTime) && a.localTime.sameSecond(b.localTime))
            << sentence;
        EXPECT_EQ(buffer.size(), sealed(sentence).size());  // written into, never past its end
    }
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) EXPECT_EQ(parser.satellite(i)->prn, copying.satellite(i)->prn);
    EXPECT_FLOAT_EQ(parser.fix().course, 54.7f);
}

// ---- Today's receivers: talkers, their own time, checksums, every constellation -------------

TEST_F(NmeaParserTest, EveryFixTalkerIsRead) {
    struct Case {
        const char* talker;
        bool read;
    };
    for (const Case c : {Case{"GP", true}, {"GN", true}, {"GL", true}, {"GA", true}, {"GB", true}, {"BD", true},
                         {"GQ", true}, {"QZ", false}, {"GI", false}, {"GX", false}, {"gn", false}}) {
        SCOPED_TRACE(c.talker);
        NmeaParser fresh(clock);
        const std::string t = c.talker;
        EXPECT_EQ(fresh.parseSentence(sealed("$" + t + "RMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,*00")),
                  c.read);
        fresh.parseSentence(sealed("$" + t + "GGA,123519,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*00"));
        fresh.parseSentence(sealed("$" + t + "GSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*00"));
        fresh.parseSentence(sealed("$" + t + "VTG,054.7,T,034.4,M,005.5,N,010.2,K*00"));
        EXPECT_EQ(fresh.fix().altitude == 545.4f, c.read);
        EXPECT_EQ(fresh.fix().pdop == 2.5f, c.read);
        EXPECT_EQ(fresh.fix().speedKnots == 5.5f, c.read);
        EXPECT_EQ(fresh.trackPointCount(), c.read ? 1u : 0u);
    }
}

TEST_F(NmeaParserTest, TimeWithDecimalsIsTheReceiversToTheMillisecond) {
    struct Case {
        const char* time;
        int second, milliseconds;
    };
    for (const Case c : {Case{"123519.5", 19, 500}, {"123519.25", 19, 250}, {"123519.125", 19, 125},
                         {"123519.00", 19, 0}, {"123519.1239", 19, 123}, {"235959.999", 59, 999}}) {
        SCOPED_TRACE(c.time);
        ASSERT_TRUE(parse(std::string("$GPRMC,") + c.time + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,,"));
        EXPECT_EQ(fix().utcTime.year, 1994);
        EXPECT_EQ(fix().utcTime.second, c.second);
        EXPECT_EQ(fix().utcTime.milliseconds, c.milliseconds);
        EXPECT_EQ(fix().localTime.milliseconds, c.milliseconds);
    }
    EXPECT_EQ(parser.trackPoint(0)->localTime.milliseconds, 500);
    // Whole seconds keep the milliseconds there were, as they always did.
    ASSERT_TRUE(parse("$GPRMC,123520,A,4807.038,N,01131.000,E,022.4,084.4,230394,,"));
    EXPECT_EQ(fix().utcTime.milliseconds, 999);
}

TEST_F(NmeaParserTest, MalformedTimesFallBackToTheDeviceClock) {
    clock.set({2031, 7, 0, 9, 10, 11, 12, 345});
    for (const char* time : {"", "12351", "1235190", "123519.", "123519,5", "12a519.50", "123519.5x", "1235.9.50",
                             "123519:50", " 23519.50"}) {
        SCOPED_TRACE(time);
        ASSERT_TRUE(parse(sealed(std::string("$GPRMC,") + time + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,,*00")));
        EXPECT_EQ(fix().localTime.year, 2031);
        EXPECT_EQ(fix().localTime.milliseconds, 345);
        ASSERT_TRUE(parse("$GPRMC,123519.50,A,4807.038,N,01131.000,E,022.4,084.4,230394,,"));
        EXPECT_EQ(fix().localTime.year, 1994);
    }
    // A date that is not ddmmyy makes the time useless too.
    ASSERT_TRUE(parse("$GPRMC,123519.50,A,4807.038,N,01131.000,E,022.4,084.4,23039,,"));
    EXPECT_EQ(fix().localTime.year, 2031);
}

TEST_F(NmeaParserTest, ChecksumsThatDoNotMatchDropTheSentence) {
    const std::string body = "$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,508.4,M,46.9,M,,";
    struct Case {
        const char* name;
        std::string sentence;
        bool read;
    };
    for (const Case& c : {Case{"right", body + "*5C", true},
                          {"lower-case hex", body + "*5c", true},
                          {"missing", body, true},
                          {"white space after", body + "*5C \t", true},
                          {"wrong", body + "*5D", false},
                          {"a digit changed in the data",
                           "$GPGGA,123519,4807.038,N,01131.000,W,1,09,0.9,508.4,M,46.9,M,,*5C", false},
                          {"cut after *", body + "*", false},
                          {"one digit", body + "*5", false},
                          {"not hex", body + "*5G", false},
                          {"three digits", body + "*5C0", false}}) {
        SCOPED_TRACE(c.name);
        NmeaParser fresh(clock);
        fresh.parseSentence(c.sentence);
        const bool read = fresh.fix().altitude != NoValue || fresh.fix().speedKnots != NoValue;
        EXPECT_EQ(read, c.read) << c.sentence;
        EXPECT_EQ(NmeaParser::checksumMatches(c.sentence.data(), c.sentence.size()), c.read);
    }
    // A corrupt GSV leaves no phantom satellite, a corrupt RMC completes no fix.
    EXPECT_FALSE(parser.parseSentence("$GPGSV,3,3,11,110,45,200,40*00"));
    EXPECT_TRUE(parser.satellite(0)->isEmpty());
    EXPECT_FALSE(parser.parseSentence("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B"));
    EXPECT_EQ(parser.trackPointCount(), 0u);
}

TEST_F(NmeaParserTest, GpAndGnForTheSameMomentGiveOneFix) {
    const auto rmc = [](const char* talker, const char* time, const char* latitude) {
        return sealed(std::string("$") + talker + "RMC," + time + ",A," + latitude +
                      ",N,01131.000,E,022.4,084.4,230394,,*00");
    };
    struct Step {
        std::string sentence;
        bool fix;
        float latitudeMinutes;  // of the fix afterwards
    };
    // GP first, then GN of the same second: GN takes the lead from the next second on.
    const std::vector<Step> steps = {
        {rmc("GP", "123519.00", "4807.000"), true, 7.0f},   {rmc("GN", "123519.00", "4807.500"), false, 7.0f},
        {rmc("GP", "123520.00", "4808.000"), false, 7.0f},  {rmc("GN", "123520.00", "4808.500"), true, 8.5f},
        {rmc("GN", "123521.00", "4809.500"), true, 9.5f},   {rmc("GP", "123521.00", "4809.000"), false, 9.5f},
        // GN falls silent: the second GP in a row with nothing from GN between takes over.
        {rmc("GP", "123522.00", "4810.000"), true, 10.0f},  {rmc("GP", "123523.00", "4811.000"), true, 11.0f},
        {rmc("GP", "123524.00", "4812.000"), true, 12.0f},  {rmc("GL", "123524.00", "4812.500"), false, 12.0f},
        // GN is back: it leads at once, its second is new.
        {rmc("GN", "123525.00", "4813.500"), true, 13.5f},  {rmc("GP", "123525.00", "4813.000"), false, 13.5f},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.sentence);
        EXPECT_EQ(parser.parseSentence(step.sentence), step.fix);
        EXPECT_NEAR(fix().latitude, 48.0 + step.latitudeMinutes / 60.0, 1e-5);
    }
    EXPECT_EQ(parser.trackPointCount(), 7u);
    // The other sentence types follow their own lead the same way.
    parse("$GNGGA,123526,4807.038,N,01131.000,W,1,12,0.9,100.0,M,46.9,M,,");
    parse("$GPGGA,123526,4807.038,N,01131.000,W,1,08,0.9,200.0,M,46.9,M,,");
    EXPECT_EQ(fix().altitude, 100.0f);
    EXPECT_EQ(fix().satellitesUsed, 12);
}

std::string gsv(const std::string& talker, int total, int number, const std::vector<int>& prns, int signal = -1) {
    std::string s = "$" + talker + "GSV," + std::to_string(total) + "," + std::to_string(number) + ",99";
    for (const int prn : prns) s += "," + std::to_string(prn) + ",45," + std::to_string(prn % 360) + ",40";
    if (signal >= 0) s += "," + std::to_string(signal);
    return sealed(s + "*00");
}

// The table as "G5 R67 E5 ..." in table order, so that a case reads as the sky it means.
std::string sky(const NmeaParser& parser) {
    std::string text;
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) {
        const SatelliteInfo& s = *parser.satellite(i);
        if (s.isEmpty()) continue;
        text += (text.empty() ? "" : " ") + std::string(1, constellationLetter(s.constellation)) + std::to_string(s.prn);
    }
    return text;
}

TEST_F(NmeaParserTest, GsvCyclesOfEveryTalkerKeepTheirOwnSatellites) {
    struct Step {
        std::string sentence;
        std::string sky;  // after it
    };
    const std::vector<Step> steps = {
        {gsv("GP", 2, 1, {5, 7, 9, 40}), "G5 G7 G9 S40"},
        {gsv("GP", 2, 2, {13}), "G5 G7 G9 S40 G13"},
        {gsv("GL", 1, 1, {67, 68}), "G5 G7 G9 S40 G13 R67 R68"},
        {gsv("GA", 1, 1, {5, 7}), "G5 G7 G9 S40 G13 R67 R68 E5 E7"},  // numbers of another system
        {gsv("GB", 1, 1, {5}), "G5 G7 G9 S40 G13 R67 R68 E5 E7 C5"},
        {gsv("GN", 1, 1, {5, 70, 201, 305}), "G5 G7 G9 S40 G13 R67 R68 E5 E7 C5 R70 C201 E305"},
        // A complete GPS cycle without 7 and 40: they left the view; the other systems stay.
        {gsv("GP", 2, 1, {5, 9}), "G5 G7 G9 S40 G13 R67 R68 E5 E7 C5 R70 C201 E305"},
        {gsv("GP", 2, 2, {13, 20}), "G5 G9 G13 R67 R68 E5 E7 C5 R70 C201 E305 G20"},
        // A cycle with a sentence lost to line noise proves nothing: nobody leaves.
        {gsv("GL", 3, 1, {67}), "G5 G9 G13 R67 R68 E5 E7 C5 R70 C201 E305 G20"},
        {gsv("GL", 3, 3, {}), "G5 G9 G13 R67 R68 E5 E7 C5 R70 C201 E305 G20"},
        // An empty sky ends them all; the free entries are taken again first.
        {sealed("$GAGSV,1,1,00*00"), "G5 G9 G13 R67 R68 C5 R70 C201 E305 G20"},
        {gsv("GA", 1, 1, {11}), "G5 E11 G9 G13 R67 R68 C5 R70 C201 E305 G20"},
        // Signals of NMEA 4.10 have cycles of their own: L5 does not end the satellites of L1.
        {gsv("GQ", 1, 1, {1, 2}, 1), "G5 E11 G9 J1 G13 R67 R68 J2 C5 R70 C201 E305 G20"},
        {gsv("GQ", 1, 1, {2}, 7), "G5 E11 G9 J1 G13 R67 R68 J2 C5 R70 C201 E305 G20"},
        {gsv("GQ", 1, 1, {2}, 1), "G5 E11 G9 G13 R67 R68 J2 C5 R70 C201 E305 G20"},
    };
    for (const Step& step : steps) {
        parse(step.sentence);
        EXPECT_EQ(sky(parser), step.sky) << step.sentence;
    }
}

TEST_F(NmeaParserTest, ASatelliteOnTwoSignalsShowsTheStrengthOfOne) {
    parse("$GPGSV,1,1,01,05,45,100,40,1*00");
    parse("$GPGSV,1,1,01,05,46,101,30,7*00");
    EXPECT_EQ(parser.satellite(0)->snr, 40);
    EXPECT_EQ(parser.satellite(0)->elevation, 46);
    // L1 loses it: the L5 strength shows from then on.
    parse("$GPGSV,1,1,00,1*00");
    parse("$GPGSV,1,1,01,05,46,101,31,7*00");
    EXPECT_EQ(parser.satellite(0)->snr, 31);
}

TEST(NmeaConversions, NumbersAsTheCLibraryReadsThem) {
    EXPECT_EQ(NmeaParser::parseNumber(""), NoValue);
    EXPECT_EQ(NmeaParser::parseNumber("abc"), 0.0f);
    EXPECT_EQ(NmeaParser::parseNumber("12abc"), 12.0f);
    EXPECT_EQ(NmeaParser::parseNumber("  3.5"), 3.5f);
    EXPECT_EQ(NmeaParser::parseNumber("+3.5"), 3.5f);
    EXPECT_EQ(NmeaParser::parseNumber("1e2"), 100.0f);
    EXPECT_EQ(NmeaParser::parseNumber("0x10"), 16.0f);
    EXPECT_EQ(NmeaParser::parseNumber("-"), 0.0f);
    EXPECT_EQ(NmeaParser::parseNumber("."), 0.0f);
    EXPECT_EQ(NmeaParser::parseNumber("5."), 5.0f);
    EXPECT_EQ(NmeaParser::parseNumber(".5"), 0.5f);
    // The quick path for plain decimals must round exactly as strtod does.
    std::mt19937 random(7);
    for (int i = 0; i < 200000; ++i) {
        char text[40];
        const int whole = static_cast<int>(random() % 100000);
        const int decimals = static_cast<int>(random() % 9);
        std::snprintf(text, sizeof text, "%s%d.%0*u", random() % 2 ? "-" : "", whole, decimals,
                      static_cast<unsigned>(random() % 1000000000u) % (decimals ? 1u << 30 : 1u));
        const auto expected = static_cast<float>(std::strtod(text, nullptr));
        ASSERT_EQ(NmeaParser::parseNumber(text), expected) << text;
    }
    for (const char* text : {"00000000000000000000001.5", "123456789012345678901234", "0.1234567890123456789012345",
                             "4807.0380000000000000001", "-0"}) {
        EXPECT_EQ(NmeaParser::parseNumber(text), static_cast<float>(std::strtod(text, nullptr))) << text;
    }
}

TEST(NmeaConversions, IntegersSaturateAndDegreesStayDefined) {
    EXPECT_EQ(NmeaParser::parseInteger(""), NoValueInt);
    EXPECT_EQ(NmeaParser::parseInteger("08"), 8);
    EXPECT_EQ(NmeaParser::parseInteger(" -12x"), -12);
    EXPECT_EQ(NmeaParser::parseInteger("x"), 0);
    EXPECT_EQ(NmeaParser::parseInteger("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(NmeaParser::parseInteger("-99999999999999999999"), INT32_MIN);

    EXPECT_EQ(NmeaParser::nmeaToDegrees(NoValue), NoValue);
    EXPECT_FLOAT_EQ(NmeaParser::nmeaToDegrees(4807.038f), 48.117302f);
    EXPECT_FLOAT_EQ(NmeaParser::nmeaToDegrees(-4807.038f), -48.117302f);
    EXPECT_TRUE(std::isfinite(NmeaParser::nmeaToDegrees(3.0e38f)));
    EXPECT_TRUE(std::isfinite(NmeaParser::nmeaToDegrees(-3.0e38f)));
    EXPECT_EQ(NmeaParser::knotsToKmh(NoValue), NoValue);
    EXPECT_EQ(NmeaParser::knotsToKmh(3.0e38f), NoValue);  // finite knots, but no float km/h
}

// Position records from the GPS access library.
class PositionRecordTest : public NmeaParserTest {
protected:
    static PositionRecord munich() {
        PositionRecord r{};
        r.validFields = 0xFFF;
        r.utcTime = {2024, 2, 4, 29, 23, 59, 58, 500};
        r.latitude = 48.117302;
        r.longitude = -11.516667;
        r.speed = 10.0f;
        r.heading = 270.5f;
        r.altitudeSeaLevel = 512.0f;
        r.fixType = 2;
        r.pdop = 2.5f;
        r.hdop = 1.5f;
        r.vdop = 2.0f;
        r.satellitesUsed = 7;
        r.satellitesInView = 2;
        r.inViewPrns[0] = 5;
        r.inViewElevations[0] = 45;
        r.inViewAzimuths[0] = 90;
        r.inViewSnrs[0] = 38;
        r.inViewPrns[1] = 12;
        return r;
    }
};

TEST_F(PositionRecordTest, RecordWithFix) {
    const PositionRecord r = munich();
    EXPECT_TRUE(parser.applyPositionRecord(&r));
    EXPECT_TRUE(fix().valid);
    EXPECT_EQ(fix().latitude, 48.117302f);
    EXPECT_EQ(fix().longitude, -11.516667f);
    EXPECT_EQ(fix().speedKnots, 10.0f);
    EXPECT_EQ(fix().speed, 18.52f);
    EXPECT_EQ(fix().course, 270.5f);
    EXPECT_EQ(fix().altitude, 512.0f);
    EXPECT_EQ(fix().pdop, 2.5f);
    EXPECT_EQ(fix().satellitesUsed, 7);
    EXPECT_EQ(fix().utcTime.day, 29);
    EXPECT_EQ(fix().localTime.milliseconds, 500);
    EXPECT_EQ(parser.satellite(0)->snr, 38);
    EXPECT_EQ(parser.satellite(1)->prn, 12);
    EXPECT_TRUE(parser.satellite(2)->isEmpty());  // number 0
    EXPECT_EQ(parser.satellite(0)->constellation, Constellation::Gps);
    EXPECT_EQ(parser.trackPointCount(), 1u);
}

TEST_F(PositionRecordTest, ClearBitsKeepTheLastValues) {
    PositionRecord r = munich();
    parser.applyPositionRecord(&r);
    r.validFields = PositionRecord::LatitudeValid;
    r.latitude = 10.0;
    r.speed = 99.0f;
    r.heading = 1.0f;
    r.satellitesInView = 0;
    r.inViewPrns[0] = 0;
    parser.applyPositionRecord(&r);
    EXPECT_EQ(fix().latitude, 10.0f);
    EXPECT_EQ(fix().speedKnots, 10.0f);
    EXPECT_EQ(fix().speed, 18.52f);
    EXPECT_EQ(fix().course, 270.5f);
    EXPECT_EQ(parser.satellite(0)->prn, 5);  // no satellites in view: the table stays
    r.validFields = 0;
    r.speed = -3.0f;
    parser.applyPositionRecord(&r);
    EXPECT_EQ(fix().speed, 18.52f);
}

TEST_F(PositionRecordTest, NoRecordAndNoFix) {
    PositionRecord r = munich();
    parser.applyPositionRecord(&r);
    clock.set({2030, 1, 2, 1, 0, 0, 0, 0});
    EXPECT_TRUE(parser.applyPositionRecord(nullptr));
    EXPECT_EQ(fix().latitude, NoValue);
    EXPECT_EQ(fix().speed, NoValue);
    EXPECT_EQ(fix().pdop, NoValue);
    EXPECT_EQ(fix().course, 270.5f);
    EXPECT_EQ(fix().satellitesUsed, 7);
    EXPECT_TRUE(fix().valid);  // only a record says otherwise
    EXPECT_EQ(fix().localTime.year, 2030);
    EXPECT_EQ(parser.satellite(0)->prn, 5);

    r.fixType = 0;
    EXPECT_TRUE(parser.applyPositionRecord(&r));
    EXPECT_FALSE(fix().valid);
    EXPECT_EQ(fix().altitude, NoValue);
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) EXPECT_TRUE(parser.satellite(i)->isEmpty());
    EXPECT_EQ(parser.trackPointCount(), 1u);
}

TEST_F(PositionRecordTest, BrokenValuesNeverReachTheFix) {
    PositionRecord r = munich();
    r.latitude = std::nan("");
    r.longitude = 1e300;  // beyond float
    r.speed = -std::numeric_limits<float>::infinity();
    r.utcTime.month = 13;
    r.satellitesInView = 0xFFFFFFFF;
    EXPECT_TRUE(parser.applyPositionRecord(&r));
    EXPECT_EQ(fix().latitude, NoValue);
    EXPECT_EQ(fix().longitude, NoValue);
    EXPECT_EQ(fix().speed, 0.0f);
    EXPECT_EQ(parser.trackPointCount(), 0u);
}

}  // namespace
}  // namespace movira
