// Checks the committed demo drive: well-formed, physically consistent, and what its script makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
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

TEST_F(DemoDriveTest, TheScriptRegeneratesItByteForByte) {
    char dir[] = "/tmp/demo-drive-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string output = std::string(dir) + "/demo-drive.nmea";
    const std::string script = sourceDir / "tools/make-demo-drive.py";
    const char* argv[] = {"python3", script.c_str(), "--output", output.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int status = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) waitpid(pid, &status, 0);
    const std::string regenerated = readFile(output);
    fs::remove_all(dir);
    if (spawned != 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 127)) GTEST_SKIP() << "no python3 here";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "tools/make-demo-drive.py failed";
    EXPECT_TRUE(regenerated == text_) << "data/demo/demo-drive.nmea is not what the script makes now";
}

}  // namespace
}  // namespace movira
