// The program's command line: what each line gives, and which lines are refused.
#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace movira {
namespace {

struct Accepted {
    std::vector<std::string> arguments;
    std::string home = {};
    std::optional<Size> windowed = {};
    std::optional<double> quitAfter = {};
    std::string snapshotDir = {};
    bool help = false;
    bool version = false;
};

std::string joined(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) text += "[" + argument + "]";
    return text;
}

TEST(CommandLine, AcceptedLinesGiveTheirValues) {
    const Accepted cases[] = {
        {{}},
        {{"--home", "/tmp/a"}, "/tmp/a"},
        {{"--home=/tmp/a"}, "/tmp/a"},
        {{"--home=a=b"}, "a=b"},  // only the first "=" separates the value
        {{"--windowed", "480x800"}, "", Size{480, 800}},
        {{"--windowed=800x480"}, "", Size{800, 480}},
        {{"--windowed", "480X800"}, "", Size{480, 800}},
        {{"--windowed", "1x1"}, "", Size{1, 1}},
        {{"--windowed", "16384x16384"}, "", Size{16384, 16384}},
        {{"--quit-after", "20"}, "", std::nullopt, 20.0},
        {{"--quit-after=0.5"}, "", std::nullopt, 0.5},
        {{"--quit-after", "0"}, "", std::nullopt, 0.0},
        {{"--quit-after", "1e3"}, "", std::nullopt, 1000.0},
        {{"--quit-after", "2147483"}, "", std::nullopt, 2147483.0},  // about 24 days, the longest
        {{"--snapshot-dir", "shots"}, "", std::nullopt, std::nullopt, "shots"},
        {{"--snapshot-dir=shots/x"}, "", std::nullopt, std::nullopt, "shots/x"},
        {{"--help"}, "", std::nullopt, std::nullopt, "", true},
        {{"-h"}, "", std::nullopt, std::nullopt, "", true},
        {{"--version"}, "", std::nullopt, std::nullopt, "", false, true},
        {{"--home", "h", "--windowed", "480x800", "--quit-after", "2.5", "--snapshot-dir", "s"},
         "h", Size{480, 800}, 2.5, "s"},
        {{"--snapshot-dir=s", "--quit-after=3", "--windowed=320x240", "--home=h", "--version", "--help"},
         "h", Size{320, 240}, 3.0, "s", true, true},
        // A repeated option: the last one counts.
        {{"--home", "first", "--home", "second"}, "second"},
        {{"--windowed", "100x100", "--windowed=200x300"}, "", Size{200, 300}},
        {{"--quit-after", "5", "--quit-after", "7"}, "", std::nullopt, 7.0},
        // A value is taken as it stands, even when it looks like an option.
        {{"--home", "--help"}, "--help"},
    };
    for (const Accepted& c : cases) {
        const CommandLine line = CommandLine::parse(c.arguments);
        SCOPED_TRACE(joined(c.arguments));
        EXPECT_EQ(line.error, "");
        EXPECT_EQ(line.home, c.home);
        EXPECT_EQ(line.windowed, c.windowed);
        EXPECT_EQ(line.quitAfterSeconds, c.quitAfter);
        EXPECT_EQ(line.snapshotDir, c.snapshotDir);
        EXPECT_EQ(line.help, c.help);
        EXPECT_EQ(line.version, c.version);
    }
}

struct Refused {
    std::vector<std::string> arguments;
    const char* message;  // a part of the error text
};

TEST(CommandLine, RefusedLinesSayWhy) {
    const Refused cases[] = {
        // Missing values.
        {{"--home"}, "--home needs a folder"},
        {{"--home="}, "--home needs a folder"},
        {{"--snapshot-dir"}, "--snapshot-dir needs a folder"},
        {{"--snapshot-dir="}, "--snapshot-dir needs a folder"},
        {{"--windowed"}, "--windowed needs a size"},
        {{"--windowed="}, "--windowed needs a size"},
        {{"--quit-after"}, "--quit-after needs a number"},
        {{"--quit-after="}, "--quit-after needs a number"},
        {{"--home", "h", "--windowed"}, "--windowed needs a size"},
        // Sizes that are no window.
        {{"--windowed", "0x10"}, "--windowed"},
        {{"--windowed", "10x0"}, "--windowed"},
        {{"--windowed", "10x"}, "--windowed"},
        {{"--windowed", "x10"}, "--windowed"},
        {{"--windowed", "x"}, "--windowed"},
        {{"--windowed", "480"}, "--windowed"},
        {{"--windowed", "99999x10"}, "--windowed"},
        {{"--windowed", "10x16385"}, "--windowed"},
        {{"--windowed", "4294967777x800"}, "--windowed"},  // would wrap to 481 in 32 bits
        {{"--windowed", "-480x800"}, "--windowed"},
        {{"--windowed", "+480x800"}, "--windowed"},
        {{"--windowed", "480x800x2"}, "--windowed"},
        {{"--windowed", "480 x 800"}, "--windowed"},
        {{"--windowed", "480*800"}, "--windowed"},
        {{"--windowed", "4.5x800"}, "--windowed"},
        {{"--windowed", "480x800 "}, "--windowed"},
        // Times that cannot be waited for.
        {{"--quit-after", "-1"}, "--quit-after"},
        {{"--quit-after", "-0.001"}, "--quit-after"},
        {{"--quit-after", "nan"}, "--quit-after"},
        {{"--quit-after", "NaN"}, "--quit-after"},
        {{"--quit-after", "inf"}, "--quit-after"},
        {{"--quit-after", "-inf"}, "--quit-after"},
        {{"--quit-after", "infinity"}, "--quit-after"},
        {{"--quit-after", "1e400"}, "--quit-after"},
        // Longer than a timer can wait: it would never fire, and the program never close.
        {{"--quit-after", "2147484"}, "--quit-after"},
        {{"--quit-after", "3000000"}, "--quit-after"},
        {{"--quit-after", "10000000"}, "--quit-after"},
        {{"--quit-after", "5s"}, "--quit-after"},
        {{"--quit-after", "five"}, "--quit-after"},
        {{"--quit-after", "5 "}, "--quit-after"},
        // Options nobody knows, and words that are no options.
        {{"--bogus"}, "unknown option: --bogus"},
        {{"--bogus=3"}, "unknown option: --bogus=3"},
        {{"--HOME", "h"}, "unknown option: --HOME"},
        {{"-x"}, "unknown option: -x"},
        {{"file.nmea"}, "unknown option: file.nmea"},
        {{""}, "unknown option: "},
        {{"--"}, "unknown option: --"},
        {{"--home", "h", "extra"}, "unknown option: extra"},
        {{"--windowed", "480x800", "--quit-after"}, "--quit-after needs a number"},
        // A good option before a bad one does not save the line; the last of a repeat is checked too.
        {{"--help", "--bogus"}, "unknown option: --bogus"},
        {{"--windowed", "480x800", "--windowed", "0x0"}, "--windowed"},
    };
    for (const Refused& c : cases) {
        const CommandLine line = CommandLine::parse(c.arguments);
        SCOPED_TRACE(joined(c.arguments));
        EXPECT_NE(line.error.find(c.message), std::string::npos) << line.error;
    }
}

TEST(CommandLine, UsageNamesEveryOption) {
    const std::string usage = CommandLine::usage();
    EXPECT_EQ(usage.rfind("Usage: Speedometer", 0), 0u);
    for (const char* option : {"--home DIR", "--windowed WxH", "--quit-after SECONDS", "--snapshot-dir DIR", "--help",
                               "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(usage.back(), '\n');
}

TEST(CommandLine, UsageNamesTheCommandAsTyped) {
    const struct {
        const char* argv0;
        const char* name;
    } cases[] = {
        {"/usr/bin/movira", "movira"}, {"movira", "movira"}, {"build/bin/Speedometer", "Speedometer"},
        {"", "Speedometer"},           {nullptr, "Speedometer"}, {"/odd/", "Speedometer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argv0 ? c.argv0 : "(null)");
        EXPECT_EQ(CommandLine::programName(c.argv0), c.name);
    }
    const std::string usage = CommandLine::usage("movira");
    EXPECT_EQ(usage.rfind("Usage: movira [--home DIR]", 0), 0u);
    // The second line of the synopsis stays under the first one's options.
    EXPECT_NE(usage.find("\n              [--snapshot-dir DIR]"), std::string::npos) << usage;
}

// The manual page and --help list the same options, with the same words for their values.
TEST(CommandLine, TheManualPageMatchesTheUsage) {
    std::ifstream file(MOVIRA_SOURCE_DIR "/data/linux/movira.1");
    ASSERT_TRUE(file.good());
    std::stringstream text;
    text << file.rdbuf();
    std::string manual = text.str();
    // Roff writes a minus as "\-" and quotes words between font changes.
    for (size_t at = manual.find("\\-"); at != std::string::npos; at = manual.find("\\-", at)) manual.erase(at, 1);
    manual.erase(std::remove(manual.begin(), manual.end(), '"'), manual.end());
    const size_t optionsStart = manual.find(".SH OPTIONS");
    const size_t optionsEnd = manual.find(".SH", optionsStart + 1);
    ASSERT_NE(optionsStart, std::string::npos);
    const std::string options = manual.substr(optionsStart, optionsEnd - optionsStart);

    auto optionsIn = [](const std::string& from) {
        std::vector<std::string> found;
        for (size_t at = from.find("--"); at != std::string::npos; at = from.find("--", at + 2)) {
            found.push_back(from.substr(at, from.find_first_of(" ],\n", at) - at));
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    };
    const std::string usage = CommandLine::usage("movira");
    EXPECT_EQ(optionsIn(options), optionsIn(usage));
    for (const std::string& option : optionsIn(usage)) {
        EXPECT_NE(manual.find("SYNOPSIS"), std::string::npos);
        EXPECT_LT(manual.find(option), optionsStart) << option << " is missing from the synopsis";
    }
    for (const char* words : {"DIR", "SECONDS", "Speedometer.ini", "~/.config/movira", "~/Documents/Movira"}) {
        EXPECT_NE(options.find(words), std::string::npos) << words;
    }
}

}  // namespace
}  // namespace movira
