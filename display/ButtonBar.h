// A row of image buttons along one screen edge, 40 logical pixels thick, whose cells
// share the edge's length. Visibility belongs to the edge (BarCountdowns).
// Buttons are appended on the GPS thread and walked by the paint and UI threads, always
// under the widget manager's frame lock. The edge is laid out under that lock too (GPS and
// UI threads) but read without it (visibility on the UI thread): it is atomic.
#pragma once

#include "display/BarCountdowns.h"
#include "display/Geometry.h"
#include "display/ImageButton.h"

#include <atomic>
#include <memory>
#include <vector>

namespace movira {

class Surface;

class ButtonBar {
public:
    static constexpr int Thickness = 40;  // logical pixels

    explicit ButtonBar(BarCountdowns& countdowns, ButtonEdge edge = ButtonEdge::Top)
        : countdowns_(countdowns), edge_(edge) {}

    void append(std::unique_ptr<ImageButton> button) { buttons_.push_back(std::move(button)); }
    bool isEmpty() const { return buttons_.empty(); }
    int count() const { return static_cast<int>(buttons_.size()); }
    ImageButton& at(int index) { return *buttons_[index]; }
    const ImageButton& at(int index) const { return *buttons_[index]; }

    ButtonEdge edge() const { return edge_; }
    void setEdge(ButtonEdge edge) { edge_ = edge; }
    bool isVisible() const { return countdowns_.isVisible(edge_); }
    void show() { countdowns_.show(edge_); }
    void hide() { countdowns_.hide(edge_); }

    // Cell length along the edge in device pixels: (edge length - n + 1) / n.
    int cellLength(Size client) const { return cellLength(client, edge_); }
    // Where cell `index` is drawn, in logical pixels of a buffer of the client's shape.
    Rect cellRect(int index, Size client, int dpiX, int dpiY) const { return cellRect(index, client, dpiX, dpiY, edge_); }
    // Draws a visible bar into the surface's current buffer, then steps the countdown.
    void paint(Surface& surface);
    // The cell under a point in client device pixels, or -1. A tap on a visible bar
    // restarts its countdown.
    int hitTest(Point point, Size client, int dpiX);
    void clearPressed();

private:
    // With the edge read once, so that one painting or hit test sees one edge.
    int cellLength(Size client, ButtonEdge edge) const;
    Rect cellRect(int index, Size client, int dpiX, int dpiY, ButtonEdge edge) const;

    BarCountdowns& countdowns_;
    std::vector<std::unique_ptr<ImageButton>> buttons_;
    std::atomic<ButtonEdge> edge_;
};

}  // namespace movira
