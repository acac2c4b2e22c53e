// Replays logs of real receivers through the sentence cutter and the parser, the way the
// reader thread gets them, and holds the results against gpsd's decoding of the same logs
// (<name>.log.chk: the sentences interleaved with gpsd's JSON reports).
#include "core/NmeaParser.h"
#include "core/SentenceCutter.h"
#include "tests/support/FakeClock.h"
#include "tests/support/NmeaChecksum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace movira {
namespace {

using test::FakeClock;

const std::vector<std::string> kAllLogs = {"bu353s4",     "garmin-10x",  "bn-9015",      "navika-100-fix",
                                           "haicom-305N", "telit-he910", "neo-m8n",      "ublox-neo-m9n-nmea",
                                           "triton400",   "iTrek",       "holux-gm-210", "com-1289"};
const std::vector<std::string> kGpLogs = {"bu353s4",        "garmin-10x",  "bn-9015",
                                          "navika-100-fix", "haicom-305N", "telit-he910"};
const std::vector<std::string> kGnLogs = {"neo-m8n", "ublox-neo-m9n-nmea"};

std::string paramName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

void useZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

// ---- Reading the logs ------------------------------------------------------------------

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file.is_open()) << path;
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // some logs were kept with CR LF
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::string logDir() { return MOVIRA_NMEA_LOG_DIR; }

// What the receiver sent: the log without the comment lines.
std::vector<std::string> receiverLines(const std::string& name) {
    auto lines = readLines(logDir() + "/" + name + ".log");
    std::erase_if(lines, [](const std::string& line) { return line[0] == '#'; });
    return lines;
}

// On a serial line every sentence ends in CR LF, whatever the log file kept.
std::string serialStream(const std::vector<std::string>& lines) {
    std::string stream;
    for (const auto& line : lines) stream += line + "\r\n";
    return stream;
}

// A sentence of that type from any talker the reader takes ("RMC": $GPRMC, $GNRMC, ...).
bool isType(const std::string& line, std::string_view type) {
    static const std::vector<std::string> talkers = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ"};
    return line.size() > 6 && line[0] == '$' && line.compare(3, 3, type) == 0 &&
           std::find(talkers.begin(), talkers.end(), line.substr(1, 2)) != talkers.end();
}

// The data fields of a sentence (checksum dropped), split the plain way.
std::vector<std::string> dataFields(std::string_view sentence) {
    sentence = sentence.substr(0, sentence.find('*'));
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
        const size_t comma = sentence.find(',', start);
        fields.emplace_back(sentence.substr(start, comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

int separatorCount(std::string_view sentence) {
    return static_cast<int>(
        std::count_if(sentence.begin(), sentence.end(), [](char c) { return c == ',' || c == '*'; }));
}

int textToInt(const std::string& text) {
    return text.empty() ? NoValueInt : static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

// ---- Feeding ---------------------------------------------------------------------------

// Writes `bytes` into the cutter `chunk` bytes at a time, as successive reads of the port
// would, and hands every sentence to `onSentence`.
template <class OnSentence>
void feed(SentenceCutter& cutter, std::string_view bytes, size_t chunk, OnSentence&& onSentence) {
    while (!bytes.empty()) {
        const size_t count = std::min({chunk, cutter.freeCapacity(), bytes.size()});
        std::memcpy(cutter.freeSpace(), bytes.data(), count);
        bytes.remove_prefix(count);
        cutter.cut(count, onSentence);
    }
}

void feed(SentenceCutter& cutter, NmeaParser& parser, std::string_view bytes, size_t chunk) {
    feed(cutter, bytes, chunk, [&](std::string_view sentence) { parser.parseSentence(sentence); });
}

// ---- gpsd's JSON reports -----------------------------------------------------------------

// The number after "key": within [from, to) of a one-line JSON object.
std::optional<double> jsonNumber(const std::string& json, const std::string& key, size_t from = 0,
                                 size_t to = std::string::npos) {
    const std::string quoted = "\"" + key + "\":";
    const size_t at = json.find(quoted, from);
    if (at == std::string::npos || at >= to) return std::nullopt;
    const char* begin = json.c_str() + at + quoted.size();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin) return std::nullopt;
    return value;
}

std::optional<std::string> jsonText(const std::string& json, const std::string& key) {
    const std::string quoted = "\"" + key + "\":\"";
    const size_t at = json.find(quoted);
    if (at == std::string::npos) return std::nullopt;
    const size_t begin = at + quoted.size();
    return json.substr(begin, json.find('"', begin) - begin);
}

bool isReport(const std::string& line, const char* cls) {
    return line[0] == '{' && line.find(std::string("\"class\":\"") + cls + "\"") != std::string::npos;
}

struct SkySatellite {
    int prn = 0;
    int gnssid = 0;
    int svid = 0;
    std::optional<double> elevation, azimuth, snr;
};

std::vector<SkySatellite> skySatellites(const std::string& json) {
    std::vector<SkySatellite> satellites;
    for (size_t at = json.find("{\"PRN\":"); at != std::string::npos; at = json.find("{\"PRN\":", at + 1)) {
        const size_t end = json.find('}', at);
        SkySatellite satellite;
        satellite.prn = static_cast<int>(*jsonNumber(json, "PRN", at, end));
        satellite.gnssid = static_cast<int>(jsonNumber(json, "gnssid", at, end).value_or(0));
        satellite.svid = static_cast<int>(jsonNumber(json, "svid", at, end).value_or(satellite.prn));
        satellite.elevation = jsonNumber(json, "el", at, end);
        satellite.azimuth = jsonNumber(json, "az", at, end);
        satellite.snr = jsonNumber(json, "ss", at, end);
        satellites.push_back(satellite);
    }
    return satellites;
}

// gpsd prints an empty elevation, azimuth or SNR field as 0, where the table keeps it empty;
// the table's exact values are checked against the sentences themselves.
void expectSameSatellite(const SatelliteInfo& entry, const SkySatellite& sky) {
    const auto orZero = [](int32_t value) { return value == NoValueInt ? 0 : value; };
    EXPECT_EQ(orZero(entry.elevation), sky.elevation.value_or(0)) << "PRN " << sky.prn;
    EXPECT_EQ(orZero(entry.azimuth), sky.azimuth.value_or(0)) << "PRN " << sky.prn;
    EXPECT_EQ(orZero(entry.snr), sky.snr.value_or(0)) << "PRN " << sky.prn;
}

// ---- Expected state worked out from the sentences themselves --------------------------------

// The satellite table the sentences call for: every satellite a GSV named, each system apart,
// with the fields of its latest GSV; a complete cycle of a talker's GSV sentences (1..n in a
// row) leaves only the satellites it listed. Compared as a set: where a satellite lies in the
// table is the parser's business.
class SatelliteTableModel {
public:
    void take(const std::string& gsv) {
        const auto fields = dataFields(gsv);
        const std::string talker = gsv.substr(1, 2);
        Cycle& cycle = cycles_[talker];
        const int total = textToInt(fields[1]), number = textToInt(fields[2]);
        if (number == 1) cycle = {total, 1, {}};
        if (cycle.next != number || cycle.total != total) cycle.next = 0;
        for (size_t block = 4; block + 3 < fields.size(); block += 4) {
            const int prn = textToInt(fields[block]);
            if (fields[block].empty() || prn == 0) continue;
            const std::string key = letter(talker, prn) + std::to_string(prn);
            entries_[key] = {talker, textToInt(fields[block + 1]), textToInt(fields[block + 2]),
                             textToInt(fields[block + 3])};
            cycle.listed.push_back(key);
        }
        if (cycle.next == 0) return;
        if (number < total) {
            ++cycle.next;
            return;
        }
        std::erase_if(entries_, [&](const auto& entry) {
            return entry.second.talker == talker &&
                   std::find(cycle.listed.begin(), cycle.listed.end(), entry.first) == cycle.listed.end();
        });
        cycle.next = 0;
    }

    void expectMatches(const NmeaParser& parser) const {
        std::map<std::string, std::array<int, 3>> actual;
        for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) {
            const SatelliteInfo& s = *parser.satellite(i);
            if (s.isEmpty()) continue;
            actual[std::string(1, constellationLetter(s.constellation)) + std::to_string(s.prn)] = {
                s.elevation, s.azimuth, s.snr};
        }
        std::map<std::string, std::array<int, 3>> expected;
        for (const auto& [key, e] : entries_) expected[key] = {e.elevation, e.azimuth, e.snr};
        EXPECT_EQ(actual, expected);
    }

    bool empty() const { return entries_.empty(); }

    // The letter of a satellite's system, from its talker and, for GPS talkers, its number.
    static std::string letter(const std::string& talker, int prn) {
        if (talker == "GL") return "R";
        if (talker == "GA") return "E";
        if (talker == "GB" || talker == "BD") return "C";
        if (talker == "GQ") return "J";
        if (prn >= 33 && prn <= 64) return "S";
        return "G";
    }

private:
    struct Entry {
        std::string talker;
        int elevation, azimuth, snr;
    };
    struct Cycle {
        int total = 0, next = 0;
        std::vector<std::string> listed;
    };
    std::map<std::string, Entry> entries_;
    std::map<std::string, Cycle> cycles_;
};

// gpsd's name of a satellite as the table's letter and number.
std::string skyKey(const SkySatellite& sky) {
    const int svid = sky.svid;
    switch (sky.gnssid) {
    case 1: return "S" + std::to_string(sky.prn);
    case 2: return "E" + std::to_string(svid);
    case 3: return "C" + std::to_string(svid);
    case 5: return "J" + std::to_string(svid);
    case 6: return "R" + std::to_string(sky.prn);
    default: return "G" + std::to_string(sky.prn);
    }
}

// How many track points the RMC sentences of a log give: one for each RMC with a position and
// a speed (a valid fix without a speed stands still), less those identical to the point before.
// Numbers are compared as the float32 the fix holds, and the second of the RMC's own time; the
// device clock, which stands in for a missing time, is fixed.
struct TrackCount {
    int rmc = 0;
    int withoutPositionOrSpeed = 0;
    int repeated = 0;
    int points = 0;
};

TrackCount countTrackPoints(const std::vector<std::string>& lines) {
    const auto number = [](const std::string& text) -> std::optional<float> {
        if (text.empty()) return std::nullopt;
        return static_cast<float>(std::strtod(text.c_str(), nullptr));
    };
    TrackCount count;
    std::optional<float> course, altitude;
    std::optional<std::pair<std::array<float, 5>, std::string>> last;
    for (const auto& line : lines) {
        const auto fields = dataFields(line);
        if (isType(line, "GGA") && separatorCount(line) >= 11) altitude = number(fields[9]);
        if (isType(line, "VTG") && separatorCount(line) >= 4 && number(fields[1]))
            course = number(fields[1]);
        if (!isType(line, "RMC") || separatorCount(line) < 10) continue;
        ++count.rmc;
        if (number(fields[8])) course = number(fields[8]);
        auto speed = number(fields[7]);
        if (!speed && fields[2] == "A") speed = 0.0f;
        const auto latitude = number(fields[3]), longitude = number(fields[5]);
        if (!latitude || !longitude || !speed || *speed < 0) {
            ++count.withoutPositionOrSpeed;
            continue;
        }
        const float sign = (fields[4] == "S" ? -1.0f : 1.0f) * (fields[6] == "W" ? -1.0f : 1.0f);
        const bool ownTime = fields[1].size() >= 6 && fields[9].size() == 6;
        const std::pair point{std::array<float, 5>{*latitude, *longitude * sign, *speed, course.value_or(NoValue),
                                                   altitude.value_or(NoValue)},
                              ownTime ? fields[9] + fields[1].substr(0, 6) : std::string()};
        if (last == point) {
            ++count.repeated;
            continue;
        }
        last = point;
        ++count.points;
    }
    return count;
}

// ---- Checks on the parser's state -----------------------------------------------------

// Every float bit for bit, so that two runs can be compared as text.
std::string describe(const NmeaParser& parser) {
    char buffer[256];
    std::string text;
    const auto time = [](const SystemTime& t) {
        char timeText[64];
        std::snprintf(timeText, sizeof timeText, "%04u-%02u-%02u(%u) %02u:%02u:%02u.%03u", t.year, t.month,
                      t.day, t.dayOfWeek, t.hour, t.minute, t.second, t.milliseconds);
        return std::string(timeText);
    };
    const GpsFix& f = parser.fix();
    std::snprintf(buffer, sizeof buffer, "fix %a %a %a %a %a %a dop %a %a %a used %d valid %d ", f.altitude,
                  f.longitude, f.latitude, f.course, f.speed, f.speedKnots, f.pdop, f.hdop, f.vdop,
                  f.satellitesUsed, f.valid);
    text += buffer + time(f.utcTime) + " / " + time(f.localTime) + "\n";
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) {
        const SatelliteInfo& s = *parser.satellite(i);
        std::snprintf(buffer, sizeof buffer, "sat %d %d %d %d\n", s.prn, s.elevation, s.azimuth, s.snr);
        text += buffer;
    }
    for (size_t i = 0; i < parser.trackPointCount(); ++i) {
        const TrackPoint& p = *parser.trackPoint(static_cast<long long>(i));
        std::snprintf(buffer, sizeof buffer, "point %a %a %a %a %a ", p.altitude, p.longitude, p.latitude,
                      p.course, p.speed);
        text += buffer + time(p.localTime) + "\n";
    }
    return text;
}

bool isNoValueOrWithin(float value, float limit) { return value == NoValue || std::fabs(value) <= limit; }

// What must hold whatever came in: no NaN or infinity anywhere, and no entry of the
// satellite table that is empty and filled at once. With sane input, also sane coordinates.
void expectSane(const NmeaParser& parser, bool saneInput) {
    const GpsFix& f = parser.fix();
    for (const float value :
         {f.altitude, f.longitude, f.latitude, f.course, f.speed, f.speedKnots, f.pdop, f.hdop, f.vdop}) {
        EXPECT_TRUE(std::isfinite(value)) << describe(parser);
    }
    if (saneInput) {
        EXPECT_TRUE(isNoValueOrWithin(f.latitude, 90.0f)) << f.latitude;
        EXPECT_TRUE(isNoValueOrWithin(f.longitude, 180.0f)) << f.longitude;
    }
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) {
        const SatelliteInfo& s = *parser.satellite(i);
        if (s.isEmpty()) {
            EXPECT_TRUE(s.elevation == NoValueInt && s.azimuth == NoValueInt && s.snr == NoValueInt)
                << "entry " << i << " is empty but holds " << s.elevation << " " << s.azimuth << " " << s.snr;
        }
    }
    for (size_t i = 0; i < parser.trackPointCount(); ++i) {
        const TrackPoint& p = *parser.trackPoint(static_cast<long long>(i));
        for (const float value : {p.altitude, p.longitude, p.latitude, p.course, p.speed}) {
            EXPECT_TRUE(std::isfinite(value)) << "track point " << i;
        }
        EXPECT_GE(p.speed, 0.0f) << "track point " << i;
        if (saneInput) {
            EXPECT_TRUE(std::fabs(p.latitude) <= 90.0f && std::fabs(p.longitude) <= 180.0f)
                << "track point " << i;
        }
    }
}

// The whole calendar time of day, for messages.
std::string hms(const SystemTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", t.hour, t.minute, t.second);
    return buffer;
}

// ddmm.mmmm as the receiver wrote it, in degrees, with a double: the reference for the fix.
double nmeaDegrees(const std::string& value, const std::string& hemisphere) {
    const double number = std::strtod(value.c_str(), nullptr);
    const double whole = std::trunc(number / 100.0);
    const double degrees = whole + (number - whole * 100.0) / 60.0;
    return hemisphere == "S" || hemisphere == "W" ? -degrees : degrees;
}

// The fix keeps ddmm.mmmm in a float before it turns it into degrees, so the agreement with
// gpsd is 1e-5 degrees plus what a float of that size can hold (about 1.6e-5 degrees at
// 17518.8938 minutes, within 1e-5 only below 100 degrees).
double coordinateTolerance(const std::string& value) {
    const auto stored = static_cast<float>(std::strtod(value.c_str(), nullptr));
    const float ulp = std::nextafter(std::fabs(stored), INFINITY) - std::fabs(stored);
    return 1e-5 + ulp / 60.0;
}

// =========================================================================================
// Every log, in reads of every size: the same end state, no fault.

class ReceiverLogChunkingTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { useZone("UTC"); }
};

TEST_P(ReceiverLogChunkingTest, GivesTheSameStateWhateverTheSizeOfTheReads) {
    const auto lines = receiverLines(GetParam());
    ASSERT_FALSE(lines.empty());
    const std::string stream = serialStream(lines);
    FakeClock clock;

    // Reference: one write per line, as a receiver that sends a sentence at a time.
    NmeaParser reference(clock);
    SentenceCutter referenceCutter;
    size_t sentences = 0;
    for (const auto& line : lines) {
        feed(referenceCutter, line + "\r\n", SentenceCutter::BufferSize, [&](std::string_view sentence) {
            ++sentences;
            reference.parseSentence(sentence);
        });
    }
    EXPECT_EQ(referenceCutter.carry(), 0u);
    EXPECT_GE(sentences, lines.size() - 1);  // triton400's cut-off GGA is the one line lost
    expectSane(reference, true);
    const std::string expected = describe(reference);

    std::mt19937 random(7);
    for (const size_t chunk : {size_t{1}, size_t{7}, size_t{64}, size_t{2048}, size_t{0}}) {
        SCOPED_TRACE(chunk == 0 ? std::string("random reads") : "reads of " + std::to_string(chunk));
        NmeaParser parser(clock);
        SentenceCutter cutter;
        if (chunk == 0) {
            for (std::string_view rest = stream; !rest.empty();) {
                const size_t count =
                    std::min<size_t>(std::uniform_int_distribution<size_t>(1, 300)(random), rest.size());
                feed(cutter, parser, rest.substr(0, count), count);
                rest.remove_prefix(count);
            }
        } else {
            feed(cutter, parser, stream, chunk);
        }
        EXPECT_EQ(cutter.carry(), 0u);
        EXPECT_EQ(describe(parser), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(AllLogs, ReceiverLogChunkingTest, ::testing::ValuesIn(kAllLogs), paramName);

// =========================================================================================
// The GP-talker logs against gpsd, report by report.

class GpsdAgreementTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { useZone("UTC"); }

    // The .chk file without the pieces of a comment that gpsd's tools left at a line start
    // ("$GPGSV for GNSS sats" in neo-m8n's).
    std::vector<std::string> checkLines() const {
        auto lines = readLines(logDir() + "/" + GetParam() + ".log.chk");
        std::erase_if(lines, [](const std::string& l) { return l[0] == '$' && l.find(',') == std::string::npos; });
        return lines;
    }

    // gpsd reports a fix at the end of the receiver's cycle, after the other sentences of that
    // second: the report belongs to the last RMC when their times agree.
    static bool reportsRmc(const std::string& rmc, const std::string& report) {
        return reportsSecondOf(rmc, "RMC", report);
    }
    static bool reportsSecondOf(const std::string& rmc, std::string_view type, const std::string& report) {
        if (!isType(rmc, type) || !isReport(report, "TPV")) return false;
        const auto time = jsonText(report, "time");
        const auto fields = dataFields(rmc);
        return time && fields[1].size() >= 6 &&
               time->substr(11, 8) == fields[1].substr(0, 2) + ":" + fields[1].substr(2, 2) + ":" + fields[1].substr(4, 2);
    }
};

TEST_P(GpsdAgreementTest, ChecksFileHoldsTheSameSentencesAsTheLog) {
    // The other tests walk the .chk file; it must be the very log that the chunking test replays.
    auto sentences = checkLines();
    std::erase_if(sentences, [](const std::string& line) { return line[0] == '{' || line[0] == '#'; });
    EXPECT_EQ(sentences, receiverLines(GetParam()));
}

TEST_P(GpsdAgreementTest, EveryValidRmcAgreesWithTheReportThatFollowsIt) {
    FakeClock clock;
    NmeaParser parser(clock);
    SentenceCutter cutter;
    std::string previous, lastRmc;
    int compared = 0;
    for (const auto& line : checkLines()) {
        if (line[0] == '$') {
            feed(cutter, parser, line + "\r\n", SentenceCutter::BufferSize);
            previous = line;
            if (isType(line, "RMC")) lastRmc = line;
            continue;
        }
        // The report right after an RMC, or the first one of the last RMC's second.
        if (!(isType(previous, "RMC") && isReport(line, "TPV")) && !reportsRmc(lastRmc, line)) continue;
        const std::string rmc = lastRmc;
        const auto fields = dataFields(rmc);
        previous.clear();
        lastRmc.clear();
        if (fields[2] != "A") continue;
        SCOPED_TRACE(rmc + "\n" + line);
        ++compared;
        const GpsFix& fix = parser.fix();
        EXPECT_TRUE(fix.valid);

        const auto lat = jsonNumber(line, "lat"), lon = jsonNumber(line, "lon");
        ASSERT_TRUE(lat && lon);
        EXPECT_NEAR(fix.latitude, *lat, coordinateTolerance(fields[3]));
        EXPECT_NEAR(fix.longitude, *lon, coordinateTolerance(fields[5]));
        // gpsd rounds what it prints; the sentence itself is the finer reference.
        EXPECT_NEAR(fix.latitude, nmeaDegrees(fields[3], fields[4]), coordinateTolerance(fields[3]));
        EXPECT_NEAR(fix.longitude, nmeaDegrees(fields[5], fields[6]), coordinateTolerance(fields[5]));

        const double knots = fields[7].empty() ? 0.0 : std::strtod(fields[7].c_str(), nullptr);
        EXPECT_NEAR(fix.speed, knots * 1.852, 1e-4 * (1.0 + knots));
        if (const auto speed = jsonNumber(line, "speed"); speed && (*speed != 0.0 || knots == 0.0)) {
            EXPECT_NEAR(fix.speed, *speed * 3.6, 0.01);  // gpsd prints m/s to three places
        }
        if (const auto track = jsonNumber(line, "track"); track && !fields[8].empty()) {
            EXPECT_NEAR(fix.course, *track, 0.01);
        }

        // The receiver's own time, to the millisecond; the device clock (its own local time, and
        // the UTC time of that) only where the sentence has none.
        const SystemTime now = clock.localNow();
        if (fields[1].size() >= 6 && fields[9].size() == 6) {
            const auto time = jsonText(line, "time");
            ASSERT_TRUE(time);
            EXPECT_EQ(hms(fix.utcTime), time->substr(11, 8));
            EXPECT_EQ(fix.utcTime.milliseconds, std::stoi(time->substr(20, 3)));
            EXPECT_EQ(fix.localTime.milliseconds, fix.utcTime.milliseconds);
        } else {
            EXPECT_TRUE(fix.localTime.sameSecond(now)) << hms(fix.localTime);
            EXPECT_EQ(fix.localTime.milliseconds, now.milliseconds);
            EXPECT_TRUE(fix.utcTime.sameSecond(now)) << "TZ is UTC";
        }
        expectSane(parser, true);
    }
    if (GetParam() != "bn-9015" && GetParam() != "haicom-305N") {
        EXPECT_GT(compared, 0);  // those two never have a valid RMC that gpsd reported on
    }
}

TEST_P(GpsdAgreementTest, RmcTimeOfSixDigitsAgreesWithGpsdTimeOfDay) {
    // None of these receivers sends plain hhmmss; with the fraction cut off, the time must
    // come from the sentence, agree with gpsd's time of day (gpsd's year is off by design of
    // its regression runs) and be turned into the local time of the zone.
    useZone("CET-1CEST,M3.5.0,M10.5.0/3");
    FakeClock clock;
    NmeaParser parser(clock);
    std::string previous;
    int compared = 0;
    for (const auto& line : checkLines()) {
        if (line[0] == '$') {
            if (isType(line, "RMC")) previous = line;
            continue;
        }
        if (!reportsRmc(previous, line)) continue;
        const auto time = jsonText(line, "time");
        auto fields = dataFields(previous);
        if (!time || fields[1].size() < 6 || fields[9].size() != 6) continue;
        std::string sentence = previous;
        previous.clear();
        sentence.erase(7 + 6, fields[1].size() - 6);  // "$GPRMC," is 7 characters
        sentence = test::sealed(sentence);
        SCOPED_TRACE(sentence + "\n" + line);
        ASSERT_TRUE(parser.parseSentence(sentence));
        ++compared;

        const SystemTime& utc = parser.fix().utcTime;
        EXPECT_EQ(hms(utc), time->substr(11, 8));
        EXPECT_EQ(utc.day, std::stoi(fields[9].substr(0, 2)));
        EXPECT_EQ(utc.month, std::stoi(fields[9].substr(2, 2)));
        EXPECT_EQ(utc.year, 2000 + std::stoi(fields[9].substr(4, 2)));

        std::tm tm{};
        tm.tm_year = utc.year - 1900;
        tm.tm_mon = utc.month - 1;
        tm.tm_mday = utc.day;
        tm.tm_hour = utc.hour;
        tm.tm_min = utc.minute;
        tm.tm_sec = utc.second;
        const time_t seconds = timegm(&tm);
        std::tm local{};
        ASSERT_TRUE(localtime_r(&seconds, &local));
        const SystemTime& l = parser.fix().localTime;
        EXPECT_EQ(std::vector<int>({l.year, l.month, l.day, l.hour, l.minute, l.second, l.dayOfWeek}),
                  std::vector<int>({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                    local.tm_min, local.tm_sec, local.tm_wday}));
    }
    if (GetParam() != "telit-he910") {
        EXPECT_GT(compared, 0);  // telit's reported RMCs have empty times
    }
}

TEST_P(GpsdAgreementTest, SatelliteTableHoldsWhatGpsdListed) {
    FakeClock clock;
    NmeaParser parser(clock);
    SentenceCutter cutter;
    SatelliteTableModel model;
    std::string previous;
    int reports = 0;
    for (const auto& line : checkLines()) {
        if (line[0] == '$') {
            feed(cutter, parser, line + "\r\n", SentenceCutter::BufferSize);
            if (line.compare(3, 3, "GSV") == 0) {
                model.take(line);
                model.expectMatches(parser);
            }
            previous = line;
            continue;
        }
        if (!isReport(line, "SKY")) continue;
        SCOPED_TRACE(line);
        ++reports;
        // Every satellite gpsd lists, of every system, is in the table with the same values.
        for (const SkySatellite& sky : skySatellites(line)) {
            const SatelliteInfo* entry = nullptr;
            for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) {
                const SatelliteInfo& s = *parser.satellite(i);
                if (!s.isEmpty() && std::string(1, constellationLetter(s.constellation)) + std::to_string(s.prn) ==
                                        skyKey(sky)) {
                    entry = &s;
                }
            }
            // gpsd takes Galileo and BeiDou satellites numbered 33 to 64 for SBAS ones.
            for (int i = 0; !entry && sky.gnssid == 1 && i < NmeaParser::SatelliteSlots; ++i) {
                const SatelliteInfo& s = *parser.satellite(i);
                if ((s.constellation == Constellation::Galileo || s.constellation == Constellation::BeiDou) &&
                    s.prn == sky.prn) {
                    entry = &s;
                }
            }
            ASSERT_TRUE(entry) << skyKey(sky) << " missing";
            expectSameSatellite(*entry, sky);
        }
    }
    EXPECT_GT(reports, 0);
    expectSane(parser, true);
}

TEST_P(GpsdAgreementTest, GgaAltitudeAndSatelliteCountAgree) {
    FakeClock clock;
    NmeaParser parser(clock);
    std::string previous, lastGga;
    int compared = 0;
    for (const auto& line : checkLines()) {
        if (line[0] == '$') {
            parser.parseSentence(line);
            previous = line;
            if (isType(line, "GGA")) lastGga = line;
            if (isType(line, "GGA") && separatorCount(line) >= 11) {
                const auto fields = dataFields(line);
                EXPECT_EQ(parser.fix().satellitesUsed, textToInt(fields[7])) << line;
                if (fields[9].empty()) {
                    EXPECT_EQ(parser.fix().altitude, NoValue) << line;
                } else {
                    EXPECT_NEAR(parser.fix().altitude, std::strtod(fields[9].c_str(), nullptr), 1e-3) << line;
                }
            }
            continue;
        }
        if (!(isType(previous, "GGA") && isReport(line, "TPV")) && !reportsSecondOf(lastGga, "GGA", line)) continue;
        const std::string gga = lastGga;
        previous.clear();
        lastGga.clear();
        if (dataFields(gga)[9].empty()) continue;
        if (const auto altitude = jsonNumber(line, "altMSL")) {
            EXPECT_NEAR(parser.fix().altitude, *altitude, 1e-3) << gga << "\n" << line;
            ++compared;
        }
    }
    if (GetParam() != "bn-9015" && GetParam() != "haicom-305N") {
        EXPECT_GT(compared, 0);
    }
}

TEST_P(GpsdAgreementTest, VtgSpeedAgreesWithTheReceiversOwnKmh) {
    // gpsd reports nothing after a VTG, but the sentence carries the speed twice, in knots and
    // in km/h, each rounded by the receiver: the fix must land on the km/h one.
    FakeClock clock;
    NmeaParser parser(clock);
    int compared = 0;
    for (const auto& line : receiverLines(GetParam())) {
        parser.parseSentence(line);
        if (!isType(line, "VTG")) continue;
        const auto fields = dataFields(line);
        ASSERT_EQ(fields[2], "T") << line;  // these receivers all send the layout with unit letters
        if (fields[5].empty()) {
            EXPECT_EQ(parser.fix().speed, NoValue) << line;
            continue;
        }
        // A unit of the last digit of each field (some receivers cut rather than round), the
        // knots one turned into km/h.
        const auto unit = [](const std::string& number) {
            const size_t point = number.find('.');
            return std::pow(
                10.0, point == std::string::npos ? 0.0 : -static_cast<double>(number.size() - point - 1));
        };
        const double kmh = std::strtod(fields[7].c_str(), nullptr);
        EXPECT_NEAR(parser.fix().speed, kmh, unit(fields[5]) * 1.852 + unit(fields[7])) << line;
        if (!fields[1].empty()) {
            EXPECT_FLOAT_EQ(parser.fix().course, std::strtof(fields[1].c_str(), nullptr)) << line;
        }
        ++compared;
    }
    const bool sendsVtg = GetParam() != "bu353s4" && GetParam() != "garmin-10x";
    EXPECT_EQ(compared > 0, sendsVtg);
}

TEST_P(GpsdAgreementTest, EveryRmcWithPositionAndSpeedIsATrackPointUnlessRepeated) {
    const auto lines = receiverLines(GetParam());
    const TrackCount count = countTrackPoints(lines);
    FakeClock clock;
    NmeaParser parser(clock);
    SentenceCutter cutter;
    feed(cutter, parser, serialStream(lines), SentenceCutter::BufferSize);
    EXPECT_EQ(count.rmc, count.points + count.withoutPositionOrSpeed + count.repeated);
    EXPECT_EQ(parser.trackPointCount(), static_cast<size_t>(count.points))
        << count.rmc << " RMC, " << count.withoutPositionOrSpeed << " without position or speed, "
        << count.repeated << " repeated";
    expectSane(parser, true);
}

INSTANTIATE_TEST_SUITE_P(GpTalker, GpsdAgreementTest, ::testing::ValuesIn(kGpLogs), paramName);

INSTANTIATE_TEST_SUITE_P(GnTalker, GpsdAgreementTest, ::testing::ValuesIn(kGnLogs), paramName);

// =========================================================================================
// Multi-constellation receivers: their combined fixes, and every system in the sky.

class OtherTalkerLogTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { useZone("UTC"); }
};

TEST_P(OtherTalkerLogTest, CombinedFixesMakeTheTrackAndEverySystemFillsTheSky) {
    const auto lines = receiverLines(GetParam());
    FakeClock clock;
    NmeaParser parser(clock);
    SentenceCutter cutter;
    int fixes = 0;
    feed(cutter, serialStream(lines), SentenceCutter::BufferSize, [&](std::string_view sentence) {
        fixes += parser.parseSentence(sentence) ? 1 : 0;
    });
    const auto rmc = std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return isType(l, "RMC"); });
    EXPECT_EQ(fixes, rmc);
    EXPECT_GT(parser.trackPointCount(), 0u);
    EXPECT_TRUE(parser.fix().valid);
    // The last complete cycle of each talker's GSV is what the sky holds: several systems.
    std::set<char> systems;
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) {
        if (!parser.satellite(i)->isEmpty()) systems.insert(constellationLetter(parser.satellite(i)->constellation));
    }
    EXPECT_GE(systems.size(), 2u);
    EXPECT_EQ(systems.count('?'), 0u);
    expectSane(parser, true);
}

INSTANTIATE_TEST_SUITE_P(OtherTalkers, OtherTalkerLogTest, ::testing::ValuesIn(kGnLogs), paramName);

// =========================================================================================
// The logs that are broken on purpose.

class BrokenLogTest : public ::testing::Test {
protected:
    void SetUp() override { useZone("UTC"); }

    // Replays the log up to and including the first line that contains `upTo` (all when empty).
    void replay(const std::string& name, const std::string& upTo = "") {
        for (const auto& line : receiverLines(name)) {
            feed(cutter_, parser_, line + "\r\n", 7);
            if (!upTo.empty() && line.find(upTo) != std::string::npos) return;
        }
        ASSERT_TRUE(upTo.empty()) << upTo << " not in " << name;
    }

    FakeClock clock_;
    NmeaParser parser_{clock_};
    SentenceCutter cutter_;
};

TEST_F(BrokenLogTest, Triton400GgaRunIntoTheNextSentenceLosesOnlyTheGga) {
    // "$GPGGA,030130$GPGLL,2638.1728,N,08011.3893,W,...": the "$" starts over, the GLL counts.
    replay("triton400", "$GPGGA,030130$GPGLL");
    EXPECT_NEAR(parser_.fix().latitude, 26.0 + 38.1728 / 60.0, 1e-5);
    EXPECT_NEAR(parser_.fix().longitude, -(80.0 + 11.3893 / 60.0), 1e-5);
    EXPECT_EQ(parser_.fix().altitude, 16.0f);  // from the GGA before
    replay("triton400");
    expectSane(parser_, true);
}

TEST_F(BrokenLogTest, ITrekMalformedGsaLeavesTheDopsAlone) {
    replay("iTrek", "$GPGSA,A,1,,,,*32");
    EXPECT_EQ(parser_.fix().pdop, NoValue);
    EXPECT_EQ(parser_.fix().vdop, NoValue);
    replay("iTrek", "$GPGSA,A,3,09,05,14,26,,,,,,,,,2.9,2.2,1.9*3C");
    EXPECT_FLOAT_EQ(parser_.fix().pdop, 2.9f);
    EXPECT_FLOAT_EQ(parser_.fix().hdop, 2.2f);
    EXPECT_FLOAT_EQ(parser_.fix().vdop, 1.9f);
    expectSane(parser_, true);
}

TEST_F(BrokenLogTest, HoluxPartialLastSentenceChangesNothing) {
    replay("holux-gm-210", "$GPRMC,012529.562");
    const std::string before = describe(parser_);
    // Ended by CR LF in the replay, it has too few fields to count.
    feed(cutter_, parser_, "$GPGGA,012530.562,4131.7353,N,09336.8150,W,0,00,50.\r\n", 7);
    EXPECT_EQ(describe(parser_), before);
    // As the receiver really stopped: without an end, it waits in the carry.
    const std::string partial = "$GPGGA,012530.562,4131.7353,N,09336.8150,W,0,00,50.";
    feed(cutter_, parser_, partial, 7);
    EXPECT_EQ(cutter_.carry(), partial.size());
    EXPECT_EQ(describe(parser_), before);
    expectSane(parser_, true);
}

TEST_F(BrokenLogTest, Com1289GsvWithWrongChecksumDoesNotUpsetTheRest) {
    // The corrupt GSV fails its checksum and is dropped whole: no phantom satellite 110, and the
    // real satellites carry the values of gpsd's last report.
    replay("com-1289");
    expectSane(parser_, true);
    for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) EXPECT_NE(parser_.satellite(i)->prn, 110);
    std::string lastSky;
    for (const auto& line : readLines(logDir() + "/com-1289.log.chk")) {
        if (isReport(line, "SKY")) lastSky = line;
    }
    const auto satellites = skySatellites(lastSky);
    ASSERT_EQ(satellites.size(), 11u);
    for (const SkySatellite& sky : satellites) {
        bool found = false;
        for (int i = 0; i < NmeaParser::SatelliteSlots; ++i) {
            const SatelliteInfo& entry = *parser_.satellite(i);
            if (entry.prn != sky.prn) continue;
            found = true;
            EXPECT_EQ(entry.elevation, *sky.elevation);
            EXPECT_EQ(entry.azimuth, *sky.azimuth);
            EXPECT_EQ(entry.snr, *sky.snr);
        }
        EXPECT_TRUE(found) << "PRN " << sky.prn;
    }
}

// =========================================================================================
// Framing: whatever arrives, the next good sentence is taken and the fix stays whole.

constexpr char kGoodRmc[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
constexpr char kGga[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
constexpr char kVtg[] = "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48";
constexpr char kGsa[] = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";

void expectGoodRmcTaken(const NmeaParser& parser) {
    const GpsFix& fix = parser.fix();
    EXPECT_TRUE(fix.valid);
    EXPECT_NEAR(fix.latitude, 48.0 + 7.038 / 60.0, 1e-5);
    EXPECT_NEAR(fix.longitude, 11.0 + 31.0 / 60.0, 1e-5);
    EXPECT_NEAR(fix.speed, 22.4 * 1.852, 1e-4);
    EXPECT_FLOAT_EQ(fix.course, 84.4f);
    EXPECT_EQ(fix.utcTime.year, 1994);
    EXPECT_EQ(hms(fix.utcTime), "12:35:19");
    ASSERT_GT(parser.trackPointCount(), 0u);
    EXPECT_EQ(parser.trackPoint(static_cast<long long>(parser.trackPointCount()) - 1)->latitude,
              fix.latitude);
}

std::string repeated(std::string_view text, size_t times) {
    std::string result;
    for (size_t i = 0; i < times; ++i) result += text;
    return result;
}

std::string randomBytes(size_t count, unsigned seed, bool withFraming) {
    std::mt19937 random(seed);
    std::string bytes;
    while (bytes.size() < count) {
        const char c = static_cast<char>(random() & 0xff);
        if (!withFraming && (c == '$' || c == '\r')) continue;
        bytes += c;
    }
    return bytes;
}

struct FramingCase {
    const char* name;
    std::string stream;
    // What the cutter must pass on before the good RMC; empty when it depends on chance.
    std::optional<std::vector<std::string>> passed;
};

void PrintTo(const FramingCase& c, std::ostream* out) { *out << c.name; }

std::vector<FramingCase> framingCases() {
    using namespace std::string_literals;
    const std::string gga = kGga, vtg = kVtg, gsa = kGsa;
    const std::string longest = "$GPTXT," + std::string(SentenceCutter::BufferSize - 1 - 7, 'x');
    return {
        {"BinaryNoise", randomBytes(8192, 1, true), std::nullopt},
        {"BinaryNoiseWithoutDollarOrCr", randomBytes(8192, 2, false), std::vector<std::string>{}},
        {"NulBetweenSentences", "\0\0"s + gga + "\r\n\0\0\0"s + vtg + "\r\n\0"s, std::vector{gga, vtg}},
        {"NulInsideASentence", "$GPGGA,123519,4807.038,N,\0\0"s + "01131.000,E,1,08\r\n",
         std::vector{"$GPGGA,123519,4807.038,N,\0\0"s + "01131.000,E,1,08"}},
        {"TenKilobytesWithoutCarriageReturn", "$GPGGA," + repeated("1234567890,\n", 850),
         std::vector<std::string>{}},
        {"TenKilobytesOutsideSentences", repeated("no sentence here\r\n", 600), std::vector<std::string>{}},
        {"StormOfDollars", repeated("$", 5000) + "\r\n" + repeated("$", 3000), std::vector<std::string>{"$"}},
        {"DollarsBeforeASentence", repeated("$", 3000) + gga + "\r\n", std::vector{gga}},
        {"SixtyFields", "$GPGSV,4,1,15" + repeated(",01,02,03,04", 15) + "\r\n",
         std::vector{"$GPGSV,4,1,15" + repeated(",01,02,03,04", 15)}},
        {"FieldOf500Characters",
         "$GPGGA,123519," + std::string(500, '7') + ",N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n",
         std::vector{"$GPGGA,123519," + std::string(500, '7') + ",N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"}},
        {"TruncatedThenRestarted", "$GPRMC,123520,A,4807.0" + gga.substr(0, 30) + gga + "\r\n",
         std::vector{gga}},
        {"TruncatedButEnded", "$GPRMC,123520,A,4807.038,N\r\n$GPGGA,12\r\n$GPGSV,3,1,12,05,4\r\n",
         std::vector<std::string>{"$GPRMC,123520,A,4807.038,N", "$GPGGA,12", "$GPGSV,3,1,12,05,4"}},
        {"BareLineFeedDoesNotEnd", gga + "\n" + gsa + "\r" + vtg + "\r\n\n\r\r", std::vector{gsa, vtg}},
        {"LineFeedBeforeCarriageReturn", gsa + "\n\r", std::vector{gsa + "\n"}},
        {"DollarRestartsASentence", gga.substr(0, 40) + "$" + vtg.substr(1) + "\r\n", std::vector{vtg}},
        {"LongestSentenceThatFits", longest + "\r\n", std::vector{longest}},
        {"OneByteLongerIsDropped", longest + "x\r\n", std::vector<std::string>{}},
    };
}

class FramingTest : public ::testing::TestWithParam<FramingCase> {
protected:
    void SetUp() override { useZone("UTC"); }
};

TEST_P(FramingTest, NextGoodRmcIsTakenWhateverTheReads) {
    const FramingCase& c = GetParam();
    const std::string stream = c.stream + kGoodRmc + "\r\n";
    std::optional<std::vector<std::string>> firstRun;
    for (const size_t chunk : {size_t{1}, size_t{7}, size_t{2048}}) {
        SCOPED_TRACE("reads of " + std::to_string(chunk));
        FakeClock clock;
        NmeaParser parser(clock);
        SentenceCutter cutter;
        std::vector<std::string> passed;
        feed(cutter, stream, chunk, [&](std::string_view sentence) {
            passed.emplace_back(sentence);
            parser.parseSentence(sentence);
        });
        ASSERT_FALSE(passed.empty());
        EXPECT_EQ(passed.back(), kGoodRmc) << "the reader stalled";
        EXPECT_EQ(cutter.carry(), 0u);
        passed.pop_back();
        if (c.passed) {
            EXPECT_EQ(passed, *c.passed);
        }
        if (firstRun) {
            EXPECT_EQ(passed, *firstRun);
        }
        firstRun = passed;
        expectGoodRmcTaken(parser);
        expectSane(parser, c.passed.has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FramingTest, ::testing::ValuesIn(framingCases()),
                         [](const ::testing::TestParamInfo<FramingCase>& info) { return info.param.name; });

TEST(SentenceSplitTest, SentencesSplitAcrossThreeReadsAtEveryPositionGiveTheSameState) {
    useZone("UTC");
    const std::string stream = std::string("junk\r\n") + kGga + "\r\n" + kVtg + "\n\r" + kGoodRmc + "\r\n";
    FakeClock clock;
    NmeaParser whole(clock);
    SentenceCutter wholeCutter;
    feed(wholeCutter, whole, stream, stream.size());
    const std::string expected = describe(whole);
    expectGoodRmcTaken(whole);
    EXPECT_EQ(whole.fix().altitude, 545.4f);

    for (size_t first = 0; first <= stream.size(); ++first) {
        for (size_t second = first; second <= stream.size(); ++second) {
            NmeaParser parser(clock);
            SentenceCutter cutter;
            const std::string_view bytes = stream;
            feed(cutter, parser, bytes.substr(0, first), stream.size());
            feed(cutter, parser, bytes.substr(first, second - first), stream.size());
            feed(cutter, parser, bytes.substr(second), stream.size());
            ASSERT_EQ(describe(parser), expected) << "split at " << first << " and " << second;
        }
    }
}

// =========================================================================================
// Odd sentences that a receiver, or a line, may produce: the fix stays whole.

struct OddSentenceCase {
    const char* name;
    std::string sentence;
};

void PrintTo(const OddSentenceCase& c, std::ostream* out) { *out << c.sentence; }

class OddSentenceTest : public ::testing::TestWithParam<OddSentenceCase> {
protected:
    void SetUp() override { useZone("UTC"); }
};

TEST_P(OddSentenceTest, KeepsTheFixFiniteAndTheTableWhole) {
    FakeClock clock;
    NmeaParser parser(clock);
    for (const char* sentence : {kGga, kGsa, kVtg, kGoodRmc}) parser.parseSentence(sentence);
    parser.parseSentence("$GPGSV,1,1,02,05,40,083,46,09,10,200,*7E");
    parser.parseSentence(GetParam().sentence);
    expectSane(parser, false);
    parser.parseSentence(kGoodRmc);
    expectGoodRmcTaken(parser);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OddSentenceTest,
    ::testing::Values(
        OddSentenceCase{"NotANumber", "$GPRMC,123520,A,nan,N,inf,E,-inf,nan,230394,,*00"},
        OddSentenceCase{"BeyondFloat", "$GPGGA,123520,1e999,N,1e999,E,1,08,1e999,1e999,M,,M,,*00"},
        OddSentenceCase{"FiveHundredDigits",
                        "$GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9," + std::string(500, '9') + ",M,,M,,"},
        // Finite in knots, beyond a float once turned into km/h.
        OddSentenceCase{"SpeedBeyondFloatInKmh",
                        "$GPRMC,123520,A,4807.038,N,01131.000,E,3e38,084.4,230394,,*00"},
        OddSentenceCase{"NegativeSpeedBeyondFloatInKmh",
                        "$GPRMC,123520,V,4807.038,N,01131.000,E,-3e38,084.4,230394,,*00"},
        OddSentenceCase{"VtgSpeedBeyondFloatInKmh", "$GPVTG,054.7,T,034.4,M,3e38,N,010.2,K*48"},
        OddSentenceCase{"HugeCoordinates", "$GPRMC,123520,A,3e38,N,-3e38,W,1,2,230394,,*00"},
        OddSentenceCase{"PrnThatLooksEmpty", "$GPGSV,1,1,01,-9999,10,20,30*00"},
        OddSentenceCase{"SixtyFieldsRmc", std::string(kGoodRmc).substr(0, 62) + repeated(",", 60)},
        OddSentenceCase{"BadDate", "$GPRMC,996199,A,4807.038,N,01131.000,E,022.4,084.4,003299,,*00"},
        OddSentenceCase{"SignsEverywhere",
                        "$GPGGA,-12345,-4807.038,S,-01131.000,W,1,-8,-0.9,-545.4,M,,M,,*00"}),
    [](const ::testing::TestParamInfo<OddSentenceCase>& info) { return info.param.name; });

}  // namespace
}  // namespace movira
