// The alarm sounds: what tools/make-sounds.py makes is what is committed and what the build
// puts beside the program, and each sound says what it means.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace movira {
namespace {

namespace fs = std::filesystem;

const char* const kNames[] = {"Limit.wav", "LimitDown.wav", "Zero.wav"};
const fs::path kCommitted = fs::path(MOVIRA_SOURCE_DIR) / "data" / "sounds";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t little(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

struct Wave {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    std::vector<int16_t> samples;
    double seconds() const { return double(samples.size()) / rate; }
};

// A RIFF WAVE file of PCM samples, walked chunk by chunk; empty when it is not one.
std::optional<Wave> parseWave(const std::string& bytes) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return std::nullopt;
    Wave wave;
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const size_t size = little(bytes, at + 4, 4);
        if (size > bytes.size() - at - 8) return std::nullopt;
        if (id == "fmt " && size >= 16) {
            if (little(bytes, at + 8, 2) != 1) return std::nullopt;  // PCM only
            wave.channels = static_cast<int>(little(bytes, at + 10, 2));
            wave.rate = static_cast<int>(little(bytes, at + 12, 4));
            wave.bits = static_cast<int>(little(bytes, at + 22, 2));
            haveFormat = true;
        } else if (id == "data" && haveFormat && wave.bits == 16) {
            for (size_t i = 0; i + 1 < size; i += 2)
                wave.samples.push_back(static_cast<int16_t>(little(bytes, at + 8 + i, 2)));
        }
        at += 8 + size + (size & 1);
    }
    if (!haveFormat || wave.rate <= 0 || wave.samples.empty()) return std::nullopt;
    return wave;
}

// The pitch (Hz) of a stretch of the sound, from its zero crossings.
double pitchBetween(const Wave& wave, double fromSeconds, double toSeconds) {
    const size_t from = static_cast<size_t>(fromSeconds * wave.rate);
    const size_t to = std::min(wave.samples.size(), static_cast<size_t>(toSeconds * wave.rate));
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i)
        if ((wave.samples[i - 1] < 0) != (wave.samples[i] < 0)) ++crossings;
    return crossings / (2.0 * (to - from) / wave.rate);
}

TEST(SoundFiles, TheGeneratorMakesTheCommittedFiles) {
    char pattern[] = "/tmp/movira-sounds-XXXXXX";
    const fs::path folder = mkdtemp(pattern);
    const fs::path generator = fs::path(MOVIRA_SOURCE_DIR) / "tools" / "make-sounds.py";
    const std::string command = "python3 '" + generator.string() + "' '" + folder.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        const std::string made = readFile(folder / name);
        EXPECT_FALSE(made.empty());
        // Regenerate on purpose with: tools/make-sounds.py (it writes data/sounds).
        EXPECT_TRUE(made == readFile(kCommitted / name)) << "data/sounds differs from what tools/make-sounds.py makes";
    }
    fs::remove_all(folder);
}

TEST(SoundFiles, TheBuildPutsThemBesideTheProgram) {
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        const fs::path copy = fs::path(MOVIRA_BIN_DIR) / "Wav" / name;
        ASSERT_TRUE(fs::exists(copy));
        EXPECT_TRUE(readFile(copy) == readFile(kCommitted / name));
    }
}

TEST(SoundFiles, EachSoundIsShortAndSaysWhatItMeans) {
    std::optional<Wave> limit, down, zero;
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        const std::optional<Wave> wave = parseWave(readFile(kCommitted / name));
        ASSERT_TRUE(wave.has_value());
        EXPECT_EQ(wave->channels, 1);
        EXPECT_EQ(wave->rate, 22050);
        EXPECT_EQ(wave->bits, 16);
        EXPECT_GT(wave->seconds(), 0.2);
        EXPECT_LT(wave->seconds(), 1.0);
        if (std::strcmp(name, "Limit.wav") == 0) limit = wave;
        if (std::strcmp(name, "LimitDown.wav") == 0) down = wave;
        if (std::strcmp(name, "Zero.wav") == 0) zero = wave;
    }
    // Limit rises, LimitDown falls, Zero is a low double beep with a silence between.
    const auto first = [](const Wave& w) { return pitchBetween(w, 0.02, 0.10); };
    const auto last = [](const Wave& w) { return pitchBetween(w, w.seconds() - 0.10, w.seconds() - 0.02); };
    EXPECT_LT(first(*limit) * 1.3, last(*limit));
    EXPECT_GT(first(*down), 1.3 * last(*down));
    EXPECT_LT(first(*zero) * 1.3, first(*limit));
    EXPECT_LT(first(*zero) * 1.3, last(*down));
    EXPECT_NEAR(first(*zero), last(*zero), 10.0);
    const size_t middle = zero->samples.size() / 2;
    for (size_t i = middle - 200; i < middle + 200; ++i) ASSERT_EQ(zero->samples[i], 0) << i;
}

}  // namespace
}  // namespace movira
