#include "display/FullScreenSpeedWidget.h"

#include "core/AppCore.h"
#include "display/ColourSetting.h"
#include "display/Surface.h"
#include "display/WidgetManager.h"
#include "platform/Battery.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <string>

namespace movira {
namespace {

constexpr char kSection[] = "FullScreenSpeedWidget";
constexpr char kComment[] = "Настройки виджета полноэкранной скорости";
constexpr char kFace[] = "LCD";
constexpr int kSpeedHeightLandscape = 170;
constexpr int kSpeedHeightPortrait = 140;
constexpr int kTimeHeight = 70;
constexpr int kShrinkStep = 5;
constexpr int kChargingAlpha = 192;

// The largest font from `height` down, in steps of 5, whose text fits the box; 5 at the least.
std::unique_ptr<Font> fittingFont(const Surface& surface, std::wstring_view text, int height, int maxWidth,
                                  int maxHeight, Size& measured) {
    auto font = surface.createFont(kFace, height, 0);
    measured = surface.measureText(*font, text);
    while ((measured.width > maxWidth || measured.height > maxHeight) && height >= 6) {
        height -= kShrinkStep;
        font = surface.createFont(kFace, height, 0);
        measured = surface.measureText(*font, text);
    }
    return font;
}

Rect placed(const Image& image, int left, int top) {
    const Size size = image.size();
    return {left, top, left + size.width, top + size.height};
}

}  // namespace

FullScreenSpeedWidget::FullScreenSpeedWidget(AppCore& core, WidgetManager& manager)
    : Widget(core, manager, core.uiText().speed()) {}

std::wstring FullScreenSpeedWidget::speedText(float kmh) {
    const float rounded = kmh + 0.5f;
    // No speed (-9999), below zero or not a number shows 0; absurd speeds stop at the int range.
    if (!(rounded >= 0.0f)) return L"0";
    const int v = rounded >= static_cast<float>(INT_MAX) ? INT_MAX : static_cast<int>(rounded);
    return std::to_wstring(v);
}

void FullScreenSpeedWidget::findSensors() {
    if (speedSensor_ != -1 && timeSensor_ != -1) return;
    const UiText& texts = core().uiText();
    auto model = core().model();
    for (int i = 0; i < model->sensors.count(); ++i) {
        const wchar_t* caption = model->sensors.at(i)->caption();
        if (speedSensor_ == -1 && std::wcsstr(caption, texts.speed())) {
            speedSensor_ = i;
            continue;
        }
        if (timeSensor_ == -1 && std::wcsstr(caption, texts.currentTime())) timeSensor_ = i;
    }
}

void FullScreenSpeedWidget::loadImages() {
    icons_.loadMissing(manager(), [this](const char* name) { return picturePath(name); });
}

void FullScreenSpeedWidget::attach() {
    findSensors();
    loadImages();
    Widget::attach();
}

void FullScreenSpeedWidget::paint(Surface& surface, const Rect& r) {
    surface.fillRect(r, background_);

    // What the frame shows, taken from the model in one short visit.
    const int speedIndex = speedSensor_;
    const int timeIndex = timeSensor_;
    int satellitesUsed = 0;
    float speed = NoValue;
    std::wstring time;
    {
        auto model = core().model();
        satellitesUsed = model->parser.fix().satellitesUsed;
        if (speedIndex >= 0 && speedIndex < model->sensors.count()) speed = model->sensors.at(speedIndex)->value(0);
        if (timeIndex >= 0 && timeIndex < model->sensors.count()) time = model->sensors.at(timeIndex)->text();
    }

    Rect signalBox{r.left, r.top, r.left, r.top};
    if (const Image* icon = icons_.signal(satellitesUsed)) {
        signalBox = placed(*icon, r.left, r.top);
        icon->drawOpaque(surface, signalBox);
    }

    Rect batteryBox{r.right, r.top, r.right, r.top};
    if (const auto status = core().battery().status()) {
        if (const Image* icon = icons_.battery(status->percent)) {
            batteryBox = placed(*icon, r.right - icon->size().width, r.top);
            icon->drawOpaque(surface, batteryBox);
        }
        if (const Image* charging = icons_.charging(); status->charging && charging) {
            const Size size = charging->size();
            const int left = (batteryBox.left + batteryBox.right - size.width) / 2;
            const int top = (batteryBox.top + batteryBox.bottom - size.height) / 2;
            charging->drawBlended(surface, {left, top, left + size.width, top + size.height}, kChargingAlpha);
        }
    }

    if (speedIndex < 0) return;
    const std::wstring speedDigits = speedText(speed);
    const int w = r.width();
    const int h = r.height();
    Size measured;
    auto font = fittingFont(surface, speedDigits, w > h ? kSpeedHeightLandscape : kSpeedHeightPortrait, w,
                            r.bottom - signalBox.bottom, measured);
    surface.drawText(*font, speedDigits, r.right - measured.width, (r.bottom + signalBox.bottom - measured.height) / 2,
                     speedTextColour_);

    if (timeIndex < 0) return;
    font = fittingFont(surface, time, kTimeHeight, batteryBox.left - signalBox.right, signalBox.bottom, measured);
    surface.drawText(*font, time, (batteryBox.left + signalBox.right - measured.width) / 2,
                     std::max(batteryBox.bottom, signalBox.bottom) - measured.height, timeTextColour_);
}

void FullScreenSpeedWidget::saveSettings(IniFile& ini) {
    ini.setValue("Comment", kComment, kSection);
    ini.setValue("BackGroundColor", ColourSetting::toText(background_), kSection);
    ini.setValue("SpeedTextColor", ColourSetting::toText(speedTextColour_), kSection);
    ini.setValue("TimeTextColor", ColourSetting::toText(timeTextColour_), kSection);
}

void FullScreenSpeedWidget::loadSettings(const IniFile& ini) {
    background_ = ColourSetting::fromText(ini.getValue("BackGroundColor", kSection), background_);
    speedTextColour_ = ColourSetting::fromText(ini.getValue("SpeedTextColor", kSection), speedTextColour_);
    timeTextColour_ = ColourSetting::fromText(ini.getValue("TimeTextColor", kSection), timeTextColour_);
}

}  // namespace movira
