// The window the paint thread draws for: its client size and resolution, whether it is
// shown, and the hand-over of a finished frame. The main window implements it; tests
// give a fake that keeps the frames.
#pragma once

#include "display/Geometry.h"

class QImage;

namespace movira {

class ScreenWindow {
public:
    virtual ~ScreenWindow() = default;
    // Whether the window exists and is visible (any thread).
    virtual bool isShown() const = 0;
    // Client area in device pixels (any thread).
    virtual Size clientSize() const = 0;
    // Dots per inch of each axis: 96 times the screen's device pixel ratio (any thread).
    virtual int dpiX() const = 0;
    virtual int dpiY() const = 0;
    // Paint thread: the window copies the top-left `source` part of `frame` and shows it
    // over its whole client area, scaled with nearest-neighbour sampling. Returns at once.
    virtual void presentFrame(const QImage& frame, Size source) = 0;
};

}  // namespace movira
