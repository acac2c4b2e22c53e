#include "gpsapi/PositionRecordBuilder.h"

#include "gpsapi/RecordHandover.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>

namespace movira {
namespace {

constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;
// The platform's fix types and qualities.
constexpr uint32_t kFix2d = 1;
constexpr uint32_t kFix3d = 2;
constexpr uint32_t kQualityGps = 1;
constexpr uint32_t kQualityDgps = 2;

constexpr uint32_t kFixBits = PositionRecord::UtcTimeValid | PositionRecord::LatitudeValid |
                              PositionRecord::LongitudeValid | PositionRecord::SpeedValid |
                              PositionRecord::HeadingValid | PositionRecord::MagneticVariationValid |
                              PositionRecord::AltitudeSeaLevelValid | PositionRecord::AltitudeEllipsoidValid;
constexpr uint32_t kSkyBits = PositionRecord::PdopValid | PositionRecord::HdopValid |
                              PositionRecord::VdopValid | PositionRecord::SatelliteCountValid;

bool setTime(const timespec& time, SystemTime& out) {
    if (time.tv_sec <= 0) return false;
    const time_t seconds = time.tv_sec;
    tm utc{};
    if (!gmtime_r(&seconds, &utc) || utc.tm_year + 1900 > 9999) return false;
    out.year = static_cast<uint16_t>(utc.tm_year + 1900);
    out.month = static_cast<uint16_t>(utc.tm_mon + 1);
    out.dayOfWeek = static_cast<uint16_t>(utc.tm_wday);
    out.day = static_cast<uint16_t>(utc.tm_mday);
    out.hour = static_cast<uint16_t>(utc.tm_hour);
    out.minute = static_cast<uint16_t>(utc.tm_min);
    out.second = static_cast<uint16_t>(std::min(utc.tm_sec, 59));  // a leap second reads as :59
    out.milliseconds = static_cast<uint16_t>(std::clamp(time.tv_nsec / 1'000'000L, 0L, 999L));
    return true;
}

// Sets `field` and its bit when libgps decoded the value (its flag is set) and it is a number.
template <class Field>
void take(gps_mask_t decoded, gps_mask_t flag, double value, Field& field, uint32_t bit, uint32_t& validFields) {
    if (!(decoded & flag) || !std::isfinite(value)) return;
    field = static_cast<Field>(value);
    validFields |= bit;
}

// Both coordinates decoded, and on the globe: a report without them is no fix, whatever its mode.
bool hasPosition(const gps_data_t& data) {
    const gps_fix_t& fix = data.fix;
    return (data.set & MODE_SET) && fix.mode >= MODE_2D && (data.set & LATLON_SET) &&
           std::isfinite(fix.latitude) && std::isfinite(fix.longitude) && std::fabs(fix.latitude) <= 90.0 &&
           std::fabs(fix.longitude) <= 180.0;
}

// Whole degrees or dB for the satellite table; 0 for what is not known.
int32_t wholeOrZero(double value) {
    return std::isfinite(value) && std::fabs(value) < 1e6 ? static_cast<int32_t>(std::lround(value)) : 0;
}

}  // namespace

PositionRecordBuilder::PositionRecordBuilder() : record_(RecordHandover::noFix()) {}

void PositionRecordBuilder::clear() { record_ = RecordHandover::noFix(); }

void PositionRecordBuilder::applyTpv(const gps_data_t& data) {
    const gps_fix_t& fix = data.fix;
    PositionRecord& r = record_;
    r.validFields &= ~kFixBits;
    r.utcTime = {};
    r.latitude = r.longitude = r.magneticVariation = 0;
    r.speed = r.heading = r.altitudeSeaLevel = r.altitudeEllipsoid = 0;
    r.fixQuality = r.fixType = 0;

    // The time of a report without a fix is still gpsd's time.
    if ((data.set & TIME_SET) && setTime(fix.time, r.utcTime)) r.validFields |= PositionRecord::UtcTimeValid;
    if (!hasPosition(data)) return;

    r.fixType = fix.mode >= MODE_3D ? kFix3d : kFix2d;
    r.fixQuality = (data.set & STATUS_SET) && fix.status == STATUS_DGPS_FIX ? kQualityDgps : kQualityGps;
    r.latitude = fix.latitude;
    r.longitude = fix.longitude;
    r.validFields |= PositionRecord::LatitudeValid | PositionRecord::LongitudeValid;
    const gps_mask_t set = data.set;
    take(set, SPEED_SET, fix.speed * kKnotsPerMetrePerSecond, r.speed, PositionRecord::SpeedValid, r.validFields);
    take(set, TRACK_SET, fix.track, r.heading, PositionRecord::HeadingValid, r.validFields);
    take(set, MAGNETIC_TRACK_SET, fix.magnetic_var, r.magneticVariation, PositionRecord::MagneticVariationValid,
         r.validFields);
    take(set, ALTITUDE_SET, fix.altMSL, r.altitudeSeaLevel, PositionRecord::AltitudeSeaLevelValid, r.validFields);
    take(set, ALTITUDE_SET, fix.altHAE, r.altitudeEllipsoid, PositionRecord::AltitudeEllipsoidValid, r.validFields);
}

void PositionRecordBuilder::applySky(const gps_data_t& data) {
    PositionRecord& r = record_;
    r.validFields &= ~kSkyBits;
    r.pdop = r.hdop = r.vdop = 0;
    r.satellitesUsed = r.satellitesInView = 0;
    std::fill(std::begin(r.usedPrns), std::end(r.usedPrns), 0u);
    std::fill(std::begin(r.inViewPrns), std::end(r.inViewPrns), 0);
    std::fill(std::begin(r.inViewElevations), std::end(r.inViewElevations), 0);
    std::fill(std::begin(r.inViewAzimuths), std::end(r.inViewAzimuths), 0);
    std::fill(std::begin(r.inViewSnrs), std::end(r.inViewSnrs), 0);

    // A SKY libgps could not read says nothing: the sky part stays empty.
    if (!(data.set & SATELLITE_SET)) return;
    take(data.set, SATELLITE_SET, data.dop.pdop, r.pdop, PositionRecord::PdopValid, r.validFields);
    take(data.set, SATELLITE_SET, data.dop.hdop, r.hdop, PositionRecord::HdopValid, r.validFields);
    take(data.set, SATELLITE_SET, data.dop.vdop, r.vdop, PositionRecord::VdopValid, r.validFields);

    // The satellites gpsd listed; a SKY with DOPs only lists none and says nothing about the count.
    std::array<const satellite_t*, MAXCHANNELS> listed{};
    size_t count = 0;
    const int visible = std::clamp(data.satellites_visible, 0, MAXCHANNELS);
    for (int i = 0; i < visible; ++i) {
        if (data.skyview[i].PRN > 0) listed[count++] = &data.skyview[i];
    }
    if (count == 0) return;

    size_t used = 0;
    for (size_t i = 0; i < count && used < PositionRecord::MaxSatellites; ++i) {
        if (listed[i]->used) r.usedPrns[used++] = static_cast<uint32_t>(listed[i]->PRN);
    }
    r.satellitesUsed = static_cast<uint32_t>(std::max(data.satellites_used, 0));
    r.validFields |= PositionRecord::SatelliteCountValid;

    // The record has room for 12: with more in view, the strongest signals win.
    if (count > PositionRecord::MaxSatellites) {
        const auto snr = [](const satellite_t* s) { return std::isfinite(s->ss) ? s->ss : -1.0; };
        std::stable_sort(listed.begin(), listed.begin() + count,
                         [&](const satellite_t* a, const satellite_t* b) { return snr(a) > snr(b); });
        count = PositionRecord::MaxSatellites;
    }
    r.satellitesInView = static_cast<uint32_t>(count);
    for (size_t i = 0; i < count; ++i) {
        r.inViewPrns[i] = listed[i]->PRN;
        r.inViewElevations[i] = wholeOrZero(listed[i]->elevation);
        r.inViewAzimuths[i] = wholeOrZero(listed[i]->azimuth);
        r.inViewSnrs[i] = std::max(wholeOrZero(listed[i]->ss), 0);
    }
}

}  // namespace movira
