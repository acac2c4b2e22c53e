#include "display/SpeedometerWidget.h"

#include "core/AppCore.h"
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

constexpr char Comment[] = "Настройки виджета спидометра";
constexpr float ModeMaximum[] = {60.0f, 120.0f, 250.0f, 400.0f};  // km/h

}  // namespace

SpeedometerWidget::SpeedometerWidget(AppCore& core, WidgetManager& manager)
    : Widget(core, manager, core.uiText().speedometer()) {}

void SpeedometerWidget::createOwnButtons() {
    fillOwnBar({{PrevWidget, "BtnLeft"},
                {VeloMode, "BtnVeloMode"},
                {SlowMode, "BtnSlowMode"},
                {RaceMode, "BtnRaceMode"},
                {PlaneMode, "BtnPlaneMode"},
                {NextWidget, "BtnRight"}});
}

void SpeedometerWidget::paint(Surface& surface, const Rect& rect) {
    // Only the background until the dial is drawn.
    surface.fillRect(rect, backgroundColour_);
}

void SpeedometerWidget::setMode(int mode) {
    mode_ = (mode == 0 || mode == 2 || mode == 3) ? mode : DefaultMode;
}

int SpeedometerWidget::modeForCommand(int command) {
    switch (command) {
    case VeloMode: return 0;
    case SlowMode: return 1;
    case RaceMode: return 2;
    case PlaneMode: return 3;
    default: return -1;
    }
}

float SpeedometerWidget::scaleMaximum() const { return ModeMaximum[mode_]; }

void SpeedometerWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("SpeedArrowColor", ColourSetting::toText(speedArrowColour_));
    put("SpeedTextColor", ColourSetting::toText(speedTextColour_));
    put("MaxSpeedArrowColor", ColourSetting::toText(maxSpeedArrowColour_));
    put("AvgSpeedArrowColor", ColourSetting::toText(avgSpeedArrowColour_));
    put("OdomerTextColor", ColourSetting::toText(odomerTextColour_));
    put("AccelTextColor", ColourSetting::toText(accelTextColour_));
    put("FastestColor", ColourSetting::toText(fastestColour_));
    put("NorthArrowColor", ColourSetting::toText(northArrowColour_));
    put("SouthArrowColor", ColourSetting::toText(southArrowColour_));
    put("ClockTextColor", ColourSetting::toText(clockTextColour_));
    put("SpeedometerColor", ColourSetting::toText(speedometerColour_));
    put("AccelTextFontName", accelFont_.name);
    put("FastestTextFontName", fastestFont_.name);
    put("OdomerTextFontName", odomerFont_.name);
    put("SpeedTextFontName", speedFont_.name);
    put("ClockTextFontName", clockFont_.name);
    put("SpeedometerTextFontName", speedometerFont_.name);
    put("AccelFontSize", std::to_string(accelFont_.size));
    put("FastestFontSize", std::to_string(fastestFont_.size));
    put("OdomerFontSize", std::to_string(odomerFont_.size));
    put("SpeedFontSize", std::to_string(speedFont_.size));
    put("ClockFontSize", std::to_string(clockFont_.size));
    put("SpeedometerFontSize", std::to_string(speedometerFont_.size));
    put("SpeedometerMode", std::to_string(mode_));
}

void SpeedometerWidget::loadSettings(const IniFile& ini) {
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BackGroundColor", backgroundColour_);
    colour("SpeedArrowColor", speedArrowColour_);
    colour("SpeedTextColor", speedTextColour_);
    colour("MaxSpeedArrowColor", maxSpeedArrowColour_);
    colour("AvgSpeedArrowColor", avgSpeedArrowColour_);
    colour("OdomerTextColor", odomerTextColour_);
    colour("AccelTextColor", accelTextColour_);
    colour("FastestColor", fastestColour_);
    colour("NorthArrowColor", northArrowColour_);
    colour("SouthArrowColor", southArrowColour_);
    colour("ClockTextColor", clockTextColour_);
    colour("SpeedometerColor", speedometerColour_);
    PageSettings::readFace(ini, "AccelTextFontName", section, accelFont_.name);
    PageSettings::readFace(ini, "FastestTextFontName", section, fastestFont_.name);
    PageSettings::readFace(ini, "OdomerTextFontName", section, odomerFont_.name);
    PageSettings::readFace(ini, "SpeedTextFontName", section, speedFont_.name);
    PageSettings::readFace(ini, "ClockTextFontName", section, clockFont_.name);
    PageSettings::readFace(ini, "SpeedometerTextFontName", section, speedometerFont_.name);
    PageSettings::readFontSize(ini, "AccelFontSize", section, accelFont_.size);
    PageSettings::readFontSize(ini, "FastestFontSize", section, fastestFont_.size);
    PageSettings::readFontSize(ini, "OdomerFontSize", section, odomerFont_.size);
    PageSettings::readFontSize(ini, "SpeedFontSize", section, speedFont_.size);
    PageSettings::readFontSize(ini, "ClockFontSize", section, clockFont_.size);
    PageSettings::readFontSize(ini, "SpeedometerFontSize", section, speedometerFont_.size);
    // Any number goes through the mode rule (7 gives mode 1); text that is no number
    // leaves the mode as it is.
    if (const std::optional<int> mode = PageSettings::readInt(ini, "SpeedometerMode", section)) setMode(*mode);
}

}  // namespace movira
