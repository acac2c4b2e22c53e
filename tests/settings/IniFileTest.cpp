#include "settings/IniFile.h"
#include "settings/SettingText.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace movira {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "inifile-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream file(folder_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename());
        return names;
    }
    // Loads `bytes` and gives back what a save writes.
    std::string resave(const std::string& bytes) {
        write("in.ini", bytes);
        EXPECT_TRUE(ini_.load(path("in.ini")));
        EXPECT_TRUE(ini_.save(path("out.ini")));
        return read("out.ini");
    }

    fs::path folder_;
    IniFile ini_;
};

TEST_F(IniFileTest, CommentTravelsWithTheNextLineAndActiveLinesGetOneSpace) {
    EXPECT_EQ(resave(";Port settings\n[Main]\nCOMPort=COM1\n"), ";Port settings\n [Main]\n COMPort=COM1\n");
    ASSERT_EQ(ini_.entries().size(), 2u);
    EXPECT_EQ(ini_.entries()[0].comment, ";Port settings\n");
    EXPECT_EQ(ini_.entries()[0].section, "Main");
    EXPECT_EQ(ini_.entries()[0].key, "");
    EXPECT_EQ(ini_.entries()[1].key, "COMPort");
    EXPECT_EQ(ini_.entries()[1].value, "COM1");
}

// Each saved file must also read back and save to the same bytes.
TEST_F(IniFileTest, SaveWritesBackWhatWasLoaded) {
    struct Case {
        const char* what;
        std::string file;
        std::string saved;
    };
    const Case cases[] = {
        {"commented-out key keeps its marker", "[Main]\n#Old=1\n", " [Main]\n#Old=1\n"},
        {"a comment holding a header opens no section", "; [Old]\nA=1\n", "; [Old]\n A=1\n"},
        {"a comment naming a section is a comment", "[Main]\n; receivers: see [README]\nA=1\n",
         " [Main]\n; receivers: see [README]\n A=1\n"},
        {"comments kept as they stood", "  ;  indented\t \n[Main]\n", "  ;  indented\t \n [Main]\n"},
        {"a key line starting with [ kept as it stood", "[Main]\n[Main] COMPort=/dev/ttyUSB0\nA=1\n",
         " [Main]\n[Main] COMPort=/dev/ttyUSB0\n A=1\n"},
        {"blank lines dropped, ends trimmed", "\n \t[Main]  \r\n\r\n A=1 \r\n", " [Main]\n A=1\n"},
        {"no final line feed", "[Main]\nA=1", " [Main]\n A=1\n"},
        {"closing comment kept", "[Main]\nA=1\n# end\n", " [Main]\n A=1\n# end\n"},
        {"comments only", "# a\n; b\n", "# a\n; b\n"},
        {"unrecognised line kept", "[Main]\ngarbage\nA=1\n", " [Main]\ngarbage\n A=1\n"},
        {"header without ]", "[Main]\n[Broken\nA=1\n", " [Main]\n[Broken\n A=1\n"},
        {"commented-out unrecognised", "[Main]\n#[abc\nA=1\n", " [Main]\n#[abc\n A=1\n"},
        {"empty key", "[Main]\n=x\n", " [Main]\n=x\n"},
        {"CR-only line ends", "[Main]\rA=1\rB=2\r", " [Main]\n A=1\n B=2\n"},
        {"mixed line ends", "[Main]\r\nA=1\rB=2\n\rC=3", " [Main]\n A=1\n B=2\n C=3\n"},
        {"no line ends at all", "A=1 B=2 [C]", " A=1 B=2 [C]\n"},
        {"CR LF file with comments",
         "; Movira\r\n\r\n[Main]\r\nCOMPort=COM4:\r\n;UseGPSAPI=true\r\n\r\n"
         "# 0xBBGGRR\r\n[Table]\r\nColor = 0\r\n",
         "; Movira\n [Main]\n COMPort=COM4:\n;UseGPSAPI=true\n# 0xBBGGRR\n [Table]\n Color = 0\n"},
        {"NUL bytes kept", std::string("[M\0n]\nK=v\0w\n", 12), std::string(" [M\0n]\n K=v\0w\n", 14)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resave(c.file), c.saved) << c.what;
        EXPECT_EQ(resave(c.saved), c.saved) << c.what << ", saved again";
    }
}

TEST_F(IniFileTest, Lookups) {
    write("in.ini",
          "Top=0\n[Main]\nCOMPort=COM1\nSpeed = 4800\nDup=first\nDup=second\n#Old=1\n"
          "garbage\n[Broken\nAfterJunk=Main\na[b]=1\nAfterBracket=Main\n; see [README]\nAfterComment=Main\n"
          "[Other] Key=x\nAfterKeyLine=Main\n[main]\nCOMPort=lower\n");
    ASSERT_TRUE(ini_.load(path("in.ini")));
    struct Case {
        const char* key;
        const char* section;
        const char* value;  // nullptr: not there
    };
    const Case cases[] = {
        {"Top", "", "0"},
        {"COMPort", "Main", "COM1"},
        {"COMPort", "main", "lower"},
        {"comport", "Main", nullptr},
        {"COMPort", "MAIN", nullptr},
        {"COMPort", "", nullptr},
        {"Speed", "Main", nullptr},
        {"Speed ", "Main", " 4800"},
        {"Dup", "Main", "first"},
        {"Old", "Main", nullptr},  // commented out
        {"AfterComment", "Main", "Main"},
        {"AfterKeyLine", "Main", "Main"},
        {"[Other] Key", "Main", nullptr},
        {"AfterJunk", "Main", "Main"},  // neither "garbage" nor "[Broken" opened a section
        {"a[b]", "Main", "1"},
        {"AfterBracket", "Main", "Main"},
        {"", "Main", nullptr},  // a section line is not a key
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ini_.hasKey(c.key, c.section), c.value != nullptr) << c.key << " in " << c.section;
        EXPECT_EQ(ini_.getValue(c.key, c.section), c.value ? c.value : "") << c.key << " in " << c.section;
    }
    EXPECT_TRUE(ini_.hasSection("main"));
    EXPECT_FALSE(ini_.hasSection("Broken"));
    EXPECT_FALSE(ini_.hasSection("b"));
    EXPECT_FALSE(ini_.hasSection("Other"));
    EXPECT_FALSE(ini_.hasSection("README"));
}

TEST_F(IniFileTest, SetValuePlacesKeys) {
    write("in.ini", "Top=0\n[Main]\nDup=1\nDup=2\n#Old=1\n[GPS]\nX=1\n# bye\n");
    ASSERT_TRUE(ini_.load(path("in.ini")));
    EXPECT_TRUE(ini_.setValue("Dup", "one", "Main"));
    EXPECT_TRUE(ini_.setValue("Old", "2", "Main"));
    EXPECT_TRUE(ini_.setValue("First", "a", "Main"));
    EXPECT_TRUE(ini_.setValue("Second", "b", "Main"));
    EXPECT_TRUE(ini_.setValue("Key", "c", "New"));
    EXPECT_TRUE(ini_.setValue("Early", "d", ""));
    EXPECT_FALSE(ini_.setValue("", "e", "GPS"));
    EXPECT_EQ(ini_.getValue("Dup", "Main"), "one");
    ASSERT_TRUE(ini_.save(path("out.ini")));
    EXPECT_EQ(read("out.ini"), " Top=0\n Early=d\n [Main]\n Second=b\n First=a\n Old=2\n Dup=one\n Dup=2\n#Old=1\n"
                               " [GPS]\n X=1\n [New]\n Key=c\n# bye\n");
}

TEST_F(IniFileTest, EachObjectHasItsOwnEntries) {
    IniFile other;
    ini_.setValue("K", "1", "S");
    EXPECT_FALSE(other.hasSection("S"));
    write("in.ini", "[T]\nK=2\n");
    ASSERT_TRUE(other.load(path("in.ini")));
    EXPECT_EQ(ini_.getValue("K", "S"), "1");
    EXPECT_FALSE(ini_.hasSection("T"));
}

TEST_F(IniFileTest, AnyBytesLoadAndSaveStably) {
    std::mt19937 random(7);
    std::string garbage(64 * 1024, '\0');
    for (char& byte : garbage) byte = static_cast<char>(random());
    const std::string inputs[] = {garbage, "K=" + std::string(1 << 20, 'x'), std::string(4096, '\r'),
                                  std::string(300, '\0') + "\n[Main]\n"};
    for (const std::string& input : inputs) {
        const std::string first = resave(input);
        EXPECT_EQ(resave(first), first);
    }
    resave(inputs[1]);
    EXPECT_EQ(ini_.getValue("K", "").size(), 1u << 20);
}

TEST_F(IniFileTest, MissingFileIsCreatedEmpty) {
    EXPECT_TRUE(ini_.load(path("Speedometer.ini")));
    EXPECT_TRUE(ini_.entries().empty());
    EXPECT_TRUE(fs::is_regular_file(path("Speedometer.ini")));
    EXPECT_EQ(fs::file_size(path("Speedometer.ini")), 0u);
}

TEST_F(IniFileTest, LoadFailureLeavesNoEntries) {
    write("in.ini", "[Main]\nA=1\n# end\n");
    fs::create_directory(path("folder"));
    for (const std::string& bad : {path("missing/Speedometer.ini"), path("folder"), std::string()}) {
        ASSERT_TRUE(ini_.load(path("in.ini")));
        EXPECT_FALSE(ini_.load(bad)) << bad;
        EXPECT_TRUE(ini_.entries().empty()) << bad;
        EXPECT_EQ(ini_.trailingComment(), "") << bad;
    }
    EXPECT_FALSE(fs::exists(path("missing")));
}

TEST_F(IniFileTest, SaveKeepsModeAndLeavesNoTemporaryFile) {
    write("Speedometer.ini", "[Main]\n");
    // Neither the temporary file's 0600 nor a new file's 0644.
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path("Speedometer.ini"), mode);
    ini_.setValue("A", "1", "Main");
    ASSERT_TRUE(ini_.save(path("Speedometer.ini")));
    EXPECT_EQ(fs::status(path("Speedometer.ini")).permissions(), mode);
    EXPECT_EQ(files(), std::vector<std::string>{"Speedometer.ini"});
}

// The file holds phone numbers: a new one is its owner's only. A link to the file stays a link,
// and the file it names gets the settings (its temporary file beside it).
TEST_F(IniFileTest, NewFilesArePrivateAndLinksAreWrittenThrough) {
    ASSERT_TRUE(ini_.load(path("Speedometer.ini")));
    EXPECT_EQ(fs::status(path("Speedometer.ini")).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    fs::create_directory(path("real"));
    write("real/Speedometer.ini", "[Main]\nA=old\n");
    fs::remove(path("Speedometer.ini"));
    fs::create_symlink("real/Speedometer.ini", path("Speedometer.ini"));
    ASSERT_TRUE(ini_.load(path("Speedometer.ini")));
    ini_.setValue("A", "new", "Main");
    ASSERT_TRUE(ini_.save(path("Speedometer.ini")));
    EXPECT_TRUE(fs::is_symlink(path("Speedometer.ini")));
    EXPECT_EQ(read("real/Speedometer.ini"), " [Main]\n A=new\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(path("real")), fs::directory_iterator()), 1);

    // A dangling link: the file it names is made.
    fs::remove(path("real/Speedometer.ini"));
    ASSERT_TRUE(ini_.save(path("Speedometer.ini")));
    EXPECT_EQ(read("real/Speedometer.ini"), " [Main]\n A=new\n");
}

TEST_F(IniFileTest, FailedSaveKeepsTheOldFile) {
    write("Speedometer.ini", "[Main]\nA=old\n");
    write("plain", "");
    ini_.setValue("A", std::string(100000, 'n'), "Main");
    FileFailure failure;
    EXPECT_FALSE(ini_.save(path("missing/Speedometer.ini"), &failure));
    EXPECT_EQ(failure.path, path("missing/Speedometer.ini"));
    EXPECT_EQ(failure.reason, "No such file or directory");
    EXPECT_FALSE(ini_.save(path("plain/Speedometer.ini")));  // a file where the folder should be

    // A full disk, as far as this process can tell; the limit holds for root too.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool savedAnyway = ini_.save(path("Speedometer.ini"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(savedAnyway);
    EXPECT_EQ(read("Speedometer.ini"), "[Main]\nA=old\n");
    EXPECT_EQ(files().size(), 2u) << "temporary file left behind";
}

}  // namespace
}  // namespace movira

namespace movira {
namespace {

TEST(SettingText, NumbersReadAsAtoiDoesWithoutOverflow) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {{"", 0},          {"abc", 0},         {"42", 42},           {"-7", -7},
                 {"+15", 15},      {" 9", 9},          {"12km/h", 12},       {"99999999999", INT_MAX},
                 {"-99999999999", INT_MIN}, {"2147483647", INT_MAX}, {"0x10", 0}};
    for (const auto& c : cases) EXPECT_EQ(SettingText::toInt(c.text), c.value) << c.text;
    EXPECT_TRUE(SettingText::containsTrue("true"));
    EXPECT_TRUE(SettingText::containsTrue("untrue"));  // as the flags of these sections are read
    EXPECT_FALSE(SettingText::containsTrue("TRUE"));
    EXPECT_STREQ(SettingText::flag(true), "true");
    EXPECT_STREQ(SettingText::flag(false), "false");
}

}  // namespace
}  // namespace movira
