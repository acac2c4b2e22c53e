// A font made by Surface::createFont: a face, a cell height in logical pixels and an
// angle. The face name "LCD" stands for the family of the program's lcd-u.ttf.
#pragma once

#include <QFont>

#include <string>

namespace movira {

class Font {
public:
    // `height` above 0 is the cell height (at most 4096), below 0 the character height
    // (the pixel size), 0 the usual 12-pixel text.
    Font(const std::string& face, int height, int angleDegrees);

    const QFont& qfont() const { return font_; }
    int height() const { return height_; }
    int angle() const { return angle_; }
    // What the chosen QFont really measures: the cell height of one line (ascent plus
    // descent, as close to a positive `height` as the font allows without exceeding it)
    // and the ascent above the baseline.
    int lineHeight() const { return lineHeight_; }
    int ascent() const { return ascent_; }

    // The family that a face name of the pages stands for ("LCD" for the registered
    // lcd-u.ttf); any thread, after start-up.
    static void mapFace(const std::string& face, const QString& family);
    static QString familyOf(const std::string& face);

private:
    QFont font_;
    int height_;
    int angle_;
    int lineHeight_ = 0;
    int ascent_ = 0;
};

}  // namespace movira
