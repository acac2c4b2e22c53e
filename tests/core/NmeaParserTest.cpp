#include "core/NmeaParser.h"

#include "tests/support/FakeClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace movira {
namespace {

using test::FakeClock;

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
    bool parse(const std::string& sentence) { return parser.parseSentence(sentence); }
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
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(parser.satellite(i)->isEmpty());
    EXPECT_EQ(parser.satellite(-1), nullptr);
    EXPECT_EQ(parser.satellite(12), nullptr);
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
    EXPECT_EQ(fix().localTime.year, 2031);  // decimal seconds: the device clock is used
    EXPECT_EQ(fix().utcTime.hour, 10);
    EXPECT_EQ(fix().utcTime.minute, 11);

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
         {"$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
          "$GLGSV,1,1,01,65,40,100,30*00", "$GPZDA,201530.00,04,07,2002,00,00*60",
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

    // A thirteenth distinct satellite finds no place.
    for (int prn = 10; prn < 30; prn += 4) {
        const std::string s = "$GPGSV,3,3,11," + std::to_string(prn) + ",1,2,3," + std::to_string(prn + 1) +
                              ",1,2,3," + std::to_string(prn + 2) + ",1,2,3," + std::to_string(prn + 3) + ",1,2,3*00";
        parse(s);
    }
    for (int i = 0; i < 12; ++i) EXPECT_FALSE(parser.satellite(i)->isEmpty());
    EXPECT_EQ(parser.satellite(11)->prn, 19);
    for (int i = 0; i < 12; ++i) EXPECT_NE(parser.satellite(i)->prn, 20);
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
    for (int i = 0; i < 12; ++i) ASSERT_NE(parser.satellite(i), nullptr);
}

TEST_F(NmeaParserTest, InPlaceGivesWhatTheCopyGives) {
    const std::string sentences[] = {
        kMunich, "$GPGGA,123519,4807.038,N,01131.000,W,1,08,0.9,545.4,M,46.9,M,,*47",
        "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74",
        "$GPRMC,123520,A,4807.038,N,01131.000,E," + std::string(300, '9') + ",7.5,230394,,",
        "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"};
    NmeaParser copying(clock);
    for (const std::string& sentence : sentences) {
        std::string buffer = sentence;
        EXPECT_EQ(parser.parseSentenceInPlace(buffer.data(), buffer.size()), copying.parseSentence(sentence));
        const GpsFix& a = parser.fix();
        const GpsFix& b = copying.fix();
        EXPECT_TRUE(a.latitude == b.latitude && a.longitude == b.longitude && a.altitude == b.altitude &&
                    a.speed == b.speed && a.speedKnots == b.speedKnots && a.course == b.course &&
                    a.hdop == b.hdop && a.satellitesUsed == b.satellitesUsed && a.valid == b.valid &&
                    a.utcTime.sameSecond(b.utcTime) && a.localTime.sameSecond(b.localTime))
            << sentence;
        EXPECT_EQ(buffer.size(), sentence.size());  // written into, never past its end
    }
    for (int i = 0; i < 12; ++i) EXPECT_EQ(parser.satellite(i)->prn, copying.satellite(i)->prn);
    EXPECT_FLOAT_EQ(parser.fix().course, 54.7f);
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
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(parser.satellite(i)->isEmpty());
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
