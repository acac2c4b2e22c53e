#include "core/NmeaParser.h"

#include "platform/Clock.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <bit>

namespace movira {
namespace {

constexpr float kMinutesToDegrees = 1.0f / 60.0f;
constexpr float kKnotsToKmh = 1.852f;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The next "," or "*" at or after p, or end: eight bytes a step (little-endian words) while
// a whole word lies before end, then byte by byte.
const char* findSeparator(const char* p, const char* end) {
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t highs = 0x8080808080808080ULL;
    for (; end - p >= 8; p += 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        const uint64_t commas = word ^ (ones * ','), stars = word ^ (ones * '*');
        const uint64_t found = ((commas - ones) & ~commas & highs) | ((stars - ones) & ~stars & highs);
        if (found) return p + (std::countr_zero(found) >> 3);
    }
    while (p < end && *p != ',' && *p != '*') ++p;
    return p;
}
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool equals(const char* field, const char* text) { return std::strcmp(field, text) == 0; }

// Exact powers of ten: a quotient of two exact doubles is correctly rounded, so the
// fast path gives what strtod gives.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain decimals ("-4807.038") without strtod; anything else falls back to it.
double textToDouble(const char* text) {
    const char* p = text;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint64_t mantissa = 0;
    const char* const wholeStart = p;
    for (; isDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    auto digits = p - wholeStart;
    long fractionDigits = 0;
    if (*p == '.') {
        const char* const fractionStart = ++p;
        for (; isDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        fractionDigits = p - fractionStart;
        digits += fractionDigits;
    }
    // Up to 19 digits cannot wrap; below 2^53 the mantissa is exact.
    if (*p != '\0' || digits == 0 || digits > 19 || fractionDigits > 22 || mantissa > (uint64_t{1} << 53)) {
        return std::strtod(text, nullptr);
    }
    const double value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    return negative ? -value : value;
}

}  // namespace

NmeaParser::NmeaParser(const Clock& clock) : clock_(clock) { fix_.utcTime = clock_.localNow(); }

std::optional<float> NmeaParser::parseFiniteNumber(const char* field) {
    if (*field == '\0') return std::nullopt;
    const auto value = static_cast<float>(textToDouble(field));
    // "nan", "inf" or "1e999" would stick in every maximum: read them as empty.
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

float NmeaParser::parseNumber(const char* field) { return parseFiniteNumber(field).value_or(NoValue); }

int32_t NmeaParser::parseInteger(const char* field) {
    if (*field == '\0') return NoValueInt;
    const char* p = field;
    while (isSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    int64_t value = 0;
    for (; isDigit(*p); ++p) {
        value = value * 10 + (*p - '0');
        if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;  // saturate, never overflow
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

float NmeaParser::nmeaToDegrees(float value) {
    if (value == NoValue) return NoValue;
    const float a = std::fabs(value);
    float wholeDegrees, minutes, fraction;
    if (a < 2147483648.0f) {
        const auto n = static_cast<int32_t>(a);
        minutes = static_cast<float>(n % 100);
        fraction = a - static_cast<float>(n);
        wholeDegrees = static_cast<float>(n / 100);
    } else {  // far outside any coordinate; no integer holds it
        const double n = std::trunc(static_cast<double>(a));
        minutes = static_cast<float>(std::fmod(n, 100.0));
        fraction = 0.0f;
        wholeDegrees = static_cast<float>(std::trunc(n / 100.0));
    }
    const float degrees = minutes * kMinutesToDegrees + fraction * kMinutesToDegrees + wholeDegrees;
    return value < 0 ? -degrees : degrees;
}

float NmeaParser::knotsToKmh(float knots) {
    if (knots == NoValue) return NoValue;
    const float kmh = knots * kKnotsToKmh;
    return std::isfinite(kmh) ? kmh : NoValue;  // knots near the float limit have no km/h
}

const SatelliteInfo* NmeaParser::satellite(int i) const {
    return i >= 0 && i < SatelliteSlots ? &satellites_[static_cast<size_t>(i)] : nullptr;
}

const TrackPoint* NmeaParser::trackPoint(long long i) const {
    return i >= 0 && static_cast<unsigned long long>(i) < track_.size() ? &track_[static_cast<size_t>(i)] : nullptr;
}

int NmeaParser::splitFields(char* text, size_t size) {
    char* p = text;
    char* const end = text + size;
    int separators = 0;
    int checksumAt = -1;  // index of the first field after a "*"
    for (;;) {
        char* const q = p + (findSeparator(p, end) - p);
        const char separator = q < end ? *q : '\0';
        // A field longer than a slot is cut, never spilled into the next one.
        const auto length = std::min(q - p, std::ptrdiff_t{FieldSize - 1});
        if (p + length < end) p[length] = '\0';
        fields_[static_cast<size_t>(separators)] = p;
        lengths_[static_cast<size_t>(separators)] = static_cast<uint8_t>(length);
        if (q == end) break;
        ++separators;
        if (separator == '*' && checksumAt < 0) checksumAt = separators;
        if (separators == MaxFields) break;
        p = q + 1;
    }
    fieldCount_ = separators < MaxFields ? separators + 1 : MaxFields;
    dataFields_ = checksumAt >= 0 ? checksumAt : fieldCount_;
    return separators;
}

bool NmeaParser::parseSentence(std::string_view sentence) {
    const size_t size = std::min(sentence.size(), MaxSentence);
    std::memcpy(text_.data(), sentence.data(), size);
    text_[size] = '\0';
    return parseSentenceInPlace(text_.data(), size);
}

bool NmeaParser::parseSentenceInPlace(char* text, size_t size) {
    if (size == 0 || text[0] != '$') return false;
    const int separators = splitFields(text, size);
    // Identifiers are six characters: "$GP" and the sentence type.
    const char* id = field(0);
    if (fieldLength(0) != 6 || std::memcmp(id, "$GP", 3) != 0) return false;
    const auto is = [type = id + 3](const char* name) { return std::memcmp(type, name, 3) == 0; };
    if (is("RMC")) {
        if (separators < 10) return false;
        parseRmc();
        return true;
    }
    if (is("GGA")) {
        if (separators >= 11) parseGga();
    } else if (is("VTG")) {
        if (separators >= 4) parseVtg();
    } else if (is("GLL")) {
        if (separators >= 5) parseGll();
    } else if (is("GSA")) {
        if (separators >= 18) parseGsa();
    } else if (is("GSV")) {
        if (separators >= 4) parseGsv();
    }
    return false;
}

float NmeaParser::parseLatitude(int valueField, int hemisphereField) const {
    const float degrees = nmeaToDegrees(parseNumber(field(valueField)));
    return equals(field(hemisphereField), "S") && degrees != NoValue ? -degrees : degrees;
}

float NmeaParser::parseLongitude(int valueField, int hemisphereField) const {
    const float degrees = nmeaToDegrees(parseNumber(field(valueField)));
    return equals(field(hemisphereField), "W") && degrees != NoValue ? -degrees : degrees;
}

void NmeaParser::parseRmc() {
    fix_.valid = equals(field(2), "A");
    parseDateTime(1, 9);
    fix_.latitude = parseLatitude(3, 4);
    fix_.longitude = parseLongitude(5, 6);
    fix_.speedKnots = parseNumber(field(7));
    fix_.speed = knotsToKmh(fix_.speedKnots);
    if (const auto course = parseFiniteNumber(field(8))) fix_.course = *course;  // empty keeps the last
    // A valid fix without a speed reads as standing still.
    if (fix_.valid && fix_.speed < 0) {
        fix_.speed = 0;
        fix_.speedKnots = 0;
    }
    appendTrackPoint();
}

void NmeaParser::parseGga() {
    fix_.latitude = parseLatitude(2, 3);
    fix_.longitude = parseLongitude(4, 5);
    fix_.satellitesUsed = parseInteger(field(7));
    fix_.hdop = parseNumber(field(8));
    fix_.altitude = parseNumber(field(9));
}

void NmeaParser::parseVtg() {
    if (const auto course = parseFiniteNumber(field(1))) fix_.course = *course;
    // "course,T,magnetic,M,knots,N,kmh,K" carries the knots in field 5; the older layout
    // without unit letters ("course,magnetic,knots,kmh") in field 3.
    if (equals(field(2), "T")) {
        if (!hasField(5)) return;
        fix_.speedKnots = parseNumber(field(5));
    } else {
        fix_.speedKnots = parseNumber(field(3));
    }
    fix_.speed = knotsToKmh(fix_.speedKnots);
}

void NmeaParser::parseGll() {
    fix_.latitude = parseLatitude(1, 2);
    fix_.longitude = parseLongitude(3, 4);
}

void NmeaParser::parseGsa() {
    fix_.pdop = parseNumber(field(15));
    fix_.hdop = parseNumber(field(16));
    fix_.vdop = parseNumber(field(17));
}

void NmeaParser::parseGsv() {
    for (int block = 4; block + 3 < dataFields_; block += 4) {
        const char* number = field(block);
        if (*number == '\0') continue;
        const int32_t prn = parseInteger(number);
        if (prn == 0 || prn == NoValueInt) continue;  // NoValueInt would read as an empty entry
        SatelliteInfo* entry = nullptr;
        for (auto& satellite : satellites_) {
            if (satellite.prn == prn) {
                entry = &satellite;
                break;
            }
        }
        if (!entry) {
            for (auto& satellite : satellites_) {
                if (satellite.isEmpty()) {
                    entry = &satellite;
                    break;
                }
            }
        }
        if (!entry) continue;  // the table is full
        entry->prn = prn;
        entry->elevation = parseInteger(field(block + 1));
        entry->azimuth = parseInteger(field(block + 2));
        entry->snr = parseInteger(field(block + 3));
    }
}

void NmeaParser::takeDeviceTime() {
    fix_.localTime = clock_.localNow();
    if (const auto utc = fix_.localTime.localToUtc()) fix_.utcTime = *utc;
}

void NmeaParser::setUtcTime(const SystemTime& utc) {
    fix_.utcTime = utc;
    // A date out of range converts to nothing: the local time keeps its last value.
    if (const auto local = localTime_.utcToLocal(utc)) fix_.localTime = *local;
}

void NmeaParser::parseDateTime(int timeIndex, int dateIndex) {
    const char* timeField = field(timeIndex);
    const char* dateField = field(dateIndex);
    if (fieldLength(timeIndex) != 6 || fieldLength(dateIndex) != 6) {
        takeDeviceTime();
        return;
    }
    const auto pair = [](const char* text) {
        if (isDigit(text[0]) && isDigit(text[1])) return (text[0] - '0') * 10 + (text[1] - '0');
        const char digits[3] = {text[0], text[1], '\0'};
        return parseInteger(digits);
    };
    SystemTime utc = fix_.utcTime;  // day of week and milliseconds are kept
    const int32_t yy = pair(dateField + 4);
    utc.year = static_cast<uint16_t>(yy + 1900 + (yy < 90 ? 100 : 0));
    utc.month = static_cast<uint16_t>(pair(dateField + 2));
    utc.day = static_cast<uint16_t>(pair(dateField));
    utc.hour = static_cast<uint16_t>(pair(timeField));
    utc.minute = static_cast<uint16_t>(pair(timeField + 2));
    utc.second = static_cast<uint16_t>(pair(timeField + 4));
    setUtcTime(utc);
}

void NmeaParser::appendTrackPoint() {
    if (fix_.latitude == NoValue || fix_.longitude == NoValue || fix_.speed < 0) return;
    const TrackPoint point{fix_.altitude, fix_.longitude, fix_.latitude, fix_.course, fix_.speed, fix_.localTime};
    if (!track_.empty() && track_.back().sameAs(point)) return;
    track_.append(point);
}

bool NmeaParser::applyPositionRecord(const PositionRecord* record) {
    const auto noPosition = [this] {
        takeDeviceTime();
        fix_.altitude = fix_.longitude = fix_.latitude = NoValue;
        fix_.speed = fix_.speedKnots = NoValue;
        fix_.pdop = fix_.hdop = fix_.vdop = NoValue;
    };
    if (!record) {
        noPosition();
        return true;
    }
    if (record->fixType == 0) {
        noPosition();
        fix_.valid = false;
        for (auto& satellite : satellites_) satellite.clear();
        return true;
    }
    const auto finite = [](double value) {
        const auto narrowed = static_cast<float>(value);
        return std::isfinite(narrowed) ? narrowed : NoValue;
    };
    const uint32_t bits = record->validFields;
    fix_.valid = true;
    if (bits & PositionRecord::UtcTimeValid) setUtcTime(record->utcTime);
    if (bits & PositionRecord::LatitudeValid) fix_.latitude = finite(record->latitude);
    if (bits & PositionRecord::LongitudeValid) fix_.longitude = finite(record->longitude);
    if (bits & PositionRecord::SpeedValid) fix_.speedKnots = finite(record->speed);
    fix_.speed = knotsToKmh(fix_.speedKnots);
    if (bits & PositionRecord::HeadingValid) fix_.course = finite(record->heading);
    if (bits & PositionRecord::AltitudeSeaLevelValid) fix_.altitude = finite(record->altitudeSeaLevel);
    if (bits & PositionRecord::PdopValid) fix_.pdop = finite(record->pdop);
    if (bits & PositionRecord::HdopValid) fix_.hdop = finite(record->hdop);
    if (bits & PositionRecord::VdopValid) fix_.vdop = finite(record->vdop);
    if (bits & PositionRecord::SatelliteCountValid) fix_.satellitesUsed = static_cast<int32_t>(record->satellitesUsed);
    if (record->satellitesInView != 0) {
        for (int i = 0; i < SatelliteSlots; ++i) {
            auto& entry = satellites_[static_cast<size_t>(i)];
            if (record->inViewPrns[i] == 0 || record->inViewPrns[i] == NoValueInt) {
                entry.clear();
                continue;
            }
            entry.prn = record->inViewPrns[i];
            entry.elevation = record->inViewElevations[i];
            entry.azimuth = record->inViewAzimuths[i];
            entry.snr = record->inViewSnrs[i];
        }
    }
    if (fix_.speed < 0) {
        fix_.speed = 0;
        fix_.speedKnots = 0;
    }
    appendTrackPoint();
    return true;
}

}  // namespace movira
