// The settings sections, own bars, names and titles of the table, speedometer, satellites,
// speed chart and path pages.
#include "core/AppCore.h"
#include "core/UserCommand.h"
#include "display/PathWidget.h"
#include "display/SattelitesWidget.h"
#include "display/SpeedChartWidget.h"
#include "display/SpeedometerWidget.h"
#include "display/Surface.h"
#include "display/TableWidget.h"
#include "display/WidgetManager.h"
#include "settings/IniFile.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/display/DisplayTestBed.h"
#include "tests/support/FakeScreenKeeper.h"

#include <gtest/gtest.h>

#include <QColor>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace movira {
namespace {

enum class Kind { Comment, Colour, Size, Face, Mode };

struct Key {
    const char* name;
    Kind kind;
    const char* defaultText;
};

using Factory = std::function<std::unique_ptr<Widget>(AppCore&, WidgetManager&)>;

struct PageCase {
    const char* className;
    Factory make;
    std::vector<Key> keys;      // in the order the page writes them
    std::vector<int> ownBar;    // commands of the own bar's cells; 0 for an empty cell
    const wchar_t* englishTitle;
    const wchar_t* russianTitle;
    const char* paintKey;       // the colour the whole page is filled with
};

// Failure messages name the page rather than dumping its bytes.
void PrintTo(const PageCase& page, std::ostream* out) { *out << page.className; }

template <typename Page>
Factory factory() {
    return [](AppCore& core, WidgetManager& manager) { return std::make_unique<Page>(core, manager); };
}

constexpr Kind C = Kind::Colour;
constexpr Kind S = Kind::Size;
constexpr Kind F = Kind::Face;
const std::vector<int> arrows = {PrevWidget, 0, 0, 0, 0, NextWidget};

const std::vector<PageCase>& pageCases() {
    static const std::vector<PageCase> cases = {
        {"TableWidget", factory<TableWidget>(),
         {{"Comment", Kind::Comment, "Настройки виджета таблицы"},
          {"BackGroundColor", C, "6316128"},
          {"BackGroundColorLabel", C, "0"},
          {"BackGroundColorLabel2", C, "2105376"},
          {"BackGroundColorScroll", C, "0"},
          {"ScrollLineColor", C, "13500622"},
          {"SmallTextColor", C, "16777215"},
          {"BigTextColor", C, "8453888"},
          {"SmallTextSize", S, "12"},
          {"BigTextSize", S, "20"},
          {"SmallTextFontName", F, "Times New Roman"},
          {"BigTextFontName", F, "Times New Roman"}},
         arrows, L"Таблица", L"Таблица", "BackGroundColor"},
        {"SpeedometerWidget", factory<SpeedometerWidget>(),
         {{"Comment", Kind::Comment, "Настройки виджета спидометра"},
          {"BackGroundColor", C, "0"},
          {"SpeedArrowColor", C, "255"},
          {"SpeedTextColor", C, "16776960"},
          {"MaxSpeedArrowColor", C, "255"},
          {"AvgSpeedArrowColor", C, "65280"},
          {"OdomerTextColor", C, "16711935"},
          {"AccelTextColor", C, "65408"},
          {"FastestColor", C, "8453888"},
          {"NorthArrowColor", C, "16711680"},
          {"SouthArrowColor", C, "255"},
          {"ClockTextColor", C, "8453888"},
          {"SpeedometerColor", C, "42148"},
          {"AccelTextFontName", F, "Times New Roman"},
          {"FastestTextFontName", F, "Times New Roman"},
          {"OdomerTextFontName", F, "Times New Roman"},
          {"SpeedTextFontName", F, "LCD"},
          {"ClockTextFontName", F, "LCD"},
          {"SpeedometerTextFontName", F, "Times New Roman"},
          {"AccelFontSize", S, "18"},
          {"FastestFontSize", S, "14"},
          {"OdomerFontSize", S, "28"},
          {"SpeedFontSize", S, "40"},
          {"ClockFontSize", S, "32"},
          {"SpeedometerFontSize", S, "20"},
          {"SpeedometerMode", Kind::Mode, "1"}},
         {PrevWidget, VeloMode, SlowMode, RaceMode, PlaneMode, NextWidget}, L"Speedometer", L"Спидометр",
         "BackGroundColor"},
        {"SattelitesWidget", factory<SattelitesWidget>(),
         {{"Comment", Kind::Comment, "Настройки виджета спутников"},
          {"BackGroundColor", C, "12632256"},
          {"SattelitesNameColor", C, "0"},
          {"LowSignalColor", C, "255"},
          {"MidSignalColor", C, "65535"},
          {"HighSignalColor", C, "49152"},
          {"BorderColor", C, "2105376"},
          {"ShadowColor", C, "4210752"},
          {"MiscLineColor", C, "6316128"},
          {"SattelitesNameFontName", F, "Times New Roman"},
          {"SattelitesNameFontSize", S, "12"}},
         arrows, L"Sattelites", L"Спутники", "BackGroundColor"},
        {"SpeedChartWidget", factory<SpeedChartWidget>(),
         {{"Comment", Kind::Comment, "Настройки виджета графика скорости"},
          {"BorderColor", C, "6316128"},
          {"BackGroundColor", C, "0"},
          {"ChartColor", C, "8453888"},
          {"SmallTextColor", C, "16777215"},
          {"CurSpeedLineColor", C, "16711935"},
          {"MaxSpeedLineColor", C, "65535"},
          {"BigTextColor", C, "16776960"},
          {"AxesColor", C, "16776960"},
          {"SmallTextSize", S, "13"},
          {"BigTextSize", S, "30"},
          {"SmallTextFontName", F, "Times New Roman"},
          {"BigTextFontName", F, "Times New Roman"}},
         {PrevWidget, ZoomOut, ZoomIn, ZoomAuto, 0, NextWidget}, L"Speed chart", L"График скорости",
         "BorderColor"},
        {"PathWidget", factory<PathWidget>(),
         {{"Comment", Kind::Comment, "Настройки виджета пройденного пути"},
          {"BorderColor", C, "6316128"},
          {"BackGroundColor", C, "0"},
          {"PathColor", C, "16776960"},
          {"SmallTimeTextColor", C, "16777215"},
          {"MidTimeTextColor", C, "8453888"},
          {"BigTimeTextColor", C, "8453888"},
          {"EndPointColor", C, "255"},
          {"StartPointColor", C, "255"},
          {"SmallTextSize", S, "13"},
          {"MidTextSize", S, "20"},
          {"BigTextSize", S, "30"},
          {"SmallTextFontName", F, "Times New Roman"},
          {"MidTextFontName", F, "LCD"},
          {"BigTextFontName", F, "LCD"}},
         {PrevWidget, ZoomOut, ZoomIn, ZoomAuto, CenterPos, NextWidget}, L"Distance", L"Пройденный путь",
         "BorderColor"},
    };
    return cases;
}

using Lines = std::vector<std::pair<std::string, std::string>>;

// The key lines of one section, in file order.
Lines sectionLines(const IniFile& ini, const std::string& section) {
    Lines lines;
    for (const IniEntry& entry : ini.entries()) {
        if (entry.section == section && !entry.key.empty()) lines.emplace_back(entry.key, entry.value);
    }
    return lines;
}

// What a fresh file holds after one save of `keys` with these values: IniFile puts each
// new key right under its section header, so the last key written comes first.
Lines freshFileLines(const std::vector<Key>& keys, const std::function<std::string(size_t)>& valueOf) {
    Lines lines;
    for (size_t i = 0; i < keys.size(); ++i) lines.emplace_back(keys[i].name, valueOf(i));
    std::reverse(lines.begin(), lines.end());
    return lines;
}

// A valid value for key `i` that differs from every default.
std::string otherValue(const Key& key, size_t i) {
    switch (key.kind) {
    case Kind::Comment: return key.defaultText;  // written as it is, never read
    case Kind::Colour: return std::to_string(0x010203 * static_cast<int>(i + 1));
    case Kind::Size: return std::to_string(100 + static_cast<int>(i));
    case Kind::Face: return "Face " + std::to_string(i);
    case Kind::Mode: return "3";
    }
    return {};
}

// A core and a manager for pages to be built on, over a program folder of test pictures;
// no window, no settings file.
struct Environment {
    Environment() { test::writeTestPictures(folder.path()); }
    QTemporaryDir folder;
    test::FakeClock clock;
    test::FakeScreenKeeper screen;
    test::FakeBattery battery;
    AppCore core{PlatformServices{clock, screen, battery, folder.path().toStdString()}};
    WidgetManager manager{core, clock};
};

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

class PageSettingsTest : public ::testing::TestWithParam<PageCase> {
protected:
    std::unique_ptr<Widget> makePage() { return GetParam().make(env.core, env.manager); }
    const char* section() const { return GetParam().className; }
    const std::vector<Key>& keys() const { return GetParam().keys; }

    // A fresh page loaded from `ini`, saved into a fresh file: the lines it wrote.
    Lines loadedThenSaved(const IniFile& ini) {
        auto page = makePage();
        page->loadSettings(ini);
        IniFile saved;
        page->saveSettings(saved);
        return sectionLines(saved, section());
    }
    Lines defaultLines() const {
        return freshFileLines(keys(), [&](size_t i) { return std::string(keys()[i].defaultText); });
    }
    // The value a page saves for `key` after loading `text` for it alone.
    std::string loadedValue(const char* key, const std::string& text) {
        IniFile ini;
        ini.setValue(key, text, section());
        for (const auto& [name, value] : loadedThenSaved(ini)) {
            if (name == key) return value;
        }
        return "(not written)";
    }

    Environment env;
};

TEST_P(PageSettingsTest, AFreshFileGetsEveryKeyWithItsDefault) {
    IniFile ini;
    auto page = makePage();
    page->saveSettings(ini);

    ASSERT_FALSE(ini.entries().empty());
    EXPECT_EQ(ini.entries().front().section, section());
    EXPECT_EQ(ini.entries().front().key, "");
    EXPECT_EQ(sectionLines(ini, section()), defaultLines());
    EXPECT_EQ(sectionLines(ini, section()).size() + 1, ini.entries().size()) << "nothing outside the section";

    // Saving again updates the lines in place.
    page->saveSettings(ini);
    EXPECT_EQ(sectionLines(ini, section()), defaultLines());
    EXPECT_EQ(sectionLines(ini, section()).size() + 1, ini.entries().size());
}

TEST_P(PageSettingsTest, ValuesRoundTripThroughTheFile) {
    IniFile edited;
    for (size_t i = 0; i < keys().size(); ++i) {
        const Key& key = keys()[i];
        edited.setValue(key.name, key.kind == Kind::Comment ? "edited by hand" : otherValue(key, i), section());
    }
    const Lines expected = freshFileLines(keys(), [&](size_t i) { return otherValue(keys()[i], i); });

    auto first = makePage();
    first->loadSettings(edited);
    IniFile once;
    first->saveSettings(once);
    ASSERT_EQ(sectionLines(once, section()), expected);

    auto second = makePage();
    second->loadSettings(once);
    IniFile twice;
    second->saveSettings(twice);
    EXPECT_EQ(sectionLines(twice, section()), expected);
}

TEST_P(PageSettingsTest, MissingOrEmptyKeysKeepTheValuesInForce) {
    EXPECT_EQ(loadedThenSaved(IniFile{}), defaultLines()) << "no section at all";

    IniFile empty;
    for (const Key& key : keys()) empty.setValue(key.name, "", section());
    EXPECT_EQ(loadedThenSaved(empty), defaultLines()) << "every key empty";

    // A page that already holds other values keeps them through a file with empty keys.
    IniFile edited;
    for (size_t i = 0; i < keys().size(); ++i) edited.setValue(keys()[i].name, otherValue(keys()[i], i), section());
    auto page = makePage();
    page->loadSettings(edited);
    page->loadSettings(empty);
    IniFile saved;
    page->saveSettings(saved);
    EXPECT_EQ(sectionLines(saved, section()),
              freshFileLines(keys(), [&](size_t i) { return otherValue(keys()[i], i); }));
}

TEST_P(PageSettingsTest, OtherSectionsAreNotRead) {
    IniFile ini;
    for (size_t i = 0; i < keys().size(); ++i) {
        ini.setValue(keys()[i].name, otherValue(keys()[i], i), "SomeOtherWidget");
        ini.setValue(keys()[i].name, otherValue(keys()[i], i), "");
    }
    EXPECT_EQ(loadedThenSaved(ini), defaultLines());
}

// Values a hand-edited file may hold, and what the page makes of them.
struct BadValue {
    Kind kind;
    std::string text;
    std::string saved;  // "default" for the key's default
};

const std::vector<BadValue> badValues = {
    {Kind::Colour, "junk", "0"},  // a colour that is no number is black
    {Kind::Colour, "255 red", "255"},
    {Kind::Size, "0", "default"},  // font heights outside 1..1000 are refused
    {Kind::Size, "-12", "default"},
    {Kind::Size, "1001", "default"},
    {Kind::Size, "99999999999999999999", "default"},
    {Kind::Size, "big", "default"},
    {Kind::Size, "1", "1"},
    {Kind::Size, "1000", "1000"},
    {Kind::Size, "24px", "24"},
    {Kind::Size, " +16", "16"},
    {Kind::Face, std::string(300, 'A'), std::string(255, 'A')},  // cut to 255 bytes
    // 129 two-byte letters: the cut falls inside the 128th, which goes whole.
    {Kind::Face, repeat("Ж", 129), repeat("Ж", 127)},
    {Kind::Face, "DejaVu Sans", "DejaVu Sans"},
    // 64 four-byte letters make 256 bytes: the cut keeps 63 whole ones.
    {Kind::Face, repeat("\xF0\x9D\x90\x80", 64), repeat("\xF0\x9D\x90\x80", 63)},
    // Bytes that are not UTF-8 text, or a cut that leaves nothing, name no font.
    {Kind::Face, std::string(300, '\x80'), "default"},
    {Kind::Face, "\xFF\xFE Sans", "default"},
    {Kind::Face, "Caf\xE9", "default"},
    {Kind::Mode, "0", "0"},  // modes 0, 2 and 3 stand; any other number is mode 1
    {Kind::Mode, "2", "2"},
    {Kind::Mode, "3", "3"},
    {Kind::Mode, "4", "1"},
    {Kind::Mode, "7", "1"},
    {Kind::Mode, "-1", "1"},
    {Kind::Mode, "99999999999999999999", "1"},
    {Kind::Mode, "race", "1"},
};

TEST_P(PageSettingsTest, BadValuesGiveTheirDefinedOutcome) {
    for (const Key& key : keys()) {
        for (const BadValue& bad : badValues) {
            if (bad.kind != key.kind) continue;
            const std::string expected = bad.saved == "default" ? key.defaultText : bad.saved;
            EXPECT_EQ(loadedValue(key.name, bad.text), expected) << key.name << " = " << bad.text;
        }
    }
}

TEST_P(PageSettingsTest, OwnBarHasTheCommandsInOrder) {
    auto page = makePage();
    page->createOwnButtons();
    page->createOwnButtons();  // filled once, whatever calls it again
    std::vector<int> commands;
    for (int i = 0; i < page->ownBar().count(); ++i) commands.push_back(page->ownBar().at(i).command());
    EXPECT_EQ(commands, GetParam().ownBar);
}

TEST_P(PageSettingsTest, ClassNameAndTitle) {
    auto page = makePage();
    EXPECT_STREQ(page->className(), section());
    // The language is chosen once per run from the locale: LC_ALL=ru_RU.UTF-8 runs the Russian side.
    const UiText& text = env.core.uiText();
    EXPECT_EQ(page->title(), text.isRussian() ? GetParam().russianTitle : GetParam().englishTitle);
}

TEST_P(PageSettingsTest, PaintFillsOnlyItsRectangle) {
    Surface surface;
    surface.resize(Size{40, 30}, 96, 96);
    surface.fillRect(surface.bounds(), 0x000000);
    IniFile ini;
    ini.setValue(GetParam().paintKey, "255", section());  // pure red survives the 16-bit buffer
    auto page = makePage();
    page->loadSettings(ini);

    page->paint(surface, Rect{10, 5, 30, 25});

    const QColor inside = surface.target().pixelColor(15, 10);
    EXPECT_EQ(inside.red(), 255);
    EXPECT_EQ(inside.green(), 0);
    EXPECT_EQ(inside.blue(), 0);
    EXPECT_EQ(surface.target().pixelColor(5, 10).red(), 0);
    EXPECT_EQ(surface.target().pixelColor(35, 27).red(), 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageSettingsTest, ::testing::ValuesIn(pageCases()),
                         [](const ::testing::TestParamInfo<PageCase>& info) { return info.param.className; });

// Pages that share key names in different sections read only their own.
TEST(PageSections, EachPageReadsItsOwnSection) {
    Environment env;
    IniFile ini;
    ini.setValue("SmallTextSize", "15", "TableWidget");
    ini.setValue("SmallTextSize", "16", "SpeedChartWidget");
    ini.setValue("SmallTextSize", "17", "PathWidget");
    TableWidget table(env.core, env.manager);
    SpeedChartWidget chart(env.core, env.manager);
    PathWidget path(env.core, env.manager);
    for (Widget* page : std::initializer_list<Widget*>{&table, &chart, &path}) page->loadSettings(ini);

    IniFile saved;
    for (Widget* page : std::initializer_list<Widget*>{&table, &chart, &path}) page->saveSettings(saved);
    EXPECT_EQ(saved.getValue("SmallTextSize", "TableWidget"), "15");
    EXPECT_EQ(saved.getValue("SmallTextSize", "SpeedChartWidget"), "16");
    EXPECT_EQ(saved.getValue("SmallTextSize", "PathWidget"), "17");
}

TEST(SpeedometerMode, ModesSetTheScale) {
    Environment env;
    SpeedometerWidget page(env.core, env.manager);
    EXPECT_EQ(page.mode(), 1);
    EXPECT_EQ(page.scaleMaximum(), 120.0f);

    const struct {
        int chosen;
        int mode;
        float maximum;
    } cases[] = {{0, 0, 60.0f}, {2, 2, 250.0f}, {3, 3, 400.0f}, {1, 1, 120.0f},
                 {4, 1, 120.0f}, {-1, 1, 120.0f}, {7, 1, 120.0f}};
    for (const auto& c : cases) {
        page.setMode(c.chosen);
        EXPECT_EQ(page.mode(), c.mode) << c.chosen;
        EXPECT_EQ(page.scaleMinimum(), 0.0f) << c.chosen;
        EXPECT_EQ(page.scaleMaximum(), c.maximum) << c.chosen;
    }

    // The chosen mode is what the next save stores.
    page.setMode(2);
    IniFile ini;
    page.saveSettings(ini);
    EXPECT_EQ(ini.getValue("SpeedometerMode", "SpeedometerWidget"), "2");
}

TEST(SpeedometerMode, TheModeButtonsChooseTheirModes) {
    Environment env;
    SpeedometerWidget page(env.core, env.manager);
    page.createOwnButtons();
    std::vector<int> modes;
    for (int i = 0; i < page.ownBar().count(); ++i) {
        modes.push_back(SpeedometerWidget::modeForCommand(page.ownBar().at(i).command()));
    }
    EXPECT_EQ(modes, (std::vector<int>{-1, 0, 1, 2, 3, -1}));
    EXPECT_EQ(SpeedometerWidget::modeForCommand(ZoomIn), -1);
    EXPECT_EQ(SpeedometerWidget::modeForCommand(0), -1);
}

}  // namespace
}  // namespace movira
