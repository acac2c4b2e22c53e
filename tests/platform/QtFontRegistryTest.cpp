#include "platform/QtFontRegistry.h"

#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace movira {
namespace {

namespace fs = std::filesystem;

const std::string Seven = "/usr/share/fonts/truetype/dseg/DSEG7Classic-Regular.ttf";
const std::string Fourteen = "/usr/share/fonts/truetype/dseg/DSEG14Classic-Regular.ttf";

class QtFontRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(Seven) || !fs::exists(Fourteen))
            GTEST_SKIP() << "the DSEG fonts are not installed (Debian package fonts-dseg)";
        folder_ = fs::path(::testing::TempDir()) / ("font-registry-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        if (!folder_.empty()) fs::remove_all(folder_);
    }

    std::string write(const std::string& name, const std::string& bytes) const {
        const fs::path path = folder_ / fs::u8path(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path folder_;
    std::vector<std::pair<std::string, QString>> told_;  // what the registry reported
    QtFontRegistry registry_{[this](const std::string& face, const QString& family) { told_.emplace_back(face, family); }};
};

TEST_F(QtFontRegistryTest, SegmentFontResolvesAsLCD) {
    ASSERT_TRUE(registry_.add(Seven, "LCD"));
    const std::optional<QString> family = registry_.familyFor("LCD");
    ASSERT_TRUE(family.has_value());
    EXPECT_TRUE(family->contains(QStringLiteral("DSEG7"))) << family->toStdString();
    ASSERT_EQ(told_.size(), 1u);
    EXPECT_EQ(told_[0].first, "LCD");
    EXPECT_EQ(told_[0].second, *family);
    EXPECT_EQ(registry_.familyFor("Times New Roman"), std::nullopt);
}

// The path is UTF-8, as the program folder may have any name.
TEST_F(QtFontRegistryTest, PathWithNonAsciiNameIsFound) {
    const std::string copy = write("шрифт lcd-u.ttf", contents(Seven));
    ASSERT_TRUE(registry_.add(copy, "LCD"));
    EXPECT_TRUE(registry_.familyFor("LCD")->contains(QStringLiteral("DSEG7")));
}

TEST_F(QtFontRegistryTest, FileThatHoldsNoFontRegistersNothing) {
    const std::string font = contents(Seven);
    const struct {
        const char* what;
        std::string path;
    } cases[] = {
        {"missing file", (folder_ / "lcd-u.ttf").string()},
        {"empty path", ""},
        {"folder", folder_.string()},
        {"empty file", write("empty.ttf", "")},
        {"text renamed .ttf", write("text.ttf", "This is not a font.\n")},
        {"first kilobyte of a font", write("cut.ttf", font.substr(0, 1024))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(registry_.add(c.path, "LCD"));
        EXPECT_EQ(registry_.familyFor("LCD"), std::nullopt);
    }
    EXPECT_TRUE(told_.empty());
}

TEST_F(QtFontRegistryTest, AddingAFaceAgainPointsItAtTheNewFile) {
    ASSERT_TRUE(registry_.add(Seven, "LCD"));
    ASSERT_TRUE(registry_.add(Fourteen, "LCD"));
    EXPECT_TRUE(registry_.familyFor("LCD")->contains(QStringLiteral("DSEG14")));
    // A broken file later leaves the face as it was.
    EXPECT_FALSE(registry_.add(write("text.ttf", "no font"), "LCD"));
    EXPECT_TRUE(registry_.familyFor("LCD")->contains(QStringLiteral("DSEG14")));
}

TEST_F(QtFontRegistryTest, RemoveAllForgetsTheFacesAndMayBeRepeated) {
    registry_.removeAll();
    ASSERT_TRUE(registry_.add(Seven, "LCD"));
    ASSERT_TRUE(registry_.add(Fourteen, "Segments"));
    registry_.removeAll();
    EXPECT_EQ(registry_.familyFor("LCD"), std::nullopt);
    EXPECT_EQ(registry_.familyFor("Segments"), std::nullopt);
    registry_.removeAll();
    // Registering again after a removal works as the first time.
    EXPECT_TRUE(registry_.add(Seven, "LCD"));
    EXPECT_TRUE(registry_.familyFor("LCD").has_value());
}

}  // namespace
}  // namespace movira
