// Owner of the six pages and the Surface: the current page position (fractional during a
// slide), the paint thread that composes each frame, and the routing of keys, taps and
// drags to the current page.
// The frame lock keeps bar changes (GPS thread), hit tests and sizing (UI thread) and
// painting (paint thread) apart; pages that read the model lock it inside the frame lock.
#pragma once

#include "core/PageDisplay.h"
#include "display/BarCountdowns.h"
#include "display/Geometry.h"
#include "display/Surface.h"

#include <QImage>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace movira {

class AppCore;
class Clock;
class ScreenWindow;
class Widget;

class WidgetManager final : public PageDisplay {
public:
    static constexpr Colour SeamColour = 0xA0A0A0;

    // Starts the paint thread, which waits for the first repaint request.
    WidgetManager(AppCore& core, const Clock& clock);
    // Ends the paint thread, then the pages and the Surface go.
    ~WidgetManager() override;

    // TableWidget, SpeedometerWidget, FullScreenSpeedWidget, SattelitesWidget,
    // SpeedChartWidget, PathWidget, in this order, each with its common bar: Options and
    // Close are there from the start, also without a receiver. The pages' own bars come
    // with the first fix.
    void createWidgets();
    int pageCount() const { return static_cast<int>(pages_.size()); }
    Widget& page(int index) { return *pages_[index]; }

    // PageDisplay
    void notifyFix() override;
    void loadSettings(const IniFile& ini) override;
    void saveSettings(IniFile& ini) override;
    // position + 0.5, truncated.
    int currentIndex() const override;
    // Wraps: below 0 the last page, the page count or more page 0.
    void setCurrentIndex(int index) override;

    float position() const { return position_; }
    // A whole-number position is wrapped like setCurrentIndex.
    void setPosition(float position);

    // UI thread: creates the Surface if needed, sizes it for the window, lays the bars out
    // for the window's shape, records the window for the paint thread and wakes it.
    void requestRepaint(ScreenWindow& window);
    // Every page's bars on the edges of a client of that size, each bar keeping its
    // visibility when it changes edge. Frame lock held.
    void layoutBars(Size client);
    // UI thread: animated page change, wrapping at both ends.
    void slideNext();
    void slidePrevious();
    // UI thread input, forwarded to the current page (device pixels).
    void onMouseDown(Point point);
    void onMouseMove(Point point);
    void onMouseUp(Point point);
    void onDoubleClick();
    // Commands 7 and 8: false while there is no Surface yet.
    bool toggleMirror();
    bool toggleRotate();

    // The window recorded by the last repaint request; null before the first.
    ScreenWindow* window() const { return window_; }
    // Client size and dpi of the recorded window; empty / 96 without one.
    Size clientSize() const;
    int dpiX() const;
    BarCountdowns& countdowns() { return countdowns_; }
    std::unique_lock<std::mutex> lockFrame() { return std::unique_lock(frameMutex_); }

    // Draws one page at the window's size as a frame would show it (content, mirror and
    // turn, buttons) into a Surface of its own and returns the picture (UI thread).
    QImage renderPage(int index);
    // Composes one frame now on the calling thread, as the paint thread does (tests, benchmarks).
    void paintFrame();
    // Frames presented so far (any thread).
    int framesPainted() const { return framesPainted_; }

private:
    void paintLoop();
    // Frame lock held.
    void composeFrame(Surface& surface, float position);
    void requestRepaintFromCurrent();
    int wrap(int index) const;

    AppCore& core_;
    BarCountdowns countdowns_;
    std::vector<std::unique_ptr<Widget>> pages_;
    std::atomic<float> position_{-1.0f};
    std::mutex frameMutex_;                // guards surface_, the bars and page state shared with painting
    std::unique_ptr<Surface> surface_;
    std::atomic<ScreenWindow*> window_{nullptr};
    std::atomic<int> framesPainted_{0};
    std::mutex wakeMutex_;                 // guards the two flags below
    std::condition_variable wake_;
    bool repaintRequested_ = false;
    bool quit_ = false;
    std::thread paintThread_;              // last: starts once everything above exists
};

}  // namespace movira
