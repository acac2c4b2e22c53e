// The one off-screen back buffer of the main window: 16-bit pixels (5 bits each of red,
// green and blue) in logical pixels at 96 dpi, the drawing operations every page uses,
// and the hand-over of the finished frame to the window, mirrored left to right and/or
// turned 90 degrees clockwise when asked.
//
// Geometry follows the device the pages were designed for: a rectangle's right and bottom
// edges lie outside it, a line's last point is not drawn, antialiasing is off.
// Not locked: the widget manager keeps sizing (UI thread) and painting (paint thread)
// apart with its frame lock. `mirror` and `rotate` may be flipped from any thread.
#pragma once

#include "display/Font.h"
#include "display/Geometry.h"

#include <QImage>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QPainter;

namespace movira {

class ScreenWindow;

class Surface {
public:
    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // (Re)creates the buffers for the window's client size and resolution: the main buffer
    // is W x 96 / dpiX by H x 96 / dpiY logical pixels (swapped while `rotate` is on), the
    // turned buffer has the other shape. The buffers are recreated whenever the wanted size
    // changes in either dimension. Records the window for presenting.
    void resize(ScreenWindow& window);
    // The same from given figures (no window to present to); a dpi of 0 counts as 96.
    void resize(Size clientDevicePixels, int dpiX, int dpiY);

    // 0, 0, width, height of the main buffer.
    Rect bounds() const;
    // The buffer drawn into now: the main buffer, or the turned one after a turn until the
    // frame was presented.
    QImage& target() { return *target_; }
    const QImage& target() const { return *target_; }
    const QImage& mainBuffer() const { return main_; }
    const QImage& turnedBuffer() const { return turned_; }
    // What the last resize saw: client size in device pixels and resolution.
    Size clientSize() const { return client_; }
    int dpiX() const { return dpiX_; }
    int dpiY() const { return dpiY_; }

    void fillRect(const Rect& rect, Colour colour);
    // Text with its top-left corner at x, y, left-aligned; line breaks start new lines.
    void drawText(const Font& font, std::wstring_view text, int x, int y, Colour colour);
    // Width and height of the text's box in that font.
    Size measureText(const Font& font, std::wstring_view text) const;
    // A face name ("LCD", "Times New Roman"), a cell height in logical pixels and an angle
    // in degrees, counter-clockwise.
    std::unique_ptr<Font> createFont(std::string_view face, int height, int angleDegrees) const;

    // From the first point to the second; the last point is not drawn.
    void line(Colour colour, int width, int x1, int y1, int x2, int y2);
    void line(Colour colour, int x1, int y1, int x2, int y2) { line(colour, 1, x1, y1, x2, y2); }
    // Connected lines through the points; nothing with fewer than two.
    void polyline(Colour colour, int width, const Point* points, int count);
    // Outline in the pen colour and width, inside filled.
    void rectangle(Colour pen, int penWidth, Colour fill, const Rect& rect);
    // As rectangle, with corners rounded by a 3 x 3 ellipse.
    void roundRect(Colour pen, int penWidth, Colour fill, const Rect& rect);
    // The ellipse inscribed in the square centre +- radius.
    void filledCircle(Colour pen, int penWidth, Colour fill, int cx, int cy, int radius);
    // A ring marked point by point (single pixels, or squares of `thickness` from 2 on);
    // radius 0 marks the centre only, a negative radius nothing. A radius above 65536 or a
    // thickness above 256 draws nothing (no screen shows such a ring; walking it would
    // take seconds).
    void circleOutline(Colour colour, int thickness, int cx, int cy, int radius);
    // Drawing is kept inside the rectangle until the clip is cleared.
    void setClip(const Rect& rect);
    void clearClip();

    // After the page content, before the buttons: mirrors each row when `mirror` is on,
    // then turns the picture into the turned buffer when `rotate` is on, which then
    // receives the buttons.
    void applyMirrorAndRotation();
    // Hands the frame to the window recorded by resize; then the main buffer is drawn into
    // again. Nothing happens before the first resize with a window.
    void present();

    bool mirror() const { return mirror_; }
    void setMirror(bool on) { mirror_ = on; }
    bool rotate() const { return rotate_; }
    void setRotate(bool on) { rotate_ = on; }

private:
    friend class Image;
    // A painter on the target with the clip applied and antialiasing off.
    void preparePainter(QPainter& painter) const;
    // The part of the target that drawing may change: the target's rectangle, cut to the
    // clip when there is one; empty when there is no buffer.
    Rect drawable() const;

    QImage main_;
    QImage turned_;
    QImage* target_ = &main_;
    std::optional<Rect> clip_;
    ScreenWindow* window_ = nullptr;
    Size client_;
    int dpiX_ = 96;
    int dpiY_ = 96;
    std::atomic<bool> mirror_{false};
    std::atomic<bool> rotate_{false};
};

}  // namespace movira
