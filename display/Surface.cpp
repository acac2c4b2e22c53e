#include "display/Surface.h"

#include "display/ScreenWindow.h"

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace movira {

namespace {

// No screen needs more logical pixels than this on a side; larger figures are cut to it
// rather than asking for gigabytes.
constexpr int kMaxBufferSide = 8192;
// A ring is marked point by point, so its cost grows with the radius; rings beyond these
// bounds (far larger than any screen) are left out instead of taking seconds.
constexpr int64_t kMaxRingRadius = 1 << 16;
constexpr int kMaxRingThickness = 256;

using Pixel = uint16_t;

Pixel toPixel(Colour colour) {
    return static_cast<Pixel>(((redOf(colour) >> 3) << 10) | ((greenOf(colour) >> 3) << 5) | (blueOf(colour) >> 3));
}

QColor toQColor(Colour colour) { return QColor(redOf(colour), greenOf(colour), blueOf(colour)); }

int logicalPixels(int devicePixels, int dpi) {
    if (dpi <= 0)
        dpi = 96;
    const int64_t logical = static_cast<int64_t>(std::max(0, devicePixels)) * 96 / dpi;
    return static_cast<int>(std::min<int64_t>(logical, kMaxBufferSide));
}

// Creates the buffer when missing and recreates it whenever its size is not the wanted one:
// a buffer that kept one old side would stretch or cut the picture, and the bars on the
// changed edge would be drawn where the window no longer is.
void fitBuffer(QImage& buffer, int width, int height) {
    if (width <= 0 || height <= 0) {
        buffer = QImage();
        return;
    }
    if (buffer.width() == width && buffer.height() == height)
        return;
    buffer = QImage(width, height, QImage::Format_RGB555);
    if (!buffer.isNull())
        buffer.fill(0);
}

// Direct access to the 16-bit rows of a buffer; takes the bits once, since every
// non-const scanLine call goes through QImage's detach check.
class Rows {
public:
    explicit Rows(QImage& image) : bits_(image.bits()), stride_(image.bytesPerLine()) {}
    Pixel* operator[](int64_t y) const { return reinterpret_cast<Pixel*>(bits_ + y * stride_); }

private:
    uchar* bits_;
    qsizetype stride_;
};

// Everything below works on an `area` that lies inside the buffer, with 64-bit or double
// coordinates, so that no figure a page passes can overflow or reach outside the buffer.

void fillBox(const Rows& rows, const Rect& area, int64_t left, int64_t top, int64_t right, int64_t bottom,
             Pixel pixel) {
    left = std::max<int64_t>(left, area.left);
    top = std::max<int64_t>(top, area.top);
    right = std::min<int64_t>(right, area.right);
    bottom = std::min<int64_t>(bottom, area.bottom);
    if (left >= right || top >= bottom)
        return;
    for (int64_t y = top; y < bottom; ++y) {
        Pixel* row = rows[y];
        std::fill(row + left, row + right, pixel);
    }
}

void setPixel(const Rows& rows, const Rect& area, int64_t x, int64_t y, Pixel pixel) {
    if (x >= area.left && x < area.right && y >= area.top && y < area.bottom)
        rows[y][x] = pixel;
}

int64_t floorDiv(__int128 numerator, __int128 denominator) {
    __int128 quotient = numerator / denominator;
    if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0)))
        --quotient;
    return static_cast<int64_t>(quotient);
}

// A one-pixel line from the first point towards the second, which is not drawn. Each step
// along the major axis gets the minor coordinate rounded from the exact line, so only the
// steps inside the area are visited.
void thinLine(const Rows& rows, const Rect& area, int64_t x1, int64_t y1, int64_t x2, int64_t y2, Pixel pixel) {
    const int64_t dx = x2 - x1;
    const int64_t dy = y2 - y1;
    if (dx == 0 && dy == 0)
        return;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int64_t major0 = xMajor ? x1 : y1;
    const int64_t minor0 = xMajor ? y1 : x1;
    const int64_t majorDelta = xMajor ? dx : dy;
    const int64_t minorDelta = xMajor ? dy : dx;
    const int64_t steps = std::llabs(majorDelta);
    const int64_t lo = xMajor ? area.left : area.top;
    const int64_t hi = xMajor ? area.right : area.bottom;
    int64_t first;
    int64_t last;  // exclusive
    if (majorDelta > 0) {
        first = std::max<int64_t>(0, lo - major0);
        last = std::min<int64_t>(steps, hi - major0);
    } else {
        first = std::max<int64_t>(0, major0 - hi + 1);
        last = std::min<int64_t>(steps, major0 - lo + 1);
    }
    const int64_t direction = majorDelta > 0 ? 1 : -1;
    for (int64_t t = first; t < last; ++t) {
        const int64_t major = major0 + direction * t;
        const int64_t minor = minor0 + floorDiv(static_cast<__int128>(2) * t * minorDelta + steps,
                                                static_cast<__int128>(2) * steps);
        if (xMajor)
            setPixel(rows, area, major, minor, pixel);
        else
            setPixel(rows, area, minor, major, pixel);
    }
}

// Rows of the area whose pixel centres lie within [top, bottom] of a figure.
void rowRange(const Rect& area, double top, double bottom, int64_t& first, int64_t& last) {
    first = area.top;
    last = area.bottom;
    if (top - 0.5 > area.top)
        first = top - 0.5 >= area.bottom ? area.bottom : static_cast<int64_t>(std::ceil(top - 0.5));
    if (bottom - 0.5 < area.bottom - 1)
        last = bottom - 0.5 < area.top ? area.top : static_cast<int64_t>(std::floor(bottom - 0.5)) + 1;
}

// The pixels of row `y` whose centres x + 0.5 lie in [from, to), clipped to the area.
void fillRowSpan(const Rows& rows, const Rect& area, int64_t y, double from, double to, Pixel pixel) {
    const double left = std::clamp(std::ceil(from - 0.5), static_cast<double>(area.left), static_cast<double>(area.right));
    const double right = std::clamp(std::ceil(to - 0.5), static_cast<double>(area.left), static_cast<double>(area.right));
    if (left < right) {
        Pixel* row = rows[y];
        std::fill(row + static_cast<int64_t>(left), row + static_cast<int64_t>(right), pixel);
    }
}

// A convex polygon, filled where pixel centres lie inside it.
void fillConvex(const Rows& rows, const Rect& area, const double (*corners)[2], int count, Pixel pixel) {
    double top = corners[0][1];
    double bottom = corners[0][1];
    for (int i = 1; i < count; ++i) {
        top = std::min(top, corners[i][1]);
        bottom = std::max(bottom, corners[i][1]);
    }
    int64_t first;
    int64_t last;
    rowRange(area, top, bottom, first, last);
    for (int64_t y = first; y < last; ++y) {
        const double centre = y + 0.5;
        double from = std::numeric_limits<double>::infinity();
        double to = -from;
        for (int i = 0; i < count; ++i) {
            const double* a = corners[i];
            const double* b = corners[(i + 1) % count];
            if ((a[1] <= centre && centre < b[1]) || (b[1] <= centre && centre < a[1])) {
                const double x = a[0] + (centre - a[1]) * (b[0] - a[0]) / (b[1] - a[1]);
                from = std::min(from, x);
                to = std::max(to, x);
            }
        }
        if (from < to)
            fillRowSpan(rows, area, y, from, to, pixel);
    }
}

// A line of `width` pixels with flat ends: the rectangle along the segment between the
// centres of the two end pixels, so that the second point's pixel stays out of it.
void wideLine(const Rows& rows, const Rect& area, int width, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
              Pixel pixel) {
    const double ax = x1 + 0.5;
    const double ay = y1 + 0.5;
    const double bx = x2 + 0.5;
    const double by = y2 + 0.5;
    const double length = std::hypot(bx - ax, by - ay);
    if (length == 0)
        return;
    const double nx = -(by - ay) / length * width / 2;
    const double ny = (bx - ax) / length * width / 2;
    const double corners[4][2] = {{ax + nx, ay + ny}, {bx + nx, by + ny}, {bx - nx, by - ny}, {ax - nx, ay - ny}};
    fillConvex(rows, area, corners, 4, pixel);
}

// Half the width of an ellipse (centre cx, cy; semi-axes a, b) at the centre of row y;
// negative when the row misses it.
double ellipseHalfWidth(double cy, double a, double b, int64_t y) {
    if (a <= 0 || b <= 0)
        return -1;
    const double dy = (y + 0.5 - cy) / b;
    if (dy * dy > 1)
        return -1;
    return a * std::sqrt(1 - dy * dy);
}

// A filled ellipse with an outline `penWidth` wide centred on its edge: the outline is the
// ring between the ellipse grown by penWidth / 2 and the one shrunk by the rest.
void ellipse(const Rows& rows, const Rect& area, double cx, double cy, double a, double b, int penWidth,
             Pixel pen, Pixel fill, bool filled) {
    const int outward = penWidth / 2;
    const double outerA = a + outward;
    const double outerB = b + outward;
    const double innerA = outerA - penWidth;
    const double innerB = outerB - penWidth;
    int64_t first;
    int64_t last;
    rowRange(area, cy - outerB, cy + outerB, first, last);
    for (int64_t y = first; y < last; ++y) {
        const double outer = ellipseHalfWidth(cy, outerA, outerB, y);
        if (outer < 0)
            continue;
        const double inner = ellipseHalfWidth(cy, innerA, innerB, y);
        if (inner < 0) {
            fillRowSpan(rows, area, y, cx - outer, std::nextafter(cx + outer, HUGE_VAL), pen);
            continue;
        }
        // Span ends are inclusive on both sides of the centre, hence the nudge.
        fillRowSpan(rows, area, y, cx - outer, cx - inner, pen);
        fillRowSpan(rows, area, y, std::nextafter(cx + inner, HUGE_VAL), std::nextafter(cx + outer, HUGE_VAL), pen);
        if (filled)
            fillRowSpan(rows, area, y, cx - inner, std::nextafter(cx + inner, HUGE_VAL), fill);
    }
}

// Calls onLine(start, length) for each line of `text`; "\r\n", "\r" and "\n" break lines.
template <class OnLine>
int forEachLine(const QString& text, OnLine&& onLine) {
    int lines = 0;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i <= size; ++i) {
        if (i < size && text[i] != u'\n' && text[i] != u'\r')
            continue;
        onLine(lines, start, i - start);
        ++lines;
        if (i + 1 < size && text[i] == u'\r' && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

}  // namespace

void Surface::resize(ScreenWindow& window) {
    resize(window.clientSize(), window.dpiX(), window.dpiY());
    window_ = &window;
}

void Surface::resize(Size clientDevicePixels, int dpiX, int dpiY) {
    window_ = nullptr;
    client_ = clientDevicePixels;
    dpiX_ = dpiX;
    dpiY_ = dpiY;
    const int width = logicalPixels(clientDevicePixels.width, dpiX);
    const int height = logicalPixels(clientDevicePixels.height, dpiY);
    if (rotate_) {
        fitBuffer(main_, height, width);
        fitBuffer(turned_, width, height);
    } else {
        fitBuffer(main_, width, height);
        fitBuffer(turned_, height, width);
    }
}

Rect Surface::bounds() const { return {0, 0, main_.width(), main_.height()}; }

Rect Surface::drawable() const {
    const QImage& image = *target_;
    if (image.isNull())
        return {};
    Rect area{0, 0, image.width(), image.height()};
    if (clip_) {
        area.left = std::max(area.left, clip_->left);
        area.top = std::max(area.top, clip_->top);
        area.right = std::min(area.right, clip_->right);
        area.bottom = std::min(area.bottom, clip_->bottom);
    }
    if (area.left >= area.right || area.top >= area.bottom)
        return {};
    return area;
}

void Surface::preparePainter(QPainter& painter) const {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    if (clip_) {
        const Rect area = drawable();
        painter.setClipRect(QRect(area.left, area.top, area.width(), area.height()));
    }
}

void Surface::fillRect(const Rect& rect, Colour colour) {
    const Rect area = drawable();
    if (area.width() <= 0)
        return;
    fillBox(Rows(target()), area, rect.left, rect.top, rect.right, rect.bottom, toPixel(colour));
}

void Surface::line(Colour colour, int width, int x1, int y1, int x2, int y2) {
    const Rect area = drawable();
    if (area.width() <= 0)
        return;
    const Rows rows(target());
    if (width <= 1)
        thinLine(rows, area, x1, y1, x2, y2, toPixel(colour));
    else
        wideLine(rows, area, width, x1, y1, x2, y2, toPixel(colour));
}

void Surface::polyline(Colour colour, int width, const Point* points, int count) {
    if (points == nullptr || count < 2)
        return;
    const Rect area = drawable();
    if (area.width() <= 0)
        return;
    const Rows rows(target());
    const Pixel pixel = toPixel(colour);
    for (int i = 0; i + 1 < count; ++i) {
        const Point& a = points[i];
        const Point& b = points[i + 1];
        if (width <= 1) {
            thinLine(rows, area, a.x, a.y, b.x, b.y, pixel);
            continue;
        }
        wideLine(rows, area, width, a.x, a.y, b.x, b.y, pixel);
        // Round joins, so that a bend leaves no notch between two flat ends.
        if (i > 0)
            ellipse(rows, area, a.x + 0.5, a.y + 0.5, width / 2.0, width / 2.0, 1, pixel, pixel, true);
    }
}

namespace {

// Outline and interior of a rectangle; with `cutCorners` the outermost corner pixels stay
// untouched, as a corner rounded by a 3 x 3 ellipse leaves them.
void drawBox(const Rows& rows, const Rect& area, Pixel pen, int penWidth, Pixel fill, Rect rect, bool cutCorners) {
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
    if (rect.left == rect.right || rect.top == rect.bottom)
        return;
    const int64_t width = std::max(1, penWidth);
    const int64_t outward = width / 2;
    const int64_t outerLeft = rect.left - outward;
    const int64_t outerTop = rect.top - outward;
    const int64_t outerRight = rect.right + outward;
    const int64_t outerBottom = rect.bottom + outward;
    const int64_t innerLeft = outerLeft + width;
    const int64_t innerTop = outerTop + width;
    const int64_t innerRight = outerRight - width;
    const int64_t innerBottom = outerBottom - width;
    const int64_t cut = cutCorners && outerRight - outerLeft > 2 ? 1 : 0;
    fillBox(rows, area, outerLeft + cut, outerTop, outerRight - cut, outerTop + 1, pen);
    fillBox(rows, area, outerLeft, outerTop + 1, outerRight, outerBottom - 1, pen);
    if (outerBottom - 1 > outerTop)
        fillBox(rows, area, outerLeft + cut, outerBottom - 1, outerRight - cut, outerBottom, pen);
    if (innerLeft < innerRight && innerTop < innerBottom)
        fillBox(rows, area, innerLeft, innerTop, innerRight, innerBottom, fill);
}

}  // namespace

void Surface::rectangle(Colour pen, int penWidth, Colour fill, const Rect& rect) {
    const Rect area = drawable();
    if (area.width() <= 0)
        return;
    drawBox(Rows(target()), area, toPixel(pen), penWidth, toPixel(fill), rect, false);
}

void Surface::roundRect(Colour pen, int penWidth, Colour fill, const Rect& rect) {
    const Rect area = drawable();
    if (area.width() <= 0)
        return;
    drawBox(Rows(target()), area, toPixel(pen), penWidth, toPixel(fill), rect, true);
}

void Surface::filledCircle(Colour pen, int penWidth, Colour fill, int cx, int cy, int radius) {
    const Rect area = drawable();
    if (area.width() <= 0 || radius <= 0)
        return;
    // The square cx - radius .. cx + radius has its right and bottom edges outside, so the
    // ellipse's centre lies on the corner between four pixels.
    ellipse(Rows(target()), area, cx, cy, radius, radius, std::max(1, penWidth), toPixel(pen), toPixel(fill), true);
}

void Surface::circleOutline(Colour colour, int thickness, int cx, int cy, int radius) {
    if (radius < 0 || radius > kMaxRingRadius || thickness > kMaxRingThickness)
        return;
    const Rect area = drawable();
    if (area.width() <= 0)
        return;
    // Rings that cannot touch the area are skipped without walking them: wholly beside it,
    // or with the whole area inside the hole.
    const int64_t reach = static_cast<int64_t>(radius) + std::max(thickness, 1) + 2;
    if (cx + reach < area.left || cx - reach >= area.right || cy + reach < area.top || cy - reach >= area.bottom)
        return;
    const int64_t hole = static_cast<int64_t>(radius) - std::max(thickness, 1) - 3;
    if (hole > 0) {
        const int64_t farX = std::max(std::llabs(area.left - static_cast<int64_t>(cx)),
                                      std::llabs(area.right - 1 - static_cast<int64_t>(cx)));
        const int64_t farY = std::max(std::llabs(area.top - static_cast<int64_t>(cy)),
                                      std::llabs(area.bottom - 1 - static_cast<int64_t>(cy)));
        if (farX * farX + farY * farY < hole * hole)
            return;
    }
    const Rows rows(target());
    const Pixel pixel = toPixel(colour);
    const int64_t half = thickness >> 1;
    const auto mark = [&](int64_t px, int64_t py) {
        if (thickness < 2)
            setPixel(rows, area, px, py, pixel);
        else
            fillBox(rows, area, px - half, py - half, px - half + thickness, py - half + thickness, pixel);
    };
    int64_t x = 0;
    int64_t y = radius;
    int64_t e = 2 - 2 * static_cast<int64_t>(radius);
    while (y >= 0) {
        mark(cx + x, cy + y);
        mark(cx + x, cy - y);
        mark(cx - x, cy - y);
        mark(cx - x, cy + y);
        if (e < 0 && 2 * (e + y) - 1 <= 0) {
            ++x;
            e += 2 * x + 1;
        } else if (e > 0 && 2 * (e - x) - 1 > 0) {
            --y;
            e += 1 - 2 * y;
        } else {
            // e measures the diagonal neighbour (x + 1, y - 1): a diagonal step adds
            // 2(x - y) + 4 with x already increased; without the 4 rings come out oval,
            // up to 1.6 pixels wide at the sides.
            ++x;
            e += 2 * (x - y) + 4;
            --y;
        }
    }
}

void Surface::setClip(const Rect& rect) {
    Rect clip = rect;
    if (clip.left > clip.right)
        std::swap(clip.left, clip.right);
    if (clip.top > clip.bottom)
        std::swap(clip.top, clip.bottom);
    clip_ = clip;
}

void Surface::clearClip() { clip_.reset(); }

Size Surface::measureText(const Font& font, std::wstring_view text) const {
    if (text.empty())
        return {};
    const QString string = QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics metrics(font.qfont());
    int width = 0;
    const int lines = forEachLine(string, [&](int, qsizetype start, qsizetype length) {
        const int advance = start == 0 && length == string.size() ? metrics.horizontalAdvance(string)
                                                                   : metrics.horizontalAdvance(string.mid(start, length));
        width = std::max(width, advance);
    });
    return {width, lines * font.lineHeight()};
}

void Surface::drawText(const Font& font, std::wstring_view text, int x, int y, Colour colour) {
    if (text.empty())
        return;
    const Rect area = drawable();
    if (area.width() <= 0)
        return;
    const QString string = QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
    if (font.angle() == 0) {
        // A text far beside the area costs nothing; glyphs may reach a little past their
        // box, hence the margin.
        const int64_t margin = font.lineHeight();
        const int64_t lines = std::count(text.begin(), text.end(), L'\n') + std::count(text.begin(), text.end(), L'\r');
        if (x - margin >= area.right || y - margin >= area.bottom ||
            y + (lines + 1) * static_cast<int64_t>(font.lineHeight()) + margin <= area.top)
            return;
        if (x < area.left && x + static_cast<int64_t>(measureText(font, text).width) + margin <= area.left)
            return;
    }
    QPainter painter(&target());
    preparePainter(painter);
    painter.setFont(font.qfont());
    painter.setPen(toQColor(colour));
    QPointF origin(x, y);
    if (font.angle() != 0) {
        painter.translate(origin);
        painter.rotate(-font.angle());  // counter-clockwise on the screen
        origin = QPointF(0, 0);
    }
    forEachLine(string, [&](int line, qsizetype start, qsizetype length) {
        if (length == 0)
            return;
        const QPointF baseline(origin.x(), origin.y() + font.ascent() + static_cast<double>(line) * font.lineHeight());
        if (start == 0 && length == string.size())
            painter.drawText(baseline, string);
        else
            painter.drawText(baseline, string.mid(start, length));
    });
}

std::unique_ptr<Font> Surface::createFont(std::string_view face, int height, int angleDegrees) const {
    return std::make_unique<Font>(std::string(face), height, angleDegrees);
}

void Surface::applyMirrorAndRotation() {
    if (main_.isNull())
        return;
    const int width = main_.width();
    const int height = main_.height();
    if (mirror_) {
        const Rows rows(main_);
        for (int y = 0; y < height; ++y)
            std::reverse(rows[y], rows[y] + width);
    }
    if (rotate_ && turned_.width() == height && turned_.height() == width) {
        // Screen pixel (x, y) goes to (height - 1 - y, x): a quarter turn clockwise. Walked
        // in tiles so that both buffers are read and written in cache-sized pieces.
        constexpr int kTile = 32;
        const Rows from(main_);
        const Rows to(turned_);
        for (int tileY = 0; tileY < height; tileY += kTile) {
            const int endY = std::min(height, tileY + kTile);
            for (int tileX = 0; tileX < width; tileX += kTile) {
                const int endX = std::min(width, tileX + kTile);
                for (int y = tileY; y < endY; ++y) {
                    const Pixel* source = from[y];
                    const int column = height - 1 - y;
                    for (int x = tileX; x < endX; ++x)
                        to[x][column] = source[x];
                }
            }
        }
        target_ = &turned_;
    }
}

void Surface::present() {
    if (window_ != nullptr) {
        const Size client = window_->clientSize();
        const QImage& frame = target();
        // The window's logical size; never more than the frame holds, should the window
        // have changed since the last sizing.
        const Size source{std::min(logicalPixels(client.width, window_->dpiX()), frame.width()),
                          std::min(logicalPixels(client.height, window_->dpiY()), frame.height())};
        if (!frame.isNull() && source.width > 0 && source.height > 0)
            window_->presentFrame(frame, source);
    }
    target_ = &main_;
}

}  // namespace movira
