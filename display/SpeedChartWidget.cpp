#include "display/SpeedChartWidget.h"

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

constexpr char Comment[] = "Настройки виджета графика скорости";

}  // namespace

SpeedChartWidget::SpeedChartWidget(AppCore& core, WidgetManager& manager)
    : Widget(core, manager, core.uiText().speedChart()) {}

void SpeedChartWidget::createOwnButtons() {
    fillOwnBar({{PrevWidget, "BtnLeft"},
                {ZoomOut, "BtnZoomOut"},
                {ZoomIn, "BtnZoomIn"},
                {ZoomAuto, "BtnZoomAuto"},
                {0, nullptr},
                {NextWidget, "BtnRight"}});
}

void SpeedChartWidget::paint(Surface& surface, const Rect& rect) {
    // Only the border colour until the chart is drawn.
    surface.fillRect(rect, borderColour_);
}

void SpeedChartWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BorderColor", ColourSetting::toText(borderColour_));
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("ChartColor", ColourSetting::toText(chartColour_));
    put("SmallTextColor", ColourSetting::toText(smallTextColour_));
    put("CurSpeedLineColor", ColourSetting::toText(currentSpeedColour_));
    put("MaxSpeedLineColor", ColourSetting::toText(maximumSpeedColour_));
    put("BigTextColor", ColourSetting::toText(bigTextColour_));
    put("AxesColor", ColourSetting::toText(axesColour_));
    put("SmallTextSize", std::to_string(smallTextSize_));
    put("BigTextSize", std::to_string(bigTextSize_));
    put("SmallTextFontName", smallFontFace_);
    put("BigTextFontName", bigFontFace_);
}

void SpeedChartWidget::loadSettings(const IniFile& ini) {
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BorderColor", borderColour_);
    colour("BackGroundColor", backgroundColour_);
    colour("ChartColor", chartColour_);
    colour("SmallTextColor", smallTextColour_);
    colour("CurSpeedLineColor", currentSpeedColour_);
    colour("MaxSpeedLineColor", maximumSpeedColour_);
    colour("BigTextColor", bigTextColour_);
    colour("AxesColor", axesColour_);
    PageSettings::readFontSize(ini, "SmallTextSize", section, smallTextSize_);
    PageSettings::readFontSize(ini, "BigTextSize", section, bigTextSize_);
    PageSettings::readFace(ini, "SmallTextFontName", section, smallFontFace_);
    PageSettings::readFace(ini, "BigTextFontName", section, bigFontFace_);
}

}  // namespace movira
