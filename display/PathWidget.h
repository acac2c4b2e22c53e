// The page that draws the travelled track on an empty map (longitude to x, latitude to y,
// one scale), with a trip panel of time, speed, moving time, average speed and distance.
// Own buttons zoom the map, fit the whole track again and centre the latest position; a
// drag that starts on the map pans it.
// Threads: attach on the GPS reader thread takes each new track point once (model lock),
// then hands the trip figures and map points over under the frame lock; paint runs on the
// paint thread under the frame lock and never walks the track log; mouse handlers on the
// UI thread change pan and zoom under the frame lock.
#pragma once

#include "display/Font.h"
#include "display/Geometry.h"
#include "display/Widget.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace movira {

class PathWidget final : public Widget {
public:
    static constexpr Colour DefaultBorder = 0x606060;
    static constexpr Colour DefaultBackground = 0x000000;
    static constexpr Colour DefaultPath = 0xFFFF00;
    static constexpr Colour DefaultSmallText = 0xFFFFFF;
    static constexpr Colour DefaultMidText = 0x80FF00;
    static constexpr Colour DefaultBigText = 0x80FF00;
    static constexpr Colour DefaultEndPoint = 0x0000FF;
    static constexpr Colour DefaultStartPoint = 0x0000FF;
    // The zoom on top of the fit stays within 1/8 .. 4096: below, the track shrinks to a
    // dot; above, a coordinate could outgrow an int (see the .cpp).
    static constexpr float MinZoom = 1.0f / 8;
    static constexpr float MaxZoom = 4096.0f;

    // The trip as the page integrates it from the track points (km, seconds, km/h).
    struct Trip {
        int64_t movingSeconds = 0;
        float distance = 0.0f;
        float averageSpeed = 0.0f;  // meaningful only while movingSeconds > 0
        // Bounding box of the points taken, degrees; NoValue until the first.
        float minLatitude, maxLatitude, minLongitude, maxLongitude;
        Trip();
    };

    PathWidget(AppCore& core, WidgetManager& manager);
    ~PathWidget() override;

    const char* className() const override { return "PathWidget"; }
    // BtnLeft, ZoomOut, ZoomIn, ZoomAuto, CenterPos, BtnRight.
    void createOwnButtons() override;
    void paint(Surface& surface, const Rect& rect) override;
    // Takes the track points added since the last fix (constant work per fix), finds the
    // speed and time sensors until found, then lays the buttons out.
    void attach() override;
    void saveSettings(IniFile& ini) override;
    // A key that is missing or empty keeps its value; font heights outside 1..1000 are
    // refused and faces cut to 255 bytes.
    void loadSettings(const IniFile& ini) override;
    // A press on the map (not on a button) starts a pan; elsewhere the page's swipe.
    void onMouseDown(Point point) override;
    void onMouseMove(Point point) override;
    // The zoom buttons act here; then the tap goes on as on every page.
    void onMouseUp(Point point) override;

    // The panel's texts: "45 sec", "1:05", "1:00:05", "1D.0:0:5"; "999 m", "1.00 km",
    // "10.0 km"; "12.3 km/h", or nothing without moving time.
    static std::wstring elapsedText(int64_t seconds);
    static std::wstring distanceText(float km);
    static std::wstring averageText(const Trip& trip);

    // For tests (any thread): the trip and the view as the next frame sees them.
    Trip trip() const;
    float zoom() const;
    // Pan in logical pixels of the screen (x right, y down as the user sees it).
    double panX() const;
    double panY() const;
    // Where the map box was last painted, in client device pixels; empty before.
    Rect mapRectOnScreen() const;
    int speedSensorIndex() const { return speedSensor_; }
    int timeSensorIndex() const { return timeSensor_; }

private:
    struct GeoPoint {
        float longitude;
        float latitude;
    };
    // The points of the map, appended under the frame lock and never moved: a new point
    // costs the same however long the track is.
    class MapPoints {
    public:
        static constexpr size_t ChunkSize = 4096;
        size_t size() const { return size_; }
        const GeoPoint& operator[](size_t i) const { return (*chunks_[i / ChunkSize])[i % ChunkSize]; }
        void append(GeoPoint point);
        void clear();

    private:
        std::vector<std::unique_ptr<std::array<GeoPoint, ChunkSize>>> chunks_;
        size_t size_ = 0;
    };
    // The projection of one frame: pixel = floor(centre + (degrees - middle) * scale + 0.5).
    struct Projection {
        double kx, ky;          // pixels per degree; ky is negative (north up)
        double midLon, midLat;  // middle of the bounding box
        double ox, oy;          // where the middle lands, + 0.5
        inline Point at(GeoPoint p) const;
        friend bool operator==(const Projection&, const Projection&) = default;
    };
    // The line as the last frame projected it: kept while neither the projection nor the map
    // box changes, so that a frame only projects the points added since.
    struct Line {
        Projection projection{};
        Rect inner;
        size_t count = 0;          // map points taken
        Point first, previous;     // first and last pixel of the line
        GeoPoint before{};         // the last map point taken
        bool open = false;         // the last run goes on
        std::vector<Point> points;  // the runs' points, one after the other
        std::vector<int> runEnds;   // where each closed run ends in `points`
    };

    void takeNewPoints();
    void findSensors();
    // Paint thread, frame lock held.
    // Where the map box goes, below or beside the panel.
    Rect mapArea(const Surface& surface, const Rect& r, bool landscape) const;
    void fillAround(Surface& surface, const Rect& r, const Rect& map);
    void paintLandscapePanel(Surface& surface, const Rect& r, const std::wstring* values);
    void paintPortraitPanel(Surface& surface, const Rect& r, const std::wstring* values);
    void paintMap(Surface& surface, const Rect& area);
    // Brings line_ up to the map points for this projection and map box.
    void projectLine(const Projection& p, const Rect& inner);
    // The page shift, in page pixels, that the screen pan gives on this surface.
    void pageShift(const Surface& surface, double& dx, double& dy) const;
    void rememberMapRect(const Surface& surface, const Rect& area);
    void setPan(double x, double y);

    Colour borderColour_ = DefaultBorder;          // the page around the boxes
    Colour backgroundColour_ = DefaultBackground;  // value boxes and map box
    Colour pathColour_ = DefaultPath;
    Colour smallTimeTextColour_ = DefaultSmallText;  // panel labels
    Colour midTimeTextColour_ = DefaultMidText;      // portrait panel values but the time
    Colour bigTimeTextColour_ = DefaultBigText;      // portrait time; every landscape value
    Colour endPointColour_ = DefaultEndPoint;
    Colour startPointColour_ = DefaultStartPoint;
    int smallTextSize_ = 13;  // font heights, logical pixels
    int midTextSize_ = 20;
    int bigTextSize_ = 30;
    std::string smallFontFace_ = "Times New Roman";
    std::string midFontFace_ = "LCD";
    std::string bigFontFace_ = "LCD";
    // Made at the first frame on the paint thread and kept.
    std::unique_ptr<Font> smallFont_, midFont_, bigFont_;

    // GPS thread only: the integration in progress.
    Trip working_;
    size_t taken_ = 0;            // track points looked at so far
    int64_t previousTime_ = 0;    // 100-ns units; 0 = none
    float previousSpeed_;         // km/h; NoValue = none
    std::vector<GeoPoint> fresh_;  // points of this fix on their way to the map

    // Frame lock: what paint reads.
    Trip trip_;
    MapPoints map_;
    double panX_ = 0.0;  // screen logical pixels
    double panY_ = 0.0;
    float zoom_ = 1.0f;
    bool centreRequest_ = false;
    Rect mapOnScreen_;   // client device pixels
    Line line_;

    // UI thread only.
    bool fingerDown_ = false;
    bool panning_ = false;
    Point panFrom_;

    std::atomic<int> speedSensor_{-1};
    std::atomic<int> timeSensor_{-1};
};

}  // namespace movira
