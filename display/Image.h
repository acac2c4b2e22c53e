// A picture from the "Pics" folder, held as 32-bit pixels with premultiplied alpha, drawn
// onto the Surface either opaquely or blended. Loaded by the thread that attaches a page,
// drawn only by the paint thread.
#pragma once

#include "display/Geometry.h"

#include <QImage>

#include <string>

namespace movira {

class Surface;

class Image {
public:
    // Releases what the image held, then reads the PNG file. True when the file could be
    // read as an image.
    bool load(const std::string& path);
    // Width and height; 0 x 0 when empty.
    Size size() const;
    bool isEmpty() const { return pixels_.isNull(); }
    // The whole picture stretched into `target`, colours copied as they are stored
    // (transparent pixels come out black).
    void drawOpaque(Surface& surface, const Rect& target) const;
    // The whole picture stretched into `target` over what is there, with its own
    // transparency and a constant alpha 0..255 on top.
    void drawBlended(Surface& surface, const Rect& target, int alpha) const;
    void release() { pixels_ = QImage(); }
    // Format_ARGB32_Premultiplied; each of blue, green and red was multiplied by alpha
    // and shifted right by 8 at loading (255 with alpha 255 is stored as 254).
    const QImage& pixels() const { return pixels_; }

private:
    QImage pixels_;
};

}  // namespace movira
