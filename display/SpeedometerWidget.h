// The analogue speedometer page: a dial with ticks and numbers, the speed needle, markers
// for the average and maximum speed, the digital speed, odometer, clock and compass, and
// the best times written beside the dial. Four scale modes (60, 120, 250 and 400 km/h) are
// chosen with the own bar's mode buttons and kept in the settings.
// Threads as for every page (Widget.h). Found sensors, pictures and the texts formatted at
// a fix are handed to the paint thread under the frame lock; the cached fonts belong to
// the paint thread; the mode is atomic. Speeds in km/h, distances in metres.
#pragma once

#include "display/Font.h"
#include "display/Geometry.h"
#include "display/Image.h"
#include "display/StatusIcons.h"
#include "display/Widget.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

namespace movira {

class SpeedometerWidget final : public Widget {
public:
    static constexpr int DefaultMode = 1;
    static constexpr int MaxFastest = 5;
    static constexpr int MaxAcceleration = 13;  // the fourteenth, 0-300 km/h, is never shown
    static constexpr size_t LabelSize = 60;     // wide characters of each label, with the zero

    // Sensor indices found by caption at a fix; -1 while not found.
    struct FoundSensors {
        int speed = -1;
        int average = -1;
        int distance = -1;
        int max = -1;
        int time = -1;
        std::array<int, MaxFastest> fastest{};
        int fastestCount = 0;
        std::array<int, MaxAcceleration> acceleration{};
        int accelerationCount = 0;
        int azimuth = -1;
    };

    SpeedometerWidget(AppCore& core, WidgetManager& manager);
    ~SpeedometerWidget() override;

    const char* className() const override { return "SpeedometerWidget"; }
    // BtnLeft, the four mode buttons (VeloMode, SlowMode, RaceMode, PlaneMode), BtnRight.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    // Finds the sensors and loads the pictures while any is missing, lays the buttons out,
    // then formats the digital speed and the fastest-distance labels.
    void attach() override;
    // A released mode button switches the scale before the base release posts its command.
    void onMouseUp(Point point) override;
    void saveSettings(IniFile& ini) override;
    // A missing or empty key keeps its value; font sizes outside 1..1000 are refused, face
    // names are cut to 255 bytes.
    void loadSettings(const IniFile& ini) override;
    // Loads every icon still missing, and the compass, from the program's "Pics" folder.
    void loadImages();

    // Switches the scale at once: modes 0 to 3, anything else is mode 1.
    void setMode(int mode);
    int mode() const { return mode_; }
    // The mode a button command chooses (VeloMode..PlaneMode give 0..3), or -1.
    static int modeForCommand(int command);
    // The scale runs from 0 to the mode's maximum, km/h.
    float scaleMinimum() const { return 0.0f; }
    float scaleMaximum() const;

    // What the last fixes found and formatted. Take the frame lock: not from inside a frame.
    FoundSensors foundSensors();
    // Label 0 is the digital speed, 1 to 5 the distances of the fastest sensors.
    std::wstring label(int index);

private:
    static constexpr int Labels = 1 + MaxFastest;

    // A face name (at most 255 bytes) and a cell height in logical pixels.
    struct FontSetting {
        std::string name;
        int size;
    };
    struct Frame;  // what one frame shows, copied from the model

    // Fills `found` from the sensor set where something is still missing; true when the
    // walk ran.
    bool findSensors(FoundSensors& found);
    void readFrame(Frame& frame) const;
    // Paint thread: the five cached fonts, made when missing.
    void createFonts(Surface& surface);
    void drawScale(Surface& surface, const Rect& dial, int mode);
    void drawDial(Surface& surface, const Rect& dial, const Frame& frame, bool landscape);
    void drawIcons(Surface& surface, const Rect& page, int satellitesUsed);
    // One column of a fastest distance: label, bracket and best time. Returns the bottom
    // edge of the time.
    int drawColumn(Surface& surface, int x0, int x1, int labelTop, int labelIndex, const std::wstring& time,
                   bool landscape);
    void drawFastest(Surface& surface, const Rect& dial, const Frame& frame, bool landscape, int& textBottom);
    void drawAcceleration(Surface& surface, const Rect& dial, const Frame& frame);
    void drawCompass(Surface& surface, const Rect& box, float course);

    Colour backgroundColour_ = 0x000000;
    Colour speedArrowColour_ = 0x0000FF;     // needle and hub
    Colour speedTextColour_ = 0xFFFF00;      // digital speed
    Colour maxSpeedArrowColour_ = 0x0000FF;
    Colour avgSpeedArrowColour_ = 0x00FF00;
    Colour odomerTextColour_ = 0xFF00FF;
    Colour accelTextColour_ = 0x00FF80;
    Colour fastestColour_ = 0x80FF00;
    Colour northArrowColour_ = 0xFF0000;
    Colour southArrowColour_ = 0x0000FF;
    Colour clockTextColour_ = 0x80FF00;
    Colour speedometerColour_ = 0x00A4A4;    // ticks and scale numbers
    FontSetting accelFont_{"Times New Roman", 18};
    FontSetting fastestFont_{"Times New Roman", 14};
    FontSetting odomerFont_{"Times New Roman", 28};
    FontSetting speedFont_{"LCD", 40};
    FontSetting clockFont_{"LCD", 32};
    FontSetting speedometerFont_{"Times New Roman", 20};
    std::atomic<int> mode_{DefaultMode};

    // Paint thread only; made at the first frame and kept (the Accel font is made per label).
    std::unique_ptr<Font> fastestCache_;
    std::unique_ptr<Font> odomerCache_;
    std::unique_ptr<Font> speedCache_;
    std::unique_ptr<Font> clockCache_;
    std::unique_ptr<Font> speedometerCache_;

    // Written on the GPS thread under the frame lock, read by the paint thread under it.
    FoundSensors found_;
    StatusIcons icons_;
    std::unique_ptr<Image> compass_;
    wchar_t labels_[Labels][LabelSize] = {};
};

}  // namespace movira
