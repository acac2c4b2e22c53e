#include "display/TableWidget.h"

#include "core/AppCore.h"
#include "display/ColourSetting.h"
#include "display/PageSettings.h"
#include "display/Surface.h"
#include "display/WidgetManager.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>

namespace movira {

namespace {

constexpr char Comment[] = "Настройки виджета таблицы";

// Copies a text of the model into a cell's buffer when it differs from what the buffer
// holds (cut to the buffer); false when it was the same.
bool copyIfChanged(wchar_t (&buffer)[Sensor::TextSize], const wchar_t* text) {
    constexpr size_t Max = Sensor::TextSize - 1;
    if (std::wcsncmp(buffer, text, Max) == 0) return false;
    std::wcsncpy(buffer, text, Max);
    buffer[Max] = L'\0';
    return true;
}

}  // namespace

TableWidget::TableWidget(AppCore& core, WidgetManager& manager) : Widget(core, manager, L"Таблица") {}

void TableWidget::createOwnButtons() { fillArrowBar(); }

TableWidget::Columns TableWidget::columns(int pageWidth, int cells) {
    const int usable = pageWidth - ScrollBarWidth;
    const int count = usable / MinColumnWidth;
    if (count <= 0) return {};
    const int rows = cells > 0 ? (cells + count - 1) / count : 0;
    return {count, usable / count, rows};
}

TableWidget::Thumb TableWidget::thumb(int pageHeight, int contentHeight, int offset) {
    // Nothing to show the place of: no thumb rather than a division by zero.
    if (contentHeight <= 0 || pageHeight <= 0) return {};
    const double scale = static_cast<double>(pageHeight) / contentHeight;
    const double top = std::trunc(static_cast<double>(offset) * scale);
    const double bottom = std::trunc(top + pageHeight * scale);
    // All cells on the page give a thumb longer than the track: it fills the track.
    const auto inTrack = [pageHeight](double y) {
        return static_cast<int>(std::clamp(y, 0.0, static_cast<double>(pageHeight)));
    };
    return {inTrack(top), inTrack(bottom)};
}

int TableWidget::scrollOffset() {
    auto frame = manager().lockFrame();
    return scrollOffset_;
}

int TableWidget::contentHeight() {
    auto frame = manager().lockFrame();
    return contentHeight_;
}

void TableWidget::readCells() {
    auto model = core().model();
    const SensorSet& sensors = model->sensors;
    const size_t count = static_cast<size_t>(std::max(0, sensors.count()));
    if (cells_.size() != count) cells_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const Sensor* sensor = sensors.at(static_cast<int>(i));
        if (!sensor) continue;
        Cell& cell = cells_[i];
        const bool caption = copyIfChanged(cell.caption, sensor->caption());
        const bool value = copyIfChanged(cell.value, sensor->text());
        if (caption || value) cell.measured = false;
    }
}

void TableWidget::measure(Surface& surface, Cell& cell, int columnWidth) {
    if (cell.measured && cell.columnWidth == columnWidth) return;
    cell.captionSize = surface.measureText(*smallFont_, cell.caption);
    // The value loses characters at its end until it is narrower than the column. A prefix
    // is never narrower than a shorter one, so the longest that fits is found by halving.
    const std::wstring_view value(cell.value);
    const auto width = [&](size_t length) {
        return length == 0 ? 0 : surface.measureText(*bigFont_, value.substr(0, length)).width;
    };
    size_t length = value.size();
    Size size = length > 0 ? surface.measureText(*bigFont_, value) : Size{};
    if (length > 0 && size.width >= columnWidth) {
        size_t fits = 0;              // the empty text always "fits"
        size_t tooWide = length;      // the whole text does not
        while (tooWide - fits > 1) {
            const size_t middle = fits + (tooWide - fits) / 2;
            if (width(middle) < columnWidth) {
                fits = middle;
            } else {
                tooWide = middle;
            }
        }
        length = fits;
        size = length > 0 ? surface.measureText(*bigFont_, value.substr(0, length)) : Size{};
    }
    cell.valueLength = static_cast<int>(length);
    // An empty value still takes one line of the big font.
    cell.valueSize = length > 0 ? size : Size{0, emptyValueHeight_};
    cell.columnWidth = columnWidth;
    cell.measured = true;
}

void TableWidget::paint(Surface& surface, const Rect& r) {
    surface.fillRect(r, backgroundColour_);
    rotated_ = surface.rotate();
    if (!smallFont_) smallFont_ = surface.createFont(smallFontName_, smallTextSize_, 0);
    if (!bigFont_) {
        bigFont_ = surface.createFont(bigFontName_, bigTextSize_, 0);
        emptyValueHeight_ = surface.measureText(*bigFont_, L"O").height;
    }
    readCells();

    const int pageHeight = r.height();
    const int count = static_cast<int>(cells_.size());
    const Columns layout = columns(r.width(), count);
    // The offset a drag left is limited by what the last frame measured, so that the cells
    // never run past their end, not even for one frame.
    int offset = std::clamp(scrollOffset_, 0, std::max(0, contentHeight_ - pageHeight));
    int64_t content = 0;

    // Captions wider than their column stay on this page during a slide.
    surface.setClip(r);
    int index = 0;
    for (int column = 0; column < layout.count && index < count; ++column) {
        const int left = r.left + column * layout.width;
        const int right = left + layout.width;
        const int centre = (left + right) / 2;
        int64_t y = static_cast<int64_t>(r.top) - offset;
        int64_t height = 0;
        for (int row = 0; row < layout.rows && index < count; ++row, ++index) {
            Cell& cell = cells_[static_cast<size_t>(index)];
            measure(surface, cell, layout.width);
            const int captionHeight = cell.captionSize.height;
            const int cellHeight = captionHeight + cell.valueSize.height;
            if (r.top < y + cellHeight && y < r.bottom) {
                const int top = static_cast<int>(y);
                // Colours change from cell to cell down a column but not from a column to the
                // next: an even number of rows gives a checkerboard.
                const bool second = (static_cast<int64_t>(column) * (layout.rows - 1) + row) % 2 != 0;
                surface.roundRect(labelColour_, 1, second ? labelColour_ : labelColour2_,
                                  {left, top, right, top + cellHeight});
                surface.drawText(*smallFont_, cell.caption, centre - cell.captionSize.width / 2, top,
                                 smallTextColour_);
                if (cell.valueLength > 0) {
                    surface.drawText(*bigFont_, std::wstring_view(cell.value, static_cast<size_t>(cell.valueLength)),
                                     centre - cell.valueSize.width / 2, top + captionHeight, bigTextColour_);
                }
            }
            y += cellHeight;
            height += cellHeight;
        }
        content = std::max(content, height);
    }
    surface.clearClip();

    contentHeight_ = static_cast<int>(std::min<int64_t>(content, INT_MAX));
    offset = std::min(offset, std::max(0, contentHeight_ - pageHeight));
    scrollOffset_ = offset;
    drawScrollBar(surface, r);
}

void TableWidget::drawScrollBar(Surface& surface, const Rect& r) {
    const int left = r.right - ScrollBarWidth;
    surface.fillRect({left, r.top, r.right, r.bottom}, scrollBackgroundColour_);
    const Thumb bar = thumb(r.height(), contentHeight_, scrollOffset_);
    if (bar.bottom > bar.top) surface.fillRect({left, r.top + bar.top, r.right, r.top + bar.bottom}, scrollLineColour_);
}

void TableWidget::onMouseDown(Point point) {
    {
        auto frame = manager().lockFrame();
        offsetAtDown_ = scrollOffset_;
    }
    dragging_ = true;
    dragStart_ = point;
    Widget::onMouseDown(point);
}

void TableWidget::onMouseUp(Point point) {
    dragging_ = false;
    Widget::onMouseUp(point);
}

void TableWidget::onMouseMove(Point point) {
    if (!dragging_) {
        Widget::onMouseMove(point);
        return;
    }
    const int64_t dx = static_cast<int64_t>(point.x) - dragStart_.x;
    const int64_t dy = static_cast<int64_t>(point.y) - dragStart_.y;
    // Turned, the page's top is at the screen's right: a drag to the right moves the cells up.
    const bool rotated = rotated_;
    const int64_t along = rotated ? dx : -dy;
    const int64_t across = rotated ? dy : dx;
    if (std::llabs(across) >= std::llabs(along)) {
        Widget::onMouseMove(point);  // a page swipe
        return;
    }
    const int64_t offset = std::clamp<int64_t>(offsetAtDown_ + along, INT_MIN, INT_MAX);
    {
        auto frame = manager().lockFrame();
        scrollOffset_ = static_cast<int>(offset);
    }
    core().requestRepaint();
    Widget::onMouseMove(point);  // ignores a move along the scroll axis
}

void TableWidget::saveSettings(IniFile& ini) {
    const char* section = className();
    const auto put = [&](const char* key, const std::string& value) { ini.setValue(key, value, section); };
    put("Comment", Comment);
    put("BackGroundColor", ColourSetting::toText(backgroundColour_));
    put("BackGroundColorLabel", ColourSetting::toText(labelColour_));
    put("BackGroundColorLabel2", ColourSetting::toText(labelColour2_));
    put("BackGroundColorScroll", ColourSetting::toText(scrollBackgroundColour_));
    put("ScrollLineColor", ColourSetting::toText(scrollLineColour_));
    put("SmallTextColor", ColourSetting::toText(smallTextColour_));
    put("BigTextColor", ColourSetting::toText(bigTextColour_));
    put("SmallTextSize", std::to_string(smallTextSize_));
    put("BigTextSize", std::to_string(bigTextSize_));
    put("SmallTextFontName", smallFontName_);
    put("BigTextFontName", bigFontName_);
}

void TableWidget::loadSettings(const IniFile& ini) {
    const char* section = className();
    const auto colour = [&](const char* key, Colour& value) {
        value = ColourSetting::fromText(ini.getValue(key, section), value);
    };
    colour("BackGroundColor", backgroundColour_);
    colour("BackGroundColorLabel", labelColour_);
    colour("BackGroundColorLabel2", labelColour2_);
    colour("BackGroundColorScroll", scrollBackgroundColour_);
    colour("ScrollLineColor", scrollLineColour_);
    colour("SmallTextColor", smallTextColour_);
    colour("BigTextColor", bigTextColour_);
    PageSettings::readFontSize(ini, "SmallTextSize", section, smallTextSize_);
    PageSettings::readFontSize(ini, "BigTextSize", section, bigTextSize_);
    PageSettings::readFace(ini, "SmallTextFontName", section, smallFontName_);
    PageSettings::readFace(ini, "BigTextFontName", section, bigFontName_);
}

}  // namespace movira
