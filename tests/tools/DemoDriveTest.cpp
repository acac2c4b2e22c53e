// Checks the committed demo drive: well-formed, physically consistent, and what its script makes;
// and that the same drive from a 10 Hz receiver gives the same trip figures.
#include "core/NmeaParser.h"
#include "core/UiText.h"
#include "sensors/SensorSet.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <string_view>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace movira {
namespace {

namespace fs = std::filesystem;

const fs::path sourceDir = MOVIRA_SOURCE_DIR;
constexpr double knot = 1852.0 / 3600.0;  // m/s

std::string readFile(const fs::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

// ddmm.mmmm or dddmm.mmmm in degrees.
double degrees(const std::string& field, size_t degreeDigits) {
    return std::stod(field.substr(0, degreeDigits)) + std::stod(field.substr(degreeDigits)) / 60.0;
}

double haversine(double lat1, double lon1, double lat2, double lon2) {
    const double toRad = std::numbers::pi / 180.0;
    const double dLat = std::sin((lat2 - lat1) * toRad / 2);
    const double dLon = std::sin((lon2 - lon1) * toRad / 2);
    const double a = dLat * dLat + std::cos(lat1 * toRad) * std::cos(lat2 * toRad) * dLon * dLon;
    return 2 * 6371000.0 * std::asin(std::sqrt(a));
}

// One second of the log: its sentences' fields (identifier first) and what its RMC says.
struct Epoch {
    std::vector<std::vector<std::string>> sentences;
    bool fix = false;
    double lat = 0, lon = 0, knots = 0, course = 0;
};

class DemoDriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        text_ = readFile(sourceDir / "data/demo/demo-drive.nmea");
        for (size_t start = 0, end; (end = text_.find("\r\n", start)) != std::string::npos; start = end + 2) {
            lines_.push_back(text_.substr(start, end - start));
            std::vector<std::string> fields(1);
            for (const char c : lines_.back().substr(1, lines_.back().find('*') - 1)) {
                if (c == ',') {
                    fields.emplace_back();
                } else {
                    fields.back() += c;
                }
            }
            if (fields[0] == "GPRMC") {
                Epoch& epoch = epochs_.emplace_back();
                epoch.fix = fields.at(2) == "A";
                if (epoch.fix) {
                    epoch.lat = degrees(fields.at(3), 2);
                    epoch.lon = degrees(fields.at(5), 3);
                    epoch.knots = std::stod(fields.at(7));
                    epoch.course = std::stod(fields.at(8));
                }
            }
            ASSERT_FALSE(epochs_.empty()) << "the log starts with " << lines_.back();
            epochs_.back().sentences.push_back(std::move(fields));
        }
        ASSERT_GE(epochs_.size(), 900u);
    }

    std::string text_;
    std::vector<std::string> lines_;
    std::vector<Epoch> epochs_;
};

TEST_F(DemoDriveTest, EverySentenceEndsInCrLfAndHasAValidChecksum) {
    size_t bytes = 0;
    for (const std::string& line : lines_) {
        bytes += line.size() + 2;
        ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a bare CR or LF before " << line;
        ASSERT_TRUE(line.size() > 4 && line[0] == '$' && line[line.size() - 3] == '*') << line;
        unsigned sum = 0;
        for (size_t i = 1; i + 3 < line.size(); ++i) sum ^= static_cast<unsigned char>(line[i]);
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02X", sum);
        EXPECT_EQ(line.substr(line.size() - 2), expected) << line;
    }
    EXPECT_EQ(bytes, text_.size()) << "bytes after the last CR LF";
}

TEST_F(DemoDriveTest, EachSecondHasItsSentencesInOrder) {
    for (size_t i = 0; i < epochs_.size(); ++i) {
        const auto& sentences = epochs_[i].sentences;
        const std::string& time = sentences[0].at(1);
        SCOPED_TRACE(time);
        ASSERT_TRUE(time.size() == 6 && time.starts_with("08")) << "hhmmss from 08:00:00";
        const int second = std::stoi(time.substr(2, 2)) * 60 + std::stoi(time.substr(4));
        EXPECT_EQ(second, static_cast<int>(i)) << "one second apart";
        EXPECT_EQ(sentences[0].at(9), "140626");

        std::vector<std::string> ids, expected{"GPRMC", "GPGGA", "GPGSA"};
        for (const auto& fields : sentences) ids.push_back(fields[0]);
        const size_t gsvCount = ids.size() - 5;
        expected.insert(expected.end(), gsvCount, "GPGSV");
        expected.insert(expected.end(), {"GPVTG", "GPGLL"});
        ASSERT_EQ(ids, expected);

        // GSV: numbered 1..n of n, as many satellites as it says are in view, each plausible.
        const int inView = std::stoi(sentences[3].at(3));
        EXPECT_EQ(gsvCount, static_cast<size_t>((inView + 3) / 4));
        int listed = 0;
        for (size_t k = 0; k < gsvCount; ++k) {
            const auto& gsv = sentences[3 + k];
            EXPECT_EQ(gsv.at(1) + "/" + gsv.at(2), std::to_string(gsvCount) + "/" + std::to_string(k + 1));
            for (size_t b = 4; b + 3 < gsv.size(); b += 4, ++listed) {
                const int elevation = std::stoi(gsv[b + 1]), azimuth = std::stoi(gsv[b + 2]);
                const int snr = gsv[b + 3].empty() ? 0 : std::stoi(gsv[b + 3]);
                EXPECT_TRUE(elevation <= 90 && azimuth <= 359 && snr <= 50) << elevation << " " << azimuth;
            }
        }
        EXPECT_EQ(listed, inView);

        const Epoch& epoch = epochs_[i];
        const auto& gsa = sentences[2];
        const auto& vtg = sentences[3 + gsvCount];
        EXPECT_EQ(sentences[1].at(6), epoch.fix ? "1" : "0");
        EXPECT_EQ(gsa.at(2), epoch.fix ? "3" : "1");
        if (!epoch.fix) continue;
        EXPECT_TRUE(inView >= 8 && inView <= 12) << inView;
        const auto isPrn = [](const std::string& prn) { return !prn.empty(); };
        EXPECT_EQ(std::stoi(sentences[1].at(7)), std::count_if(gsa.begin() + 3, gsa.begin() + 15, isPrn));
        EXPECT_EQ(std::stod(vtg.at(1)), epoch.course);
        EXPECT_EQ(std::stod(vtg.at(5)), epoch.knots);
        EXPECT_NEAR(std::stod(vtg.at(7)), epoch.knots * 1.852, 0.006);
    }
}

TEST_F(DemoDriveTest, TheTrackAgreesWithTheSpeeds) {
    size_t last = 0;
    for (size_t i = 1; i < epochs_.size(); ++i) {
        const Epoch& before = epochs_[last];
        const Epoch& now = epochs_[i];
        if (!now.fix) continue;
        SCOPED_TRACE(i);
        const double hop = haversine(before.lat, before.lon, now.lat, now.lon);
        // Through the loss of fix the car held its speed: then the hop spans several seconds.
        EXPECT_NEAR(hop, static_cast<double>(i - last) * (before.knots + now.knots) / 2 * knot, 0.5);
        if (before.knots == 0 && now.knots == 0) {
            EXPECT_EQ(hop, 0.0) << "moved while standing";
            EXPECT_EQ(before.course, now.course) << "turned while standing";
        }
        last = i;
    }
}

TEST_F(DemoDriveTest, HasFastStandingStartsAndOneLossOfFix) {
    double maxKmh = 0;
    int secondsAbove150 = 0, fastStarts = 0;
    size_t lostStretches = 0, firstLost = 0, lastLost = 0;
    std::optional<size_t> rested;  // the last second at rest, until the speed reaches 100 km/h
    for (size_t i = 0; i < epochs_.size(); ++i) {
        const Epoch& epoch = epochs_[i];
        if (!epoch.fix) {
            if (i == 0 || epochs_[i - 1].fix) {
                ++lostStretches;
                firstLost = i;
            }
            lastLost = i;
            continue;
        }
        const double kmh = epoch.knots * 1.852;
        maxKmh = std::max(maxKmh, kmh);
        secondsAbove150 += kmh > 150;
        if (epoch.knots == 0) {
            rested = i;
        } else if (rested && kmh >= 100) {
            EXPECT_LE(i - *rested, 10u) << "a slow start from rest reaches 100 km/h at second " << i;
            ++fastStarts;
            rested.reset();
        }
    }
    EXPECT_GT(maxKmh, 150);
    EXPECT_GE(secondsAbove150, 60);
    EXPECT_GE(fastStarts, 2);
    ASSERT_EQ(lostStretches, 1u);
    EXPECT_TRUE(lastLost - firstLost >= 9 && lastLost - firstLost <= 19) << firstLost << " to " << lastLost;
    EXPECT_LT(lastLost + 1, epochs_.size()) << "the fix comes back";
    const auto& rmc = epochs_[firstLost].sentences[0];
    for (const int empty : {3, 4, 5, 6, 7, 8}) EXPECT_EQ(rmc.at(empty), "") << "RMC field " << empty;
}

// Runs the script with `arguments` into a fresh file; empty when python3 is not there.
std::optional<std::string> runScript(std::vector<std::string> arguments) {
    char dir[] = "/tmp/demo-drive-test-XXXXXX";
    if (!mkdtemp(dir)) return std::nullopt;
    const std::string output = std::string(dir) + "/demo-drive.nmea";
    const std::string script = sourceDir / "tools/make-demo-drive.py";
    arguments.insert(arguments.begin(), {"python3", script, "--output", output});
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int status = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) waitpid(pid, &status, 0);
    std::string text = readFile(output);
    fs::remove_all(dir);
    if (spawned != 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 127)) return std::nullopt;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "tools/make-demo-drive.py failed";
    return text;
}

TEST_F(DemoDriveTest, TheScriptRegeneratesItByteForByte) {
    const auto regenerated = runScript({});
    if (!regenerated) GTEST_SKIP() << "no python3 here";
    EXPECT_TRUE(*regenerated == text_) << "data/demo/demo-drive.nmea is not what the script makes now";
}

// The parser and all sensors, fed a log's sentences as the reader thread does.
class Trip {
public:
    explicit Trip(const std::string& log) {
        setenv("TZ", "UTC0", 1);
        tzset();
        sensors_.createSensors(uiText_, battery_);
        for (size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
            if (parser_.parseSentence(std::string_view(log).substr(start, end - start))) {
                sensors_.updateAll(parser_.fix());
                ++fixes_;
            }
        }
    }
    float value(int index, int which = 0) const { return sensors_.at(index)->value(which); }
    std::string saved(int index) const { return sensors_.at(index)->saveValue(); }
    int fixes() const { return fixes_; }

private:
    test::FakeClock clock_;
    NmeaParser parser_{clock_};
    UiText uiText_{UiText::Language::English};
    test::FakeBattery battery_;
    SensorSet sensors_;
    int fixes_ = 0;
};

TEST_F(DemoDriveTest, TenHertzGivesTheFiguresOfOneHertzWithinAStep) {
    const auto fast = runScript({"--rate", "10"});
    if (!fast) GTEST_SKIP() << "no python3 here";
    const Trip slow(text_), quick(*fast);
    ASSERT_EQ(slow.fixes(), 1007);
    ASSERT_EQ(quick.fixes(), 10'061);
    // One step of 0.1 s at the top speed of 189 km/h.
    const double stepKm = 189.0 / 3.6 * 0.1 / 1000.0, stepS = 0.1;
    constexpr int Distance = 9, Elapsed = 10, Average = 11, MaxSpeed = 13, FirstAcceleration = 14;
    EXPECT_NEAR(quick.value(Distance), slow.value(Distance), stepKm);
    EXPECT_EQ(quick.saved(Elapsed), slow.saved(Elapsed));
    EXPECT_EQ(slow.saved(Elapsed), "1006");
    EXPECT_NEAR(quick.value(Average, 1), slow.value(Average, 1), stepKm);
    EXPECT_NEAR(quick.value(Average), slow.value(Average), slow.value(Average) * stepKm / slow.value(Average, 1));
    EXPECT_EQ(quick.value(MaxSpeed), slow.value(MaxSpeed));
    for (int k = 0; k < 14; ++k) {
        EXPECT_NEAR(quick.value(FirstAcceleration + k), slow.value(FirstAcceleration + k), stepS)
            << "0-" << slow.value(FirstAcceleration + k, 1) << " km/h";
    }
    // From a stop: the same run, timed to a step. Flying windows start where the last one ended,
    // which falls on another fix at another rate: the best of them to a second.
    for (const int standing : {3, 4}) EXPECT_NEAR(quick.value(standing), slow.value(standing), stepS) << standing;
    for (const int flying : {5, 6}) {
        EXPECT_GT(slow.value(flying), 0.0f) << flying;
        EXPECT_NEAR(quick.value(flying), slow.value(flying), 1.0) << flying;
    }
    EXPECT_EQ(quick.value(7), slow.value(7)) << "10 km within five minutes: neither";
}

}  // namespace
}  // namespace movira
