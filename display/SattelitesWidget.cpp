#include "display/SattelitesWidget.h"

#include "core/AppCore.h"
#include "core/UiText.h"
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

constexpr char Comment[] = "Настройки виджета спутников";

}  // namespace

SattelitesWidget::SattelitesWidget(AppCore& core, WidgetManager& manager)
    : Widget(core, manager, core.uiText().satellites()) {}

void SattelitesWidget::createOwnButtons() { fillArrowBar(); }

void SattelitesWidget::paint(Surface& surface, const Rect& rect) {
    // Only the background until the sky plot is drawn.
    surface.fillRect(rect, backgroundColour_);
}

void SattelitesWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("SattelitesNameColor", ColourSetting::toText(nameColour_));
    put("LowSignalColor", ColourSetting::toText(lowSignalColour_));
    put("MidSignalColor", ColourSetting::toText(midSignalColour_));
    put("HighSignalColor", ColourSetting::toText(highSignalColour_));
    put("BorderColor", ColourSetting::toText(borderColour_));
    put("ShadowColor", ColourSetting::toText(shadowColour_));
    put("MiscLineColor", ColourSetting::toText(miscLineColour_));
    put("SattelitesNameFontName", fontFace_);
    put("SattelitesNameFontSize", std::to_string(fontSize_));
}

void SattelitesWidget::loadSettings(const IniFile& ini) {
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BackGroundColor", backgroundColour_);
    colour("SattelitesNameColor", nameColour_);
    colour("LowSignalColor", lowSignalColour_);
    colour("MidSignalColor", midSignalColour_);
    colour("HighSignalColor", highSignalColour_);
    colour("BorderColor", borderColour_);
    colour("ShadowColor", shadowColour_);
    colour("MiscLineColor", miscLineColour_);
    PageSettings::readFace(ini, "SattelitesNameFontName", section, fontFace_);
    PageSettings::readFontSize(ini, "SattelitesNameFontSize", section, fontSize_);
}

}  // namespace movira
