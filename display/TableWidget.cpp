#include "display/TableWidget.h"

#include "display/ColourSetting.h"
#include "display/PageSettings.h"
#include "display/Surface.h"
#include "settings/IniFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace movira {

namespace {

constexpr char Comment[] = "Настройки виджета таблицы";

}  // namespace

TableWidget::TableWidget(AppCore& core, WidgetManager& manager) : Widget(core, manager, L"Таблица") {}

void TableWidget::createOwnButtons() { fillArrowBar(); }

void TableWidget::paint(Surface& surface, const Rect& rect) {
    // Only the background until the cells are drawn.
    surface.fillRect(rect, backgroundColour_);
}

void TableWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("BackGroundColorLabel", ColourSetting::toText(labelColour_));
    put("BackGroundColorLabel2", ColourSetting::toText(labelColour2_));
    put("BackGroundColorScroll", ColourSetting::toText(scrollBackgroundColour_));
    put("ScrollLineColor", ColourSetting::toText(scrollLineColour_));
    put("SmallTextColor", ColourSetting::toText(smallTextColour_));
    put("BigTextColor", ColourSetting::toText(bigTextColour_));
    put("SmallTextSize", std::to_string(smallTextSize_));
    put("BigTextSize", std::to_string(bigTextSize_));
    put("SmallTextFontName", smallFontName_);
    put("BigTextFontName", bigFontName_);
}

void TableWidget::loadSettings(const IniFile& ini) {
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BackGroundColor", backgroundColour_);
    colour("BackGroundColorLabel", labelColour_);
    colour("BackGroundColorLabel2", labelColour2_);
    colour("BackGroundColorScroll", scrollBackgroundColour_);
    colour("ScrollLineColor", scrollLineColour_);
    colour("SmallTextColor", smallTextColour_);
    colour("BigTextColor", bigTextColour_);
    PageSettings::readFontSize(ini, "SmallTextSize", section, smallTextSize_);
    PageSettings::readFontSize(ini, "BigTextSize", section, bigTextSize_);
    PageSettings::readFace(ini, "SmallTextFontName", section, smallFontName_);
    PageSettings::readFace(ini, "BigTextFontName", section, bigFontName_);
}

}  // namespace movira
