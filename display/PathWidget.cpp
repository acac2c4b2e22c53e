#include "display/PathWidget.h"

#include "core/AppCore.h"
#include "core/UiText.h"
#include "core/UserCommand.h"
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

constexpr char Comment[] = "Настройки виджета пройденного пути";

}  // namespace

PathWidget::PathWidget(AppCore& core, WidgetManager& manager) : Widget(core, manager, core.uiText().distance()) {}

void PathWidget::createOwnButtons() {
    fillOwnBar({{PrevWidget, "BtnLeft"},
                {ZoomOut, "BtnZoomOut"},
                {ZoomIn, "BtnZoomIn"},
                {ZoomAuto, "BtnZoomAuto"},
                {CenterPos, "BtnCenterPos"},
                {NextWidget, "BtnRight"}});
}

void PathWidget::paint(Surface& surface, const Rect& rect) {
    // Only the border colour until the panel and the map are drawn.
    surface.fillRect(rect, borderColour_);
}

void PathWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BorderColor", ColourSetting::toText(borderColour_));
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("PathColor", ColourSetting::toText(pathColour_));
    put("SmallTimeTextColor", ColourSetting::toText(smallTimeTextColour_));
    put("MidTimeTextColor", ColourSetting::toText(midTimeTextColour_));
    put("BigTimeTextColor", ColourSetting::toText(bigTimeTextColour_));
    put("EndPointColor", ColourSetting::toText(endPointColour_));
    put("StartPointColor", ColourSetting::toText(startPointColour_));
    put("SmallTextSize", std::to_string(smallTextSize_));
    put("MidTextSize", std::to_string(midTextSize_));
    put("BigTextSize", std::to_string(bigTextSize_));
    put("SmallTextFontName", smallFontFace_);
    put("MidTextFontName", midFontFace_);
    put("BigTextFontName", bigFontFace_);
}

void PathWidget::loadSettings(const IniFile& ini) {
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BorderColor", borderColour_);
    colour("BackGroundColor", backgroundColour_);
    colour("PathColor", pathColour_);
    colour("SmallTimeTextColor", smallTimeTextColour_);
    colour("MidTimeTextColor", midTimeTextColour_);
    colour("BigTimeTextColor", bigTimeTextColour_);
    colour("EndPointColor", endPointColour_);
    colour("StartPointColor", startPointColour_);
    PageSettings::readFontSize(ini, "SmallTextSize", section, smallTextSize_);
    PageSettings::readFontSize(ini, "MidTextSize", section, midTextSize_);
    PageSettings::readFontSize(ini, "BigTextSize", section, bigTextSize_);
    PageSettings::readFace(ini, "SmallTextFontName", section, smallFontFace_);
    PageSettings::readFace(ini, "MidTextFontName", section, midFontFace_);
    PageSettings::readFace(ini, "BigTextFontName", section, bigFontFace_);
}

}  // namespace movira
