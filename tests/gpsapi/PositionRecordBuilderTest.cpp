// gpsd reports, as libgps decodes them, into the position record: the cases the receiver logs
// played through gpsd do not reach (differential fixes, reports without a time, values gpsd leaves
// out, a sky with DOPs only, values libgps could not read).
#include "gpsapi/PositionRecordBuilder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace movira {
namespace {

class PositionRecordBuilderTest : public ::testing::Test {
protected:
    // Decodes one JSON report the way libgps does for a connection, then applies it.
    const PositionRecord& report(std::string json) {
        EXPECT_EQ(gps_unpack(json.data(), data.get()), 0) << json;
        if (json.find("\"TPV\"") != std::string::npos) builder.applyTpv(*data);
        if (json.find("\"SKY\"") != std::string::npos) builder.applySky(*data);
        return builder.record();
    }

    std::unique_ptr<gps_data_t> data = std::make_unique<gps_data_t>();
    PositionRecordBuilder builder;
};

TEST_F(PositionRecordBuilderTest, EachReportedValueSetsItsBitAndOnlyThat) {
    using P = PositionRecord;
    constexpr uint32_t time = P::UtcTimeValid, latLon = P::LatitudeValid | P::LongitudeValid;
    constexpr uint32_t altitudes = P::AltitudeSeaLevelValid | P::AltitudeEllipsoidValid;
    const struct {
        const char* tpv;
        uint32_t fixType, quality, bits;
    } cases[] = {
        {R"({"class":"TPV","mode":3,"status":2,"time":"2026-06-14T08:04:38.250Z","lat":59.93,"lon":-30.31,)"
         R"("altHAE":34.3,"altMSL":17.5,"track":162.25,"magvar":11.1,"speed":52.5})",
         2, 2, time | latLon | P::SpeedValid | P::HeadingValid | altitudes | P::MagneticVariationValid},
        {R"({"class":"TPV","mode":3,"time":"2026-06-14T08:04:38.250Z","lat":59.93,"lon":-30.31,"speed":0.0})",
         2, 1, time | latLon | P::SpeedValid},
        {R"({"class":"TPV","mode":2,"lat":59.93,"lon":-30.31,"altMSL":17.5})", 1, 1,
         latLon | P::AltitudeSeaLevelValid},
        // Without a fix only the time counts, even when a position came along.
        {R"({"class":"TPV","mode":1,"time":"2026-06-14T08:11:21.000Z","lat":59.9,"lon":-30.3})", 0, 0, time},
        {R"({"class":"TPV","mode":0})", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tpv);
        const PositionRecord& r = report(c.tpv);
        EXPECT_EQ(r.fixType, c.fixType);
        EXPECT_EQ(r.fixQuality, c.quality);
        EXPECT_EQ(r.validFields, c.bits);
        EXPECT_EQ(r.latitude, (c.bits & P::LatitudeValid) ? 59.93 : 0.0);
        EXPECT_EQ(r.altitudeSeaLevel, (c.bits & P::AltitudeSeaLevelValid) ? 17.5f : 0.0f);
    }
    const PositionRecord& r = report(cases[0].tpv);
    EXPECT_EQ(r.utcTime.dayOfWeek, 0);  // 2026-06-14 is a Sunday
    EXPECT_EQ(r.utcTime.milliseconds, 250);
    EXPECT_NEAR(r.speed, 189.0 / 1.852, 1e-4);  // 52.5 m/s is 189 km/h
}

TEST_F(PositionRecordBuilderTest, SkyAndFixKeepToTheirOwnParts) {
    using P = PositionRecord;
    report(R"({"class":"TPV","mode":3,"time":"2026-06-14T08:00:00.000Z","lat":59.93,"lon":30.31})");
    PositionRecord r = report(R"({"class":"SKY","pdop":1.5,"hdop":0.9,"satellites":[)"
                              R"({"PRN":2,"el":68.4,"az":295.0,"ss":45.0,"used":true},)"
                              R"({"PRN":24,"el":6.0,"az":22.0,"used":false}]})");
    EXPECT_EQ(r.fixType, 2u);
    EXPECT_DOUBLE_EQ(r.latitude, 59.93);
    constexpr uint32_t skyBits = P::PdopValid | P::HdopValid | P::VdopValid | P::SatelliteCountValid;
    EXPECT_EQ(r.validFields & skyBits, P::PdopValid | P::HdopValid | P::SatelliteCountValid);  // no VDOP
    EXPECT_EQ(r.satellitesUsed, 1u);
    EXPECT_EQ(r.usedPrns[0], 2u);
    ASSERT_EQ(r.satellitesInView, 2u);
    EXPECT_EQ(r.inViewElevations[0], 68);
    EXPECT_EQ(r.inViewSnrs[1], 0);  // not tracked
    EXPECT_EQ(r.inViewPrns[2], 0);  // unused slots stay empty

    r = report(R"({"class":"TPV","mode":1,"time":"2026-06-14T08:00:01.000Z"})");
    EXPECT_EQ(r.satellitesInView, 2u);  // a lost fix leaves the sky as the last SKY said
    r = report(R"({"class":"SKY","hdop":1.1})");  // DOPs only: no table, no count
    EXPECT_EQ(r.satellitesInView, 0u);
    EXPECT_EQ(r.inViewPrns[0], 0);
    EXPECT_EQ(r.validFields & skyBits, P::HdopValid);
    EXPECT_TRUE(r.validFields & PositionRecord::UtcTimeValid);
}

// libgps leaves what it cannot read undecoded (NaN, its flag clear) and reads 1e999 as infinity:
// none of it may become a position, least of all the one of the report before.
TEST_F(PositionRecordBuilderTest, WhatLibgpsCouldNotReadIsNeitherAFixNorAValue) {
    using P = PositionRecord;
    const std::string good =
        R"({"class":"TPV","device":"/dev/a","mode":3,"time":"2026-06-14T08:00:01.000Z","lat":59.93,"lon":30.31,)"
        R"("altMSL":17.5,"track":162.0,"speed":10.0})";
    const struct {
        const char* tpv;
        uint32_t bits;  // of a record without a fix: none but the time
    } noFix[] = {
        {R"({"class":"TPV","mode":3,"time":"2026-06-14T08:00:02.000Z","lat":"59.93","lon":30.31,"speed":10.0})",
         P::UtcTimeValid},
        {R"({"class":"TPV","mode":3,"time":"2026-06-14T08:00:02.000Z","lat":59.93,"lon":"east","speed":10.0})",
         P::UtcTimeValid},
        {R"({"class":"TPV","mode":3,"time":"2026-06-14T08:00:02.000Z","lat":1e999,"lon":30.31,"speed":10.0})",
         P::UtcTimeValid},
        {R"({"class":"TPV","mode":3,"time":"2026-06-14T08:00:02.000Z","lat":59.93,"lon":-1e999})", P::UtcTimeValid},
        {R"({"class":"TPV","mode":3,"time":"2026-06-14T08:00:02.000Z","lon":30.31,"speed":10.0})", P::UtcTimeValid},
        {R"({"class":"TPV","mode":2,"time":"2026-06-14T08:00:02.000Z","lat":91.5,"lon":30.31})", P::UtcTimeValid},
        {R"({"class":"TPV","mode":2,"lat":59.93,"lon":180.5})", 0},
        {R"({"class":"TPV","mode":"3D","lat":59.93,"lon":30.31})", 0},
    };
    for (const auto& c : noFix) {
        SCOPED_TRACE(c.tpv);
        ASSERT_EQ(report(good).fixType, 2u);
        const PositionRecord& r = report(c.tpv);
        EXPECT_EQ(r.fixType, 0u);
        EXPECT_EQ(r.validFields, c.bits);
        EXPECT_EQ(r.latitude, 0.0);
        EXPECT_EQ(r.longitude, 0.0);
    }
    // A fix keeps its position; a value libgps could not read (or infinity) only loses its bit.
    const struct {
        const char* tpv;
        uint32_t bits;
    } partly[] = {
        {R"({"class":"TPV","mode":3,"time":"2026-06-14T08:00:02.000Z","lat":59.9,"lon":30.3,"speed":"fast"})",
         P::UtcTimeValid | P::LatitudeValid | P::LongitudeValid},
        {R"({"class":"TPV","mode":3,"time":"2026-06-14T08:00:02.000Z","lat":59.9,"lon":30.3,"speed":2,"track":1e999})",
         P::UtcTimeValid | P::LatitudeValid | P::LongitudeValid | P::SpeedValid},
        {R"({"class":"TPV","mode":3,"time":"noon","lat":59.9,"lon":30.3,"altMSL":-1e999})",
         P::LatitudeValid | P::LongitudeValid},
    };
    for (const auto& c : partly) {
        SCOPED_TRACE(c.tpv);
        report(good);
        const PositionRecord& r = report(c.tpv);
        EXPECT_EQ(r.fixType, 2u);
        EXPECT_EQ(r.validFields, c.bits);
        EXPECT_DOUBLE_EQ(r.latitude, 59.9);
    }
}

}  // namespace
}  // namespace movira
