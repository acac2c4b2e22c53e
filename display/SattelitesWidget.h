// The page of the satellites in view: a sky plot with north up and one dot per satellite of
// every system (each number with its system's letter, G5 R67 E5 C201, once more than GPS is in
// view), a strip of signal bars (the strongest twelve when more are in view), and latitude,
// longitude, speed and altitude in the corners.
// Threads as for every page (Widget.h): paint on the paint thread under the frame lock,
// attach on the GPS reader thread, settings on the initialisation and UI threads.
#pragma once

#include "core/SatelliteInfo.h"
#include "display/Font.h"
#include "display/Geometry.h"
#include "display/Image.h"
#include "display/Widget.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <span>
#include <string>

namespace movira {

class SattelitesWidget final : public Widget {
public:
    static constexpr Colour DefaultBackground = 0xC0C0C0;
    static constexpr Colour DefaultName = 0x000000;
    static constexpr Colour DefaultLowSignal = 0x0000FF;
    static constexpr Colour DefaultMidSignal = 0x00FFFF;
    static constexpr Colour DefaultHighSignal = 0x00C000;
    static constexpr Colour DefaultBorder = 0x202020;
    static constexpr Colour DefaultShadow = 0x404040;
    static constexpr Colour DefaultMiscLine = 0x606060;
    // Depth of the signal strip (pixels): along the right edge in landscape, the bottom in portrait.
    static constexpr int StripDepth = 70;
    // The face name is kept to what a 256-character buffer with its terminator holds.
    static constexpr size_t MaxFaceCharacters = 255;
    // Bars in the signal strip: more would not be readable at its size.
    static constexpr int StripChannels = 12;

    // Where the parts of the page go inside the page rectangle.
    struct Layout {
        Rect plot;               // sky plot, corner read-outs and background picture
        Rect strip;              // signal bars
        bool horizontalBars;     // landscape: one row per channel; portrait: one column
    };
    // The sky plot inside the plot area: centre, half size m and outer ring radius m - 10.
    struct Sky {
        int cx;
        int cy;
        int half;
        int radius;
    };

    SattelitesWidget(AppCore& core, WidgetManager& manager);

    const char* className() const override { return "SattelitesWidget"; }
    // The previous/next arrows.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    // Finds the four sensors of the read-outs and loads the background picture (each until
    // found), then lays the buttons out.
    void attach() override;
    void saveSettings(IniFile& ini) override;
    // A key that is missing or empty keeps its value; see the .cpp for refused values.
    void loadSettings(const IniFile& ini) override;

    static Layout layout(const Rect& page);
    static Sky sky(const Rect& plot);
    // The picture's box: its own size shrunk (never enlarged, proportions kept) to fit the
    // plot area, centred in it; empty for an empty picture.
    static Rect backgroundBox(Size picture, const Rect& plot);
    // Where a satellite's dot goes: azimuth 0 up, 90 right; elevation 90 at the centre,
    // 0 on the outer ring. Absurd angles give far-away points, never an overflow.
    static Point position(const Sky& sky, int azimuth, int elevation);
    // A satellite is shown when its number, elevation, azimuth and SNR are all known.
    static bool isShown(const SatelliteInfo& satellite);
    Colour signalColour(int snr) const;
    // Whether the labels need their system's letter: a system other than GPS (and its SBAS) is shown.
    static bool needsMarks(std::span<const SatelliteInfo> satellites);
    // The table entry of each bar of the strip, -1 for none: the entries themselves while the
    // first twelve hold every satellite shown, else the twelve strongest in table order.
    static std::array<int, StripChannels> stripChannels(std::span<const SatelliteInfo> satellites);

    int latitudeSensorIndex() const { return latitudeSensor_; }
    int longitudeSensorIndex() const { return longitudeSensor_; }
    int speedSensorIndex() const { return speedSensor_; }
    int altitudeSensorIndex() const { return altitudeSensor_; }
    const std::string& fontFace() const { return fontFace_; }
    bool hasBackground() const;

private:
    // One corner read-out: the sensor's caption and value text as the frame shows them.
    struct ReadOut {
        std::wstring caption;
        std::wstring value;
    };

    void findSensors();
    void loadBackground();
    void paintStrip(Surface& surface, const Rect& strip, bool horizontal, std::span<const SatelliteInfo> satellites,
                    bool marked);
    void paintSky(Surface& surface, const Sky& sky, std::span<const SatelliteInfo> satellites, bool marked);
    void paintReadOuts(Surface& surface, const Rect& plot, const ReadOut* readOuts);
    // "%i" of the number into the scratch text.
    std::wstring_view number(int value);
    // The satellite's number, with its system's letter when `marked`, into the scratch text.
    std::wstring_view label(const SatelliteInfo& satellite, bool marked);

    Colour backgroundColour_ = DefaultBackground;
    Colour nameColour_ = DefaultName;              // satellite numbers, N/S/E/W, corner read-outs
    Colour lowSignalColour_ = DefaultLowSignal;    // SNR 20 or less
    Colour midSignalColour_ = DefaultMidSignal;    // SNR 21 to 49
    Colour highSignalColour_ = DefaultHighSignal;  // SNR 50 or more
    Colour borderColour_ = DefaultBorder;          // outline of dots and bars
    Colour shadowColour_ = DefaultShadow;          // shadows of the bars
    Colour miscLineColour_ = DefaultMiscLine;      // rings and cross of the sky plot
    int fontSize_ = 12;                            // font height, logical pixels
    std::string fontFace_ = "Times New Roman";     // UTF-8, at most MaxFaceCharacters
    // Made at the first frame on the paint thread and kept: a face edited later counts at the next start.
    std::unique_ptr<Font> font_;
    // Indices in the sensor set, -1 until found; set on the GPS thread under the frame lock.
    std::atomic<int> latitudeSensor_{-1};
    std::atomic<int> longitudeSensor_{-1};
    std::atomic<int> speedSensor_{-1};
    std::atomic<int> altitudeSensor_{-1};
    // Loaded on the GPS thread, drawn on the paint thread: handed over under the frame lock.
    std::unique_ptr<Image> background_;
};

}  // namespace movira
