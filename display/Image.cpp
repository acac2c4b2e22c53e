#include "display/Image.h"

#include "display/Surface.h"

#include <QString>

#include <algorithm>
#include <cstdint>

namespace movira {

namespace {

using Pixel = uint16_t;

// Premultiplied 0xAARRGGBB to the buffers' 0RRRRRGGGGGBBBBB, alpha dropped.
Pixel toPixel(uint32_t argb) {
    return static_cast<Pixel>(((argb >> 9) & 0x7C00) | ((argb >> 6) & 0x03E0) | ((argb >> 3) & 0x001F));
}

int expand5(int value) { return (value << 3) | (value >> 2); }

// Nearest-neighbour sampling of `sourceLength` pixels stretched over `targetLength`: the
// source index under the centre of each target pixel, walked without a division per step.
class Sampler {
public:
    Sampler(int64_t targetOffset, int64_t targetLength, int64_t sourceLength)
        : denominator_(2 * targetLength),
          stepWhole_((2 * sourceLength) / denominator_),
          stepRest_((2 * sourceLength) % denominator_) {
        const __int128 position = static_cast<__int128>(2 * targetOffset + 1) * sourceLength;
        index_ = static_cast<int64_t>(position / denominator_);
        rest_ = static_cast<int64_t>(position % denominator_);
    }
    int64_t index() const { return index_; }
    void next() {
        index_ += stepWhole_;
        rest_ += stepRest_;
        if (rest_ >= denominator_) {
            rest_ -= denominator_;
            ++index_;
        }
    }

private:
    int64_t denominator_;
    int64_t stepWhole_;
    int64_t stepRest_;
    int64_t index_ = 0;
    int64_t rest_ = 0;
};

// Calls draw(targetRow, sourceRow, firstX, endX, sampler) for each row of `target` that the
// surface may change; the sampler starts at firstX.
template <class Draw>
void forEachStretchedRow(const QImage& picture, Surface& surface, const Rect& target, const Rect& area,
                         Draw&& draw) {
    const int64_t targetWidth = static_cast<int64_t>(target.right) - target.left;
    const int64_t targetHeight = static_cast<int64_t>(target.bottom) - target.top;
    if (picture.isNull() || targetWidth <= 0 || targetHeight <= 0 || area.width() <= 0)
        return;
    const int64_t firstX = std::max<int64_t>(target.left, area.left);
    const int64_t endX = std::min<int64_t>(target.right, area.right);
    const int64_t firstY = std::max<int64_t>(target.top, area.top);
    const int64_t endY = std::min<int64_t>(target.bottom, area.bottom);
    if (firstX >= endX || firstY >= endY)
        return;
    QImage& buffer = surface.target();
    uchar* bits = buffer.bits();
    const qsizetype stride = buffer.bytesPerLine();
    Sampler rows(firstY - target.top, targetHeight, picture.height());
    for (int64_t y = firstY; y < endY; ++y, rows.next()) {
        const auto* source = reinterpret_cast<const uint32_t*>(picture.constScanLine(static_cast<int>(rows.index())));
        auto* row = reinterpret_cast<Pixel*>(bits + y * stride);
        draw(row, source, firstX, endX, Sampler(firstX - target.left, targetWidth, picture.width()));
    }
}

}  // namespace

bool Image::load(const std::string& path) {
    release();
    QImage decoded;
    if (!decoded.load(QString::fromStdString(path)) || decoded.isNull())
        return false;
    decoded.convertTo(QImage::Format_ARGB32);
    if (decoded.isNull())
        return false;
    // Each colour times alpha, shifted right by 8: a division by 256, so that opaque 255
    // becomes 254, and alpha 0 gives black.
    for (int y = 0; y < decoded.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(decoded.scanLine(y));
        for (int x = 0; x < decoded.width(); ++x) {
            const uint32_t pixel = row[x];
            const uint32_t alpha = pixel >> 24;
            const uint32_t red = (((pixel >> 16) & 0xFF) * alpha) >> 8;
            const uint32_t green = (((pixel >> 8) & 0xFF) * alpha) >> 8;
            const uint32_t blue = ((pixel & 0xFF) * alpha) >> 8;
            row[x] = (alpha << 24) | (red << 16) | (green << 8) | blue;
        }
    }
    decoded.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    pixels_ = std::move(decoded);
    return true;
}

Size Image::size() const { return {pixels_.width(), pixels_.height()}; }

void Image::drawOpaque(Surface& surface, const Rect& target) const {
    forEachStretchedRow(pixels_, surface, target, surface.drawable(),
                        [](Pixel* row, const uint32_t* source, int64_t firstX, int64_t endX, Sampler columns) {
                            for (int64_t x = firstX; x < endX; ++x, columns.next())
                                row[x] = toPixel(source[columns.index()]);
                        });
}

void Image::drawBlended(Surface& surface, const Rect& target, int alpha) const {
    const int constant = std::clamp(alpha, 0, 255);
    if (constant == 0)
        return;
    forEachStretchedRow(
        pixels_, surface, target, surface.drawable(),
        [constant](Pixel* row, const uint32_t* source, int64_t firstX, int64_t endX, Sampler columns) {
            for (int64_t x = firstX; x < endX; ++x, columns.next()) {
                const uint32_t pixel = source[columns.index()];
                const int pixelAlpha = static_cast<int>(pixel >> 24);
                if (pixelAlpha == 0)
                    continue;
                if (pixelAlpha == 255 && constant == 255) {
                    row[x] = toPixel(pixel);
                    continue;
                }
                // Source over with premultiplied colours: the picture's colours and alpha
                // scaled by the constant alpha, the background kept by what alpha leaves.
                const int alphaScaled = (pixelAlpha * constant + 127) / 255;
                const int keep = 255 - alphaScaled;
                const Pixel background = row[x];
                const auto blend = [&](int sourceValue, int backgroundValue) {
                    const int value = (sourceValue * constant + 127) / 255 + (backgroundValue * keep + 127) / 255;
                    return std::min(value, 255) >> 3;
                };
                const int red = blend((pixel >> 16) & 0xFF, expand5((background >> 10) & 31));
                const int green = blend((pixel >> 8) & 0xFF, expand5((background >> 5) & 31));
                const int blue = blend(pixel & 0xFF, expand5(background & 31));
                row[x] = static_cast<Pixel>((red << 10) | (green << 5) | blue);
            }
        });
}

}  // namespace movira
