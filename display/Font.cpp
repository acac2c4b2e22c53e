#include "display/Font.h"

#include <QFontMetrics>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace movira {

namespace {

// Bounds of a font's cell height in logical pixels: larger requests are treated as this
// (a glyph of many thousand pixels only costs time), 0 asks for the usual text size.
constexpr int kMaxCellHeight = 4096;
constexpr int kDefaultPixelSize = 12;

struct Metrics {
    int pixelSize = 1;
    int lineHeight = 0;
    int ascent = 0;
};

std::mutex& faceMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<std::string, QString>& faces() {
    static std::map<std::string, QString> map;
    return map;
}

QFont makeFont(const QString& family, int pixelSize) {
    QFont font(family);
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(QFont::Normal);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

Metrics measure(const QString& family, int pixelSize) {
    const QFontMetrics metrics(makeFont(family, pixelSize));
    return {std::max(1, pixelSize), metrics.height(), metrics.ascent()};
}

// The largest pixel size whose cell height does not exceed `cellHeight` (pixel size 1 when
// even that is too tall). Pages create fonts on every frame, so the answer is kept per
// family and height.
Metrics fitCellHeight(const QString& family, int cellHeight) {
    static std::mutex mutex;
    static std::map<std::pair<QString, int>, Metrics> cache;
    const auto key = std::make_pair(family, cellHeight);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (const auto found = cache.find(key); found != cache.end())
            return found->second;
    }
    Metrics best = measure(family, cellHeight);
    if (best.lineHeight > cellHeight && best.lineHeight > 0)
        best = measure(family, std::max(1, static_cast<int>(static_cast<int64_t>(best.pixelSize) *
                                                            cellHeight / best.lineHeight)));
    for (int step = 0; step < 64 && best.pixelSize > 1 && best.lineHeight > cellHeight; ++step)
        best = measure(family, best.pixelSize - 1);
    for (int step = 0; step < 64 && best.pixelSize < kMaxCellHeight; ++step) {
        const Metrics larger = measure(family, best.pixelSize + 1);
        if (larger.lineHeight > cellHeight)
            break;
        best = larger;
    }
    std::lock_guard<std::mutex> lock(mutex);
    cache.emplace(key, best);
    return best;
}

}  // namespace

Font::Font(const std::string& face, int height, int angleDegrees) : height_(height), angle_(angleDegrees) {
    const QString family = familyOf(face);
    Metrics metrics;
    if (height > 0) {
        metrics = fitCellHeight(family, std::min(height, kMaxCellHeight));
    } else {
        // A negative height asks for the character height without the internal leading,
        // which is what a pixel size is.
        const int pixelSize = height < 0 ? static_cast<int>(std::min<int64_t>(-static_cast<int64_t>(height),
                                                                              kMaxCellHeight))
                                         : kDefaultPixelSize;
        metrics = measure(family, pixelSize);
    }
    font_ = makeFont(family, metrics.pixelSize);
    lineHeight_ = metrics.lineHeight;
    ascent_ = metrics.ascent;
}

void Font::mapFace(const std::string& face, const QString& family) {
    std::lock_guard<std::mutex> lock(faceMutex());
    faces()[face] = family;
}

QString Font::familyOf(const std::string& face) {
    {
        std::lock_guard<std::mutex> lock(faceMutex());
        if (const auto found = faces().find(face); found != faces().end())
            return found->second;
    }
    return QString::fromStdString(face);
}

}  // namespace movira
