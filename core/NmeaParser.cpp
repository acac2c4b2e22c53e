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
int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Talkers by rank: the combined solution first, then GPS, then the single other systems; the
// last two only name satellites (GSV).
enum Talker { GN, GP, GL, GA, GB, BD, GQ, QZ, GI };
constexpr int FixTalkers = QZ;  // GN to GQ send fixes
constexpr std::array<std::string_view, FixTalkers> kFixTalkerIds = {"GN", "GP", "GL", "GA", "GB", "BD", "GQ"};

int talkerOf(char a, char b) {
    if (a == 'G') {
        switch (b) {
        case 'N': return GN;
        case 'P': return GP;
        case 'L': return GL;
        case 'A': return GA;
        case 'B': return GB;
        case 'Q': return GQ;
        case 'I': return GI;
        default: return -1;
        }
    }
    if (a == 'B' && b == 'D') return BD;
    if (a == 'Q' && b == 'Z') return QZ;
    return -1;
}

// The system of a satellite in a GSV sentence: the talker's, except that GPS talkers also list
// the SBAS and QZSS satellites they track, and a combined talker tells it by number only.
Constellation gsvConstellation(int talker, int32_t prn) {
    switch (talker) {
    case GP: {
        const Constellation byNumber = constellationOfNumber(prn);
        return byNumber == Constellation::Sbas || byNumber == Constellation::Qzss ? byNumber : Constellation::Gps;
    }
    case GL: return Constellation::Glonass;
    case GA: return Constellation::Galileo;
    case GB:
    case BD: return Constellation::BeiDou;
    case GQ:
    case QZ: return Constellation::Qzss;
    case GI: return Constellation::NavIC;
    default: return constellationOfNumber(prn);
    }
}
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

std::span<const std::string_view> NmeaParser::fixTalkers() { return kFixTalkerIds; }

bool NmeaParser::checksumMatches(const char* text, size_t size) {
    const char* const begin = text + 1;
    const char* const end = text + size;
    const auto* star = static_cast<const char*>(std::memchr(begin, '*', static_cast<size_t>(end - begin)));
    if (!star) return true;  // no checksum: nothing to verify
    // XOR of the bytes between "$" and "*", eight at a time.
    uint64_t words = 0;
    const char* p = begin;
    for (; star - p >= 8; p += 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        words ^= word;
    }
    words ^= words >> 32;
    words ^= words >> 16;
    words ^= words >> 8;
    unsigned sum = static_cast<unsigned>(words & 0xff);
    for (; p < star; ++p) sum ^= static_cast<unsigned char>(*p);
    // Two hex digits: a sentence cut after "*", or noise in the digits, is not to be trusted.
    if (end - star < 3) return false;
    const int high = hexValue(star[1]), low = hexValue(star[2]);
    if (high < 0 || low < 0) return false;
    for (const char* q = star + 3; q < end; ++q) {
        if (!isSpace(*q)) return false;
    }
    return static_cast<unsigned>(high * 16 + low) == sum;
}

bool NmeaParser::parseSentenceInPlace(char* text, size_t size) {
    if (size == 0 || text[0] != '$') return false;
    if (!checksumMatches(text, size)) return false;  // line noise: dropped whole
    const int separators = splitFields(text, size);
    // Identifiers are six characters: "$", the talker and the sentence type.
    const char* id = field(0);
    if (fieldLength(0) != 6) return false;
    const int talker = talkerOf(id[1], id[2]);
    if (talker < 0) return false;
    const auto is = [type = id + 3](const char* name) { return std::memcmp(type, name, 3) == 0; };
    if (is("GSV")) {
        if (separators >= 4) parseGsv(talker);
        return false;
    }
    if (talker >= FixTalkers) return false;
    if (is("RMC")) {
        if (separators < 10) return false;
        const int lead = leads_[LeadRmc].lead;
        if (!leads_[LeadRmc].take(talker)) return false;
        return parseRmc(lead >= 0 && talker < lead);
    }
    if (is("GGA")) {
        if (separators >= 11 && leads_[LeadGga].take(talker)) parseGga();
    } else if (is("VTG")) {
        if (separators >= 4 && leads_[LeadVtg].take(talker)) parseVtg();
    } else if (is("GLL")) {
        if (separators >= 5 && leads_[LeadGll].take(talker)) parseGll();
    } else if (is("GSA")) {
        if (separators >= 18 && leads_[LeadGsa].take(talker)) parseGsa();
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

bool NmeaParser::parseRmc(bool tookLead) {
    // A receiver that sends its combined solution after its GPS one, for the same moment: the
    // fix of that moment is already complete.
    const size_t timeLength = fieldLength(1);
    if (tookLead && timeLength != 0 && timeLength < lastRmcTime_.size() &&
        std::memcmp(field(1), lastRmcTime_.data(), timeLength + 1) == 0) {
        return false;
    }
    if (timeLength < lastRmcTime_.size()) {
        std::memcpy(lastRmcTime_.data(), field(1), timeLength + 1);
    } else {
        lastRmcTime_[0] = '\0';
    }
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
    return true;
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

void NmeaParser::parseGsv(int talker) {
    const auto header = [this](int i) { return i < dataFields_ ? parseInteger(field(i)) : NoValueInt; };
    // From NMEA 4.10 on, a single field after the last block names the signal (L1, L5, ...):
    // each signal has its own cycle of sentences.
    int signal = 0;
    if (dataFields_ > 4 && (dataFields_ - 4) % 4 == 1 && fieldLength(dataFields_ - 1) == 1) {
        signal = std::max(0, hexValue(field(dataFields_ - 1)[0]));
    }
    std::array<SatelliteTable::Report, (MaxFields - 4) / 4> reports;
    size_t count = 0;
    for (int block = 4; block + 3 < dataFields_; block += 4) {
        const char* number = field(block);
        if (*number == '\0') continue;
        const int32_t prn = parseInteger(number);
        if (prn == 0 || prn == NoValueInt) continue;  // NoValueInt would read as an empty entry
        reports[count++] = {gsvConstellation(talker, prn), prn, parseInteger(field(block + 1)),
                            parseInteger(field(block + 2)), parseInteger(field(block + 3))};
    }
    satellites_.takeGsv(talker, signal, header(1), header(2), std::span(reports.data(), count));
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
    const size_t timeLength = fieldLength(timeIndex);
    if (timeLength < 6 || fieldLength(dateIndex) != 6) {
        takeDeviceTime();
        return;
    }
    // hhmmss.s to hhmmss.sss (more digits are cut to milliseconds): only digits, or the
    // receiver's time cannot be trusted and the device clock stands in.
    int milliseconds = -1;  // whole seconds keep the milliseconds there were
    if (timeLength != 6) {
        bool digits = timeField[6] == '.' && timeLength > 7;
        for (size_t i = 0; digits && i < timeLength; ++i) digits = i == 6 || isDigit(timeField[i]);
        if (!digits) {
            takeDeviceTime();
            return;
        }
        milliseconds = 0;
        for (size_t i = 7, scale = 100; i < 10; ++i, scale /= 10) {
            if (i < timeLength) milliseconds += (timeField[i] - '0') * static_cast<int>(scale);
        }
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
    if (milliseconds >= 0) utc.milliseconds = static_cast<uint16_t>(milliseconds);
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
        satellites_.clear();
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
        // The record's twelve are the whole sky: nothing of earlier input stays beside them.
        for (int i = 0; i < PositionRecord::MaxSatellites; ++i) {
            const int32_t prn = record->inViewPrns[i];
            satellites_.assign(i, {prn, record->inViewElevations[i], record->inViewAzimuths[i],
                                   record->inViewSnrs[i], constellationOfNumber(prn)});
        }
        satellites_.clearFrom(PositionRecord::MaxSatellites);
    }
    if (fix_.speed < 0) {
        fix_.speed = 0;
        fix_.speedKnots = 0;
    }
    appendTrackPoint();
    return true;
}

}  // namespace movira
