// The 344-byte position record that the GPS access library returns, little-endian,
// byte for byte the layout of the handheld platform's GPS_POSITION.
#pragma once

#include "platform/SystemTime.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace movira {

struct PositionRecord {
    // Valid-field bits.
    static constexpr uint32_t UtcTimeValid = 0x1;
    static constexpr uint32_t LatitudeValid = 0x2;
    static constexpr uint32_t LongitudeValid = 0x4;
    static constexpr uint32_t SpeedValid = 0x8;
    static constexpr uint32_t HeadingValid = 0x10;
    static constexpr uint32_t MagneticVariationValid = 0x20;
    static constexpr uint32_t AltitudeSeaLevelValid = 0x40;
    static constexpr uint32_t AltitudeEllipsoidValid = 0x80;
    static constexpr uint32_t PdopValid = 0x100;
    static constexpr uint32_t HdopValid = 0x200;
    static constexpr uint32_t VdopValid = 0x400;
    static constexpr uint32_t SatelliteCountValid = 0x800;
    static constexpr int MaxSatellites = 12;

    uint32_t version;
    uint32_t size;
    uint32_t validFields;
    uint32_t flags;
    SystemTime utcTime;
    double latitude;           // degrees
    double longitude;          // degrees
    float speed;               // knots
    float heading;             // degrees
    double magneticVariation;  // degrees
    float altitudeSeaLevel;    // metres
    float altitudeEllipsoid;   // metres
    uint32_t fixQuality;
    uint32_t fixType;  // 0 = no fix
    uint32_t selectionType;
    float pdop;
    float hdop;
    float vdop;
    uint32_t satellitesUsed;
    uint32_t usedPrns[MaxSatellites];
    uint32_t satellitesInView;
    int32_t inViewPrns[MaxSatellites];
    int32_t inViewElevations[MaxSatellites];
    int32_t inViewAzimuths[MaxSatellites];
    int32_t inViewSnrs[MaxSatellites];
};

static_assert(std::endian::native == std::endian::little, "the record is read in place, little-endian");
static_assert(sizeof(PositionRecord) == 344);
static_assert(offsetof(PositionRecord, validFields) == 8);
static_assert(offsetof(PositionRecord, utcTime) == 16);
static_assert(offsetof(PositionRecord, latitude) == 32);
static_assert(offsetof(PositionRecord, longitude) == 40);
static_assert(offsetof(PositionRecord, speed) == 48);
static_assert(offsetof(PositionRecord, heading) == 52);
static_assert(offsetof(PositionRecord, altitudeSeaLevel) == 64);
static_assert(offsetof(PositionRecord, fixType) == 76);
static_assert(offsetof(PositionRecord, pdop) == 84);
static_assert(offsetof(PositionRecord, hdop) == 88);
static_assert(offsetof(PositionRecord, vdop) == 92);
static_assert(offsetof(PositionRecord, satellitesUsed) == 96);
static_assert(offsetof(PositionRecord, satellitesInView) == 148);
static_assert(offsetof(PositionRecord, inViewPrns) == 152);
static_assert(offsetof(PositionRecord, inViewElevations) == 200);
static_assert(offsetof(PositionRecord, inViewAzimuths) == 248);
static_assert(offsetof(PositionRecord, inViewSnrs) == 296);

}  // namespace movira
