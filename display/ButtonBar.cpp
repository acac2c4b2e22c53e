#include "display/ButtonBar.h"

#include "display/Surface.h"

#include <algorithm>

namespace movira {
namespace {

constexpr Colour kPressedColour = 0x0080FF;  // orange

bool isHorizontal(ButtonEdge edge) { return edge == ButtonEdge::Top || edge == ButtonEdge::Bottom; }

int toLogical(int devicePixels, int dpi) { return dpi > 0 ? devicePixels * 96 / dpi : devicePixels; }

}  // namespace

int ButtonBar::cellLength(Size client, ButtonEdge edge) const {
    const int n = count();
    if (n == 0) return 0;
    const int edgeLength = isHorizontal(edge) ? client.width : client.height;
    return std::max(0, (edgeLength - n + 1) / n);
}

Rect ButtonBar::cellRect(int index, Size client, int dpiX, int dpiY, ButtonEdge edge) const {
    const int width = toLogical(client.width, dpiX);
    const int height = toLogical(client.height, dpiY);
    const int length = toLogical(cellLength(client, edge), isHorizontal(edge) ? dpiX : dpiY);
    const int offset = index * length;
    switch (edge) {
    case ButtonEdge::Top: return {offset, 0, offset + length, Thickness};
    case ButtonEdge::Bottom: return {offset, height - Thickness, offset + length, height};
    case ButtonEdge::Left: return {0, height - offset - length, Thickness, height - offset};
    case ButtonEdge::Right: return {width - Thickness, height - offset - length, width, height - offset};
    }
    return {};
}

void ButtonBar::paint(Surface& surface) {
    const ButtonEdge edge = edge_;
    if (countdowns_.isVisible(edge) && !isEmpty()) {
        const int alpha = countdowns_.alpha(edge);
        for (int i = 0; i < count(); ++i) {
            const ImageButton& button = at(i);
            if (!button.icon()) continue;
            const Rect cell = cellRect(i, surface.clientSize(), surface.dpiX(), surface.dpiY(), edge);
            // Icons keep their proportions, centred in the cell: the cell is long in one
            // orientation and tall in the other.
            const Size iconSize = button.icon()->size();
            const int side = std::min({cell.width(), cell.height(), std::max(iconSize.width, iconSize.height)});
            const int x = cell.left + (cell.width() - side) / 2;
            const int y = cell.top + (cell.height() - side) / 2;
            const Rect place{x, y, x + side, y + side};
            if (button.pressed()) {
                surface.fillRect(cell, kPressedColour);
                button.icon()->drawOpaque(surface, place);
            } else {
                button.icon()->drawBlended(surface, place, alpha);
            }
        }
    }
    countdowns_.step(edge);
}

int ButtonBar::hitTest(Point point, Size client, int dpiX) {
    const ButtonEdge edge = edge_;
    if (!countdowns_.isVisible(edge) || isEmpty()) return -1;
    countdowns_.restart(edge);
    const int length = cellLength(client, edge);
    const int depth = Thickness * (dpiX > 0 ? dpiX : 96) / 96;
    int along = 0;
    int across = 0;
    switch (edge) {
    case ButtonEdge::Top: along = point.x; across = point.y; break;
    case ButtonEdge::Bottom: along = point.x; across = client.height - 1 - point.y; break;
    case ButtonEdge::Left: along = client.height - 1 - point.y; across = point.x; break;
    case ButtonEdge::Right: along = client.height - 1 - point.y; across = client.width - 1 - point.x; break;
    }
    if (across < 0 || across > depth || along < 0) return -1;
    for (int i = 0; i < count(); ++i) {
        const int start = i * (length + 1);
        if (along >= start && along <= start + length) return i;
    }
    return -1;
}

void ButtonBar::clearPressed() {
    for (auto& button : buttons_) button->setPressed(false);
}

}  // namespace movira
