// One satellite in view; every number is NoValueInt in an empty entry.
#pragma once

#include "core/NoValue.h"

#include <cstdint>

namespace movira {

// The satellite system a satellite belongs to, as its talker and number tell.
enum class Constellation : uint8_t { Unknown, Gps, Sbas, Glonass, Galileo, BeiDou, Qzss, NavIC };

// The usual one-letter mark of a system (G GPS, S SBAS, R GLONASS, E Galileo, C BeiDou, J QZSS,
// I NavIC), '?' when unknown.
inline char constellationLetter(Constellation constellation) {
    switch (constellation) {
    case Constellation::Gps: return 'G';
    case Constellation::Sbas: return 'S';
    case Constellation::Glonass: return 'R';
    case Constellation::Galileo: return 'E';
    case Constellation::BeiDou: return 'C';
    case Constellation::Qzss: return 'J';
    case Constellation::NavIC: return 'I';
    case Constellation::Unknown: break;
    }
    return '?';
}

// The system of a satellite number where the talker does not tell it (combined "GN" sentences,
// the GPS access library): the number ranges of NMEA 0183 and gpsd.
inline Constellation constellationOfNumber(int32_t prn) {
    if (prn >= 1 && prn <= 32) return Constellation::Gps;
    if ((prn >= 33 && prn <= 64) || (prn >= 120 && prn <= 158)) return Constellation::Sbas;
    if (prn >= 65 && prn <= 99) return Constellation::Glonass;
    if (prn >= 193 && prn <= 200) return Constellation::Qzss;
    if ((prn >= 201 && prn <= 264) || (prn >= 401 && prn <= 437)) return Constellation::BeiDou;
    if (prn >= 301 && prn <= 336) return Constellation::Galileo;
    return Constellation::Unknown;
}

struct SatelliteInfo {
    int32_t prn = NoValueInt;        // satellite number, as its system's talker gives it
    int32_t elevation = NoValueInt;  // degrees
    int32_t azimuth = NoValueInt;    // degrees
    int32_t snr = NoValueInt;        // signal-to-noise, dB
    Constellation constellation = Constellation::Unknown;

    bool isEmpty() const { return prn == NoValueInt; }
    void clear() { *this = SatelliteInfo{}; }
};

}  // namespace movira
