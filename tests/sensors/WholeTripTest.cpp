// Whole trips: receiver logs replayed through the sentence cutter, the parser and all 36 sensors,
// as the reader thread does it, and the totals held against figures worked out here from the log
// text alone, with plain double arithmetic. Nothing here calls a sensor or a parser conversion to
// get an expected value.
#include "core/NmeaParser.h"
#include "core/SentenceCutter.h"
#include "core/UiText.h"
#include "sensors/SensorSet.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace movira {
namespace {

// ---- Where the sensors sit in the set ----------------------------------------------------------

constexpr int GpsStatus = 0;
constexpr int SatellitesUsed = 1;
constexpr int FirstFastest = 3;
constexpr int GeoDistance = 8;
constexpr int Distance = 9;
constexpr int Elapsed = 10;
constexpr int Average = 11;
constexpr int Speed = 12;
constexpr int MaxSpeed = 13;
constexpr int FirstAcceleration = 14;
constexpr int Latitude = 28;
constexpr int Longitude = 29;
constexpr int Altitude = 30;

constexpr std::array<double, 14> kAccelerationTargets = {10,  20,  30,  40,  50,  60,  70,
                                                          80,  90,  100, 150, 200, 250, 300};

struct FastestKind {
    double metres;
    bool standingStart;
};
constexpr std::array<FastestKind, 5> kFastest = {
    {{100, true}, {402, true}, {500, false}, {1000, false}, {10000, false}}};

// Tolerances. Speeds and totals go through single precision in the program (knots times 1.852,
// float sums over a thousand steps): 1e-4 relative is far above that rounding and far below any
// wrong step. Best times: the program keeps whole milliseconds, truncated, from float steps.
constexpr double kRelative = 1e-4;
constexpr double kMsTolerance = 1.0;
// The parser reads dddmm.mmmm as a float32: near 18000 that is good to a thousandth of a minute.
constexpr double kDegreeTolerance = 3e-5;

// ---- Reading a log the plain way --------------------------------------------------------------

// The sentences a receiver sent: comment and empty lines dropped, line ends whatever the file kept.
std::vector<std::string> readLog(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file.is_open()) << path;
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
}

// Fields of a sentence, identifier first, the checksum dropped.
std::vector<std::string> splitFields(const std::string& sentence) {
    std::vector<std::string> fields(1);
    for (const char c : sentence.substr(1, sentence.find('*') - 1)) {
        if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// A sentence type needs this many "," and "*" before the parser takes it.
size_t separators(const std::string& sentence) {
    return static_cast<size_t>(std::count_if(sentence.begin(), sentence.end(),
                                             [](char c) { return c == ',' || c == '*'; }));
}

std::optional<double> number(const std::string& field) {
    if (field.empty()) return std::nullopt;
    return std::stod(field);
}

// ddmm.mmmm or dddmm.mmmm, negated for "S" or "W".
std::optional<double> degrees(const std::string& field, const std::string& hemisphere) {
    const auto value = number(field);
    if (!value) return std::nullopt;
    const double whole = std::floor(std::fabs(*value) / 100.0);
    const double result = whole + (std::fabs(*value) - whole * 100.0) / 60.0;
    return (*value < 0) != (hemisphere == "S" || hemisphere == "W") ? -result : result;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The device clock of these tests: every fix whose RMC has no plain hhmmss/ddmmyy takes it.
const SystemTime kDeviceTime{2024, 5, 5, 17, 9, 30, 15, 250};

int64_t msOf(const SystemTime& time) {
    const int64_t seconds = daysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 +
                            time.minute * 60 + time.second;
    return seconds * 1000 + time.milliseconds;
}

// What a device clock kept to GPS time reads at an RMC with "hhmmss.sss" and "ddmmyy"; empty when
// the RMC carries no such time.
std::optional<SystemTime> clockTimeOf(const std::vector<std::string>& rmc) {
    const std::string& time = rmc.at(1);
    const std::string& date = rmc.at(9);
    if (time.size() < 8 || time[6] != '.' || date.size() != 6) return std::nullopt;
    const int yy = std::stoi(date.substr(4, 2));
    const double fraction = std::stod(time.substr(6));
    return SystemTime{static_cast<uint16_t>(yy < 90 ? 2000 + yy : 1900 + yy),
                      static_cast<uint16_t>(std::stoi(date.substr(2, 2))),
                      0,
                      static_cast<uint16_t>(std::stoi(date.substr(0, 2))),
                      static_cast<uint16_t>(std::stoi(time.substr(0, 2))),
                      static_cast<uint16_t>(std::stoi(time.substr(2, 2))),
                      static_cast<uint16_t>(std::stoi(time.substr(4, 2))),
                      static_cast<uint16_t>(std::lround(fraction * 1000))};
}

// One completed fix as the log describes it.
struct LogFix {
    int64_t ms = 0;  // UTC; only differences matter
    bool valid = false;
    std::optional<double> kmh;
    std::optional<double> latitude, longitude, altitude;
    std::optional<int> satellites;
    bool usable() const { return valid && kmh.has_value(); }
};

// Every $GPRMC of the log that completes a fix, with the altitude and satellite count of the
// latest $GPGGA before it (RMC comes first in each second, so that is the second before).
// A fix without a plain hhmmss/ddmmyy has the device clock's time, which stands still or, with
// `clockFollowsLog`, is set to the time of every RMC that has one with decimals.
std::vector<LogFix> logFixes(const std::vector<std::string>& lines, bool clockFollowsLog = false) {
    std::vector<LogFix> fixes;
    SystemTime clock = kDeviceTime;
    std::optional<double> altitude;
    std::optional<int> satellites;
    for (const std::string& line : lines) {
        const auto fields = splitFields(line);
        if (fields[0] == "GPGGA" && separators(line) >= 11) {
            altitude = number(fields.at(9));
            satellites = fields.at(7).empty() ? std::nullopt : std::optional<int>(std::stoi(fields.at(7)));
        }
        if (fields[0] != "GPRMC" || separators(line) < 10) continue;
        LogFix& fix = fixes.emplace_back();
        fix.valid = fields.at(2) == "A";
        const std::string& time = fields.at(1);
        const std::string& date = fields.at(9);
        // hhmmss or hhmmss.sss: the receiver's own time, to the millisecond.
        const bool ownTime = time.size() >= 6 && date.size() == 6 &&
                             (time.size() == 6 || (time.size() > 7 && time[6] == '.' &&
                                                   time.find_first_not_of("0123456789", 7) == std::string::npos));
        if (ownTime) {
            const int yy = std::stoi(date.substr(4, 2));
            const int64_t days = daysFromCivil(yy < 90 ? 2000 + yy : 1900 + yy, std::stoi(date.substr(2, 2)),
                                               std::stoi(date.substr(0, 2)));
            const int64_t seconds = days * 86400 + std::stoi(time.substr(0, 2)) * 3600 +
                                    std::stoi(time.substr(2, 2)) * 60 + std::stoi(time.substr(4, 2));
            const int64_t milliseconds = time.size() == 6 ? 0 : std::stoi((time.substr(7) + "00").substr(0, 3));
            fix.ms = seconds * 1000 + milliseconds;
        } else {
            if (clockFollowsLog) clock = clockTimeOf(fields).value_or(clock);
            fix.ms = msOf(clock);
        }
        if (const auto knots = number(fields.at(7))) fix.kmh = *knots * 1.852;
        if (fix.valid && !fix.kmh) fix.kmh = 0.0;  // a valid fix without a speed stands still
        fix.latitude = degrees(fields.at(3), fields.at(4));
        fix.longitude = degrees(fields.at(5), fields.at(6));
        fix.altitude = altitude;
        fix.satellites = satellites;
    }
    return fixes;
}

// ---- What the log says the sensors must show -----------------------------------------------

// A step between two fixes counts as travel when time runs forward by at most an hour; a jump
// back (a log replayed again) or a long gap starts afresh.
bool isTravel(int64_t fromMs, int64_t toMs) { return toMs >= fromMs && toMs - fromMs <= 3'600'000; }

struct Totals {
    double distanceKm = 0;         // speeds integrated over the exact step times
    double geoKm = 0;              // straight lines between consecutive positioned fixes
    int64_t elapsedS = 0;          // time with a fix, short dropouts bridged, in whole seconds at the end
    double averageKm = 0;          // speeds integrated over the exact step times
    int64_t averageS = 0;          // those steps' time, in whole seconds at the end
    int64_t averageMs = 0;
    std::optional<double> maxKmh;  // over every fix with a speed, valid or not
};

// Earth-centred coordinates on the PZ-90 ellipsoid, metres.
std::array<double, 3> ecef(double latitudeDeg, double longitudeDeg, double height) {
    constexpr double a = 6378136.0, e2 = 0.0066943662;
    const double phi = latitudeDeg * std::numbers::pi / 180.0;
    const double lambda = longitudeDeg * std::numbers::pi / 180.0;
    const double n = a / std::sqrt(1.0 - e2 * std::sin(phi) * std::sin(phi));
    return {(n + height) * std::cos(phi) * std::cos(lambda), (n + height) * std::cos(phi) * std::sin(lambda),
            ((1.0 - e2) * n + height) * std::sin(phi)};
}

Totals totalsOf(const std::vector<LogFix>& fixes) {
    Totals totals;
    const LogFix* lastUsable = nullptr;  // for the time: dropouts are bridged
    bool unbroken = false;               // no dropout since lastUsable: the speeds join up
    std::optional<std::array<double, 3>> lastPoint;
    int64_t elapsedMs = 0;
    for (const LogFix& fix : fixes) {
        if (fix.kmh) totals.maxKmh = std::max(totals.maxKmh.value_or(*fix.kmh), *fix.kmh);
        if (fix.valid && fix.latitude && fix.longitude && fix.altitude) {
            const auto point = ecef(*fix.latitude, *fix.longitude, *fix.altitude);
            if (lastPoint) {
                const auto& [x, y, z] = *lastPoint;
                totals.geoKm += std::hypot(x - point[0], y - point[1], z - point[2]) / 1000.0;
            }
            lastPoint = point;
        }
        if (!fix.usable()) {
            unbroken = false;
            continue;
        }
        if (lastUsable && isTravel(lastUsable->ms, fix.ms)) {
            const int64_t ms = fix.ms - lastUsable->ms;
            elapsedMs += ms;
            if (unbroken) {
                const double meanKmh = (*lastUsable->kmh + *fix.kmh) / 2.0;
                totals.distanceKm += meanKmh * static_cast<double>(ms) / 3'600'000.0;
                totals.averageKm += meanKmh * static_cast<double>(ms) / 3'600'000.0;
                totals.averageMs += ms;
            }
        }
        lastUsable = &fix;
        unbroken = true;
    }
    totals.elapsedS = elapsedMs / 1000;
    totals.averageS = totals.averageMs / 1000;
    return totals;
}

// The usable fixes cut into runs within which time goes forward without hour-long gaps.
// `splitAtDropouts`: a fix without a usable fix also ends a run.
std::vector<std::vector<LogFix>> runsOf(const std::vector<LogFix>& fixes, bool splitAtDropouts) {
    std::vector<std::vector<LogFix>> runs(1);
    for (const LogFix& fix : fixes) {
        if (!fix.usable()) {
            if (splitAtDropouts && !runs.back().empty()) runs.emplace_back();
            continue;
        }
        if (!runs.back().empty() && !isTravel(runs.back().back().ms, fix.ms)) runs.emplace_back();
        runs.back().push_back(fix);
    }
    return runs;
}

// Every time from standstill to `target` km/h: from the last fix below 1 km/h to the moment the
// speed, linear between the two fixes around the crossing, reaches the target. Dropouts do not end
// a run; a run longer than 1000 s before the crossing, or a last step longer than that, counts not.
std::vector<double> accelerationRuns(const std::vector<LogFix>& fixes, double target) {
    std::vector<double> seconds;
    for (const auto& run : runsOf(fixes, false)) {
        std::optional<int64_t> standing;
        for (size_t i = 0; i < run.size(); ++i) {
            if (std::fabs(*run[i].kmh) < 1.0) standing = run[i].ms;
            if (i == 0 || !standing) continue;
            const double v0 = *run[i - 1].kmh, v1 = *run[i].kmh;
            if (!(v0 < target && v1 >= target)) continue;
            const auto lastStep = static_cast<double>(run[i].ms - run[i - 1].ms);
            const auto before = static_cast<double>(run[i - 1].ms - *standing);
            if (lastStep > 1e6 || before > 1e6) continue;
            const double ms = before + (target - v0) / (v1 - v0) * lastStep;
            if (ms > 0) seconds.push_back(ms / 1000.0);
        }
    }
    return seconds;
}

std::optional<double> best(const std::vector<double>& values) {
    if (values.empty()) return std::nullopt;
    return *std::min_element(values.begin(), values.end());
}

// Best time in ms over `metres`. Between two fixes the vehicle is taken to go at the mean of their
// speeds for the whole step; the window ends at a fix and reaches back over whole steps,
// the oldest one counted by the part of its distance still needed and the same part of its time.
// A standing start times the whole run from the last fix at exactly 0 km/h (one run per stop);
// a flying window may only reach back to the step that ended the previous window. A
// measurement that finds nothing within 300 s is given up; a dropout or time jump ends it.
std::optional<double> fastestWindow(const std::vector<LogFix>& fixes, FastestKind kind) {
    constexpr double kMaxHistoryMs = 300'000;
    std::optional<double> bestMs;
    for (const auto& run : runsOf(fixes, true)) {
        struct Step {
            double metres, ms;
        };
        std::vector<Step> steps;  // the measurement so far, oldest first
        bool measuring = !kind.standingStart;
        for (size_t i = 0; i < run.size(); ++i) {
            if (kind.standingStart && *run[i].kmh == 0.0) {
                measuring = true;
                steps.clear();
                continue;
            }
            if (i == 0 || !measuring) continue;
            const auto ms = static_cast<double>(run[i].ms - run[i - 1].ms);
            const Step step{(*run[i - 1].kmh + *run[i].kmh) / 2.0 / 3.6 * (ms / 1000.0), ms};
            double covered = step.metres, time = step.ms;
            std::optional<double> window;
            if (kind.standingStart) {
                // From the stop: every step so far, and the part of this one still needed.
                double before = 0.0, beforeMs = 0.0;
                for (const Step& older : steps) {
                    before += older.metres;
                    beforeMs += older.ms;
                }
                if (before + step.metres >= kind.metres) {
                    window = beforeMs + (kind.metres - before) / step.metres * step.ms;
                }
            }
            const auto newest = kind.standingStart ? steps.rend() : steps.rbegin();  // the stop is done above
            for (auto older = newest; older != steps.rend() && !window; ++older) {
                if (covered + older->metres >= kind.metres) {
                    window = time + (kind.metres - covered) / older->metres * older->ms;
                }
                covered += older->metres;
                time += older->ms;
            }
            if (window) {
                if (*window >= 1.0) bestMs = std::min(bestMs.value_or(*window), *window);
                measuring = !kind.standingStart;
                steps.clear();
            }
            double historyMs = 0;
            for (const Step& older : steps) historyMs += older.ms;
            if (historyMs + step.ms <= kMaxHistoryMs) {
                steps.push_back(step);
            } else {
                measuring = !kind.standingStart;
                steps.clear();
            }
        }
    }
    return bestMs;
}

// ---- Replaying through the program ----------------------------------------------------------

// The parser and the sensors as the core wires them, fed like the reader thread: CR LF after every
// sentence, the bytes in reads of a few hundred, each completed fix fanned out to all sensors.
class Trip {
public:
    Trip() {
        clock_.set(kDeviceTime);
        parser_ = std::make_unique<NmeaParser>(clock_);
        sensors_.createSensors(uiText_, battery_);
    }

    // From now on the device clock is set to the time of every RMC that carries one with decimals
    // (which the parser does not read), just before the parser takes that RMC.
    void followLogWithClock() { clockFollowsLog_ = true; }

    void replay(const std::vector<std::string>& lines) {
        std::string stream;
        for (const auto& line : lines) stream += line + "\r\n";
        std::string_view bytes = stream;
        while (!bytes.empty()) {
            const size_t count = std::min({size_t{700}, cutter_.freeCapacity(), bytes.size()});
            std::memcpy(cutter_.freeSpace(), bytes.data(), count);
            bytes.remove_prefix(count);
            cutter_.cut(count, [&](std::string_view sentence) {
                if (clockFollowsLog_ && sentence.starts_with("$GPRMC,")) {
                    const std::string rmc(sentence);
                    const auto time = separators(rmc) >= 10 ? clockTimeOf(splitFields(rmc)) : std::nullopt;
                    if (time) clock_.set(*time);
                }
                if (parser_->parseSentence(sentence)) {
                    sensors_.updateAll(parser_->fix());
                    ++fixes_;
                }
            });
        }
    }

    const Sensor& at(int index) const { return *sensors_.at(index); }
    std::wstring text(int index) const { return at(index).text(); }
    float value(int index, int which = 0) const { return at(index).value(which); }
    int fixes() const { return fixes_; }

    // Whole numbers the sensors keep but give only in their saved text ("target;ms", "km;s", "s").
    int64_t fastestMs(size_t k) const { return savedInteger(FirstFastest + static_cast<int>(k), true); }
    int64_t elapsedSeconds() const { return savedInteger(Elapsed, false); }
    int64_t averageSeconds() const { return savedInteger(Average, true); }

private:
    int64_t savedInteger(int index, bool afterSemicolon) const {
        const std::string saved = at(index).saveValue();
        const size_t from = afterSemicolon ? saved.find(';') + 1 : 0;
        return std::strtoll(saved.c_str() + from, nullptr, 10);
    }

    test::FakeClock clock_;
    std::unique_ptr<NmeaParser> parser_;
    UiText uiText_{UiText::Language::English};
    test::FakeBattery battery_;
    SensorSet sensors_;
    SentenceCutter cutter_;
    bool clockFollowsLog_ = false;
    int fixes_ = 0;
};

void expectRelative(double actual, double expected, const char* what) {
    EXPECT_NEAR(actual, expected, std::max(std::fabs(expected) * kRelative, 1e-9)) << what;
}

// Every time-based figure of `trip` against what `fixes` call for.
void expectTimedSensorsMatch(const Trip& trip, const std::vector<LogFix>& fixes) {
    const Totals totals = totalsOf(fixes);
    expectRelative(trip.value(Distance), totals.distanceKm, "distance, km");
    EXPECT_EQ(trip.elapsedSeconds(), totals.elapsedS) << "elapsed, s";
    EXPECT_EQ(trip.averageSeconds(), totals.averageS) << "average speed's own time, s";
    expectRelative(trip.value(Average, 1), totals.averageKm, "average speed's own distance, km");
    if (totals.averageMs > 0) {
        expectRelative(trip.value(Average), totals.averageKm / static_cast<double>(totals.averageMs) * 3'600'000.0,
                       "average speed, km/h");
    } else {
        EXPECT_EQ(trip.value(Average), NoValue) << "an average without time";
    }
    if (totals.maxKmh) {
        expectRelative(trip.value(MaxSpeed), *totals.maxKmh, "maximum, km/h");
    } else {
        EXPECT_EQ(trip.value(MaxSpeed), NoValue);
    }

    for (size_t k = 0; k < kAccelerationTargets.size(); ++k) {
        const double target = kAccelerationTargets[k];
        const int index = FirstAcceleration + static_cast<int>(k);
        ASSERT_EQ(trip.value(index, 1), static_cast<float>(target)) << "sensor " << index;
        if (const auto seconds = best(accelerationRuns(fixes, target))) {
            EXPECT_NEAR(trip.value(index), *seconds, kMsTolerance / 1000.0) << "0-" << target << " km/h";
        } else {
            EXPECT_EQ(trip.value(index), NoValue) << "0-" << target << " km/h is never reached";
            EXPECT_EQ(trip.text(index), L"") << "0-" << target << " km/h";
        }
    }
    for (size_t k = 0; k < kFastest.size(); ++k) {
        ASSERT_EQ(trip.value(FirstFastest + static_cast<int>(k), 1), static_cast<float>(kFastest[k].metres));
        const auto expected = fastestWindow(fixes, kFastest[k]);
        // The program truncates to whole milliseconds: at most one below the exact time.
        EXPECT_NEAR(static_cast<double>(trip.fastestMs(k)), expected.value_or(0.0), kMsTolerance)
            << "fastest " << kFastest[k].metres << " m" << (kFastest[k].standingStart ? " from a stop" : "");
    }
}

// Local time is UTC: the fix times are the log's.
class WholeTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
    }
};

// ---- The demo drive ---------------------------------------------------------------------------

class DemoDriveTripTest : public WholeTripTest {
protected:
    void SetUp() override {
        WholeTripTest::SetUp();
        lines_ = readLog(std::string(MOVIRA_SOURCE_DIR) + "/data/demo/demo-drive.nmea");
        fixes_ = logFixes(lines_);
        ASSERT_EQ(fixes_.size(), 1007u) << "one RMC a second, 08:00:00 to 08:16:46";
        trip_ = std::make_unique<Trip>();
        trip_->replay(lines_);
        ASSERT_EQ(trip_->fixes(), 1007);
    }

    // The lines from the RMC of `from` (hhmmss) up to, without, the RMC of `to`.
    std::vector<std::string> slice(const std::string& from, const std::string& to) const {
        const auto rmcOf = [&](const std::string& time) {
            return std::find_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
                return line.starts_with("$GPRMC," + time + ",");
            });
        };
        return {rmcOf(from), rmcOf(to)};
    }

    std::vector<std::string> lines_;
    std::vector<LogFix> fixes_;
    std::unique_ptr<Trip> trip_;
};

TEST_F(DemoDriveTripTest, SensorsAreWhereTheTestLooksForThem) {
    EXPECT_EQ(trip_->at(GeoDistance).caption(), std::wstring(L"Distance ex"));
    EXPECT_EQ(trip_->at(Distance).caption(), std::wstring(L"Distance"));
    EXPECT_EQ(trip_->at(Elapsed).caption(), std::wstring(L"Elapsed"));
    EXPECT_EQ(trip_->at(Average).caption(), std::wstring(L"Average speed"));
    EXPECT_EQ(trip_->at(MaxSpeed).caption(), std::wstring(L"Max speed"));
    EXPECT_EQ(trip_->at(FirstFastest).caption(), std::wstring(L"The fastest 100m"));
    EXPECT_EQ(trip_->at(FirstAcceleration + 9).caption(), std::wstring(L"Accel. 0-100 km/h"));
    EXPECT_EQ(trip_->at(Latitude).caption(), std::wstring(L"Latitude"));
}

TEST_F(DemoDriveTripTest, EveryTimedFigureMatchesTheLog) { expectTimedSensorsMatch(*trip_, fixes_); }

TEST_F(DemoDriveTripTest, TotalsAreTheDrivesFigures) {
    const Totals totals = totalsOf(fixes_);
    // The README's 22 830.6 m include the 17 s step across the loss of fix at a steady 37.80 kn;
    // the speed integral does not bridge a dropout, so it leaves out exactly that step.
    const double tunnelKm = 17 * 37.80 * 1.852 / 3600.0;
    EXPECT_NEAR(totals.distanceKm + tunnelKm, 22.8306, 0.0001);
    EXPECT_NEAR(trip_->value(Distance), 22.8306 - tunnelKm, 0.0005);
    EXPECT_EQ(trip_->text(Distance), L"22.5 km");
    // The straight lines do bridge it: the first positioned fix after the loss hops back to the
    // last one before it. The program keeps degrees, radians and coordinates in float32, which
    // puts half a metre of noise on every point; noise across the way only ever lengthens a step
    // (by some 5 mm on a 22 m step), so the sum comes out a few metres long: 10 m allowed.
    EXPECT_NEAR(trip_->value(GeoDistance), totals.geoKm, 0.010);
    // The README measures on a sphere of 6371 km; at 60 degrees north the ellipsoid's radii of
    // curvature are 0.2 to 0.4 % larger.
    EXPECT_GT(trip_->value(GeoDistance), 22.8307 * 1.002);
    EXPECT_LT(trip_->value(GeoDistance), 22.8307 * 1.004);
    EXPECT_EQ(trip_->text(GeoDistance), L"22.9 km");

    // A fix all the way but the 16 s of the tunnel, which the time bridges: 08:00:00 to 08:16:46.
    EXPECT_EQ(trip_->elapsedSeconds(), 1006);
    EXPECT_EQ(trip_->text(Elapsed), L"16:46");
    EXPECT_EQ(trip_->averageSeconds(), 1006 - 17);

    EXPECT_NEAR(trip_->value(MaxSpeed), 189.0, 0.005);
    EXPECT_EQ(trip_->text(MaxSpeed), L"189.0 km/h");
    EXPECT_EQ(trip_->text(Speed), L"0.0 km/h") << "parked";
    EXPECT_EQ(trip_->text(GpsStatus), L"OK");
}

TEST_F(DemoDriveTripTest, FourStandingStartsPassOneHundred) {
    const double target = 100;
    // From the log: the README's interpolated 0-100 km/h times, in the order driven.
    const auto runs = accelerationRuns(fixes_, target);
    const std::vector<double> readme = {7.61, 6.41, 8.61, 7.12};
    // The other crossings come after slowing down without a stop: far from the last standstill.
    std::vector<double> standing;
    for (const double run : runs) {
        if (run < 20) standing.push_back(run);
    }
    ASSERT_EQ(standing.size(), readme.size());
    for (size_t i = 0; i < readme.size(); ++i) EXPECT_NEAR(standing[i], readme[i], 0.01) << "start " << i + 1;

    // The sensor keeps the best of them.
    const int sensor = FirstAcceleration + 9;
    EXPECT_NEAR(trip_->value(sensor), 6.41, 0.01);
    EXPECT_EQ(trip_->text(sensor), L"6.410 s");

    // Each start on its own, replayed from its last second at rest.
    const struct {
        const char* rest;
        const char* after;
        double seconds;
    } starts[] = {{"080030", "080050", 7.61}, {"080236", "080256", 6.41}, {"080853", "080913", 8.61},
                  {"081205", "081225", 7.12}};
    for (const auto& start : starts) {
        Trip alone;
        alone.replay(slice(start.rest, start.after));
        EXPECT_NEAR(alone.value(sensor), start.seconds, 0.01) << "from " << start.rest;
    }
    // The calm start in town never gets there.
    Trip calm;
    calm.replay(slice("080633", "080835"));
    EXPECT_EQ(calm.value(sensor), NoValue);
    EXPECT_NEAR(calm.value(MaxSpeed), 62.0, 0.05);
}

TEST_F(DemoDriveTripTest, PositionAndSatellitesAreTheLastFixes) {
    const LogFix& last = fixes_.back();
    EXPECT_NEAR(trip_->value(Latitude), *last.latitude, kDegreeTolerance);
    EXPECT_NEAR(trip_->value(Longitude), *last.longitude, kDegreeTolerance);
    EXPECT_NEAR(trip_->value(Altitude), *last.altitude, 0.01);
    EXPECT_EQ(trip_->at(SatellitesUsed).intValue(0), *last.satellites);
}

// Time jumps back by the length of the drive between the passes: that step adds nothing, every
// total doubles and every best stays.
TEST_F(DemoDriveTripTest, ALogReplayedTwiceCountsTwice) {
    Trip twice;
    twice.replay(lines_);
    twice.replay(lines_);
    ASSERT_EQ(twice.fixes(), 2 * 1007);

    EXPECT_EQ(twice.elapsedSeconds(), 2 * trip_->elapsedSeconds());
    EXPECT_EQ(twice.averageSeconds(), 2 * trip_->averageSeconds());
    // Float sums of the second pass start from a larger total: a few float steps apart at most.
    EXPECT_NEAR(twice.value(Distance), 2 * trip_->value(Distance), 1e-5 * trip_->value(Distance));
    EXPECT_NEAR(twice.value(Average, 1), 2 * trip_->value(Average, 1), 1e-5 * trip_->value(Average, 1));
    EXPECT_NEAR(twice.value(Average), trip_->value(Average), 1e-5 * trip_->value(Average));
    EXPECT_EQ(twice.text(Elapsed), L"33:32");
    EXPECT_EQ(twice.value(MaxSpeed), trip_->value(MaxSpeed));
    for (size_t k = 0; k < kAccelerationTargets.size(); ++k) {
        const int index = FirstAcceleration + static_cast<int>(k);
        EXPECT_EQ(twice.value(index), trip_->value(index)) << kAccelerationTargets[k] << " km/h";
    }
    for (size_t k = 0; k < kFastest.size(); ++k) EXPECT_EQ(twice.fastestMs(k), trip_->fastestMs(k)) << k;

    // And the same figures from the log read twice.
    std::vector<std::string> both = lines_;
    both.insert(both.end(), lines_.begin(), lines_.end());
    expectTimedSensorsMatch(twice, logFixes(both));
}

// ---- Logs of real receivers ---------------------------------------------------------------------

// GP talker only. Their RMC times carry decimals ("165007.000"): the receiver's own time, which
// the figures follow while the device clock stands still.
const std::vector<std::string> kGpLogs = {"bu353s4",        "garmin-10x",  "bn-9015",
                                          "navika-100-fix", "haicom-305N", "telit-he910"};

class RealReceiverTripTest : public WholeTripTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        WholeTripTest::SetUp();
        lines_ = readLog(std::string(MOVIRA_NMEA_LOG_DIR) + "/" + GetParam() + ".log");
        fixes_ = logFixes(lines_);
        ASSERT_FALSE(fixes_.empty());
        trip_ = std::make_unique<Trip>();
        trip_->replay(lines_);
        ASSERT_EQ(trip_->fixes(), static_cast<int>(fixes_.size()));
    }

    std::vector<std::string> lines_;
    std::vector<LogFix> fixes_;
    std::unique_ptr<Trip> trip_;
};

TEST_P(RealReceiverTripTest, TimedFiguresFollowTheReceiversTimeUnderAStillClock) {
    // Only telit's RMCs without a time take the still device clock.
    const auto own = std::count_if(fixes_.begin(), fixes_.end(), [](const LogFix& f) { return f.ms != msOf(kDeviceTime); });
    EXPECT_GT(own, 0);
    expectTimedSensorsMatch(*trip_, fixes_);
}

// The same logs with a device clock kept to the receiver's time: steps of uneven length in
// milliseconds (1.999 s, 2.000 s, ...), which the distance takes whole and the average in whole
// seconds, and the gaps at the receivers' restarts.
TEST_P(RealReceiverTripTest, TimedFiguresFollowAClockKeptToTheLog) {
    Trip trip;
    trip.followLogWithClock();
    trip.replay(lines_);
    const auto fixes = logFixes(lines_, true);
    ASSERT_GT(totalsOf(fixes).elapsedS, 0) << "the clock moves";
    expectTimedSensorsMatch(trip, fixes);
}

TEST_P(RealReceiverTripTest, MaximumSpeedIsTheLogsFastestFix) {
    const Totals totals = totalsOf(fixes_);
    ASSERT_TRUE(totals.maxKmh) << "every one of these logs has a speed";
    expectRelative(trip_->value(MaxSpeed), *totals.maxKmh, "maximum, km/h");
    wchar_t text[32];
    std::swprintf(text, 32, L"%.1f km/h", *totals.maxKmh);
    EXPECT_EQ(trip_->text(MaxSpeed), text);
}

TEST_P(RealReceiverTripTest, GeodesicDistanceFollowsThePositions) {
    const Totals totals = totalsOf(fixes_);
    size_t positioned = 0;
    for (const LogFix& fix : fixes_) positioned += fix.valid && fix.latitude && fix.longitude && fix.altitude;
    // Standing receivers wander by decimetres, less than the float32 positions resolve (a
    // thousandth of a minute: up to 3 m east-west at 175 degrees), so each step is rounded by up
    // to a few metres; over a whole log that stays well below a metre a step (0.3 m at most here).
    EXPECT_NEAR(trip_->value(GeoDistance), totals.geoKm, 0.001 * static_cast<double>(positioned) + 1e-6);
}

TEST_P(RealReceiverTripTest, PositionAndSatellitesAreTheLastFixes) {
    const LogFix& last = fixes_.back();
    EXPECT_EQ(trip_->text(GpsStatus), last.valid ? L"OK" : L"No signal");
    if (last.latitude) {
        EXPECT_NEAR(trip_->value(Latitude), *last.latitude, kDegreeTolerance);
        EXPECT_NEAR(trip_->value(Longitude), *last.longitude, kDegreeTolerance);
    } else {
        EXPECT_EQ(trip_->text(Latitude), L"N/A");
    }
    if (last.altitude) {
        EXPECT_NEAR(trip_->value(Altitude), *last.altitude, 0.01);
    } else {
        EXPECT_EQ(trip_->value(Altitude), NoValue);
    }
    EXPECT_EQ(trip_->at(SatellitesUsed).intValue(0), last.satellites.value_or(NoValueInt));
}

INSTANTIATE_TEST_SUITE_P(GpTalker, RealReceiverTripTest, ::testing::ValuesIn(kGpLogs),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace movira
