#include "display/Widget.h"

#include "core/AppCore.h"
#include "core/UserCommand.h"
#include "display/ScreenWindow.h"
#include "display/Surface.h"
#include "display/WidgetManager.h"

#include <cstdlib>
#include <vector>

namespace movira {
namespace {

constexpr float kMinShift = 0.15f;  // any qualifying drag moves the page this far
constexpr float kMaxTravel = 0.7f;  // beyond this the page no longer follows the finger

}  // namespace

Widget::Widget(AppCore& core, WidgetManager& manager, std::wstring title)
    : core_(core),
      manager_(manager),
      title_(std::move(title)),
      commonBar_(manager.countdowns(), ButtonEdge::Top),
      ownBar_(manager.countdowns(), ButtonEdge::Bottom) {}

std::string Widget::picturePath(const char* name) const {
    return core_.programFolder() + "/Pics/" + name + ".png";
}

void Widget::createBaseButtons() {
    {
        auto frame = manager_.lockFrame();
        if (!commonBar_.isEmpty()) return;
    }
    // Pictures are read outside the frame lock; the bar is filled in one step.
    std::vector<std::unique_ptr<ImageButton>> cells;
    cells.push_back(std::make_unique<ImageButton>(UserCommand::ResetAll, picturePath("BtnResetAll")));
    if (core_.isSmsAvailable()) {
        cells.push_back(std::make_unique<ImageButton>(UserCommand::SendSms, picturePath("BtnSMS")));
    } else {
        cells.push_back(std::make_unique<ImageButton>());
    }
    cells.push_back(std::make_unique<ImageButton>(UserCommand::ShowOptions, picturePath("BtnOptions")));
    cells.push_back(std::make_unique<ImageButton>(UserCommand::FlipHor, picturePath("BtnFlipHor")));
    cells.push_back(std::make_unique<ImageButton>(UserCommand::RotateScreen, picturePath("BtnRotateScreen")));
    cells.push_back(std::make_unique<ImageButton>(UserCommand::CloseApp, picturePath("BtnClose")));
    auto frame = manager_.lockFrame();
    if (!commonBar_.isEmpty()) return;
    for (auto& cell : cells) commonBar_.append(std::move(cell));
}

void Widget::fillOwnBar(std::initializer_list<std::pair<int, const char*>> cells) {
    {
        auto frame = manager_.lockFrame();
        if (!ownBar_.isEmpty()) return;
    }
    std::vector<std::unique_ptr<ImageButton>> made;
    for (const auto& [command, picture] : cells) {
        if (command == 0 || !picture) {
            made.push_back(std::make_unique<ImageButton>());
        } else {
            made.push_back(std::make_unique<ImageButton>(command, picturePath(picture)));
        }
    }
    auto frame = manager_.lockFrame();
    if (!ownBar_.isEmpty()) return;
    for (auto& cell : made) ownBar_.append(std::move(cell));
}

void Widget::fillArrowBar() {
    fillOwnBar({{UserCommand::PrevWidget, "BtnLeft"},
                {0, nullptr},
                {0, nullptr},
                {0, nullptr},
                {0, nullptr},
                {UserCommand::NextWidget, "BtnRight"}});
}

void Widget::paintButtons(Surface& surface) {
    const ScreenWindow* window = manager_.window();
    if (!window || !window->isShown()) return;
    commonBar_.paint(surface);
    ownBar_.paint(surface);
    rotated_ = surface.rotate();
}

void Widget::attach() {
    createBaseButtons();
    createOwnButtons();
    const ScreenWindow* window = manager_.window();
    if (!window || !window->isShown()) return;
    const Size client = window->clientSize();
    auto frame = manager_.lockFrame();
    manager_.layoutBars(client);
}

void Widget::layoutBars(Size client) {
    const bool landscape = client.height < client.width;
    commonBar_.setEdge(landscape ? ButtonEdge::Left : ButtonEdge::Top);
    ownBar_.setEdge(landscape ? ButtonEdge::Right : ButtonEdge::Bottom);
}

ImageButton* Widget::hitButton(Point point) {
    const ScreenWindow* window = manager_.window();
    if (!window || !window->isShown()) return nullptr;
    const Size client = window->clientSize();
    const int dpi = window->dpiX();
    if (const int cell = commonBar_.hitTest(point, client, dpi); cell >= 0) return &commonBar_.at(cell);
    if (const int cell = ownBar_.hitTest(point, client, dpi); cell >= 0) return &ownBar_.at(cell);
    return nullptr;
}

int Widget::ownBarCellAt(Point point) {
    auto frame = manager_.lockFrame();
    const ScreenWindow* window = manager_.window();
    if (!window || !window->isShown()) return -1;
    const Size client = window->clientSize();
    const int dpi = window->dpiX();
    if (commonBar_.hitTest(point, client, dpi) >= 0) return -1;
    return ownBar_.hitTest(point, client, dpi);
}

void Widget::onMouseDown(Point point) {
    fingerDown_ = true;
    downPoint_ = point;
    downIndex_ = manager_.currentIndex();
    {
        auto frame = manager_.lockFrame();
        if (ImageButton* button = hitButton(point)) button->setPressed(true);
    }
    core_.requestRepaint();
}

void Widget::onMouseUp(Point point) {
    fingerDown_ = false;
    int command = 0;
    {
        auto frame = manager_.lockFrame();
        commonBar_.clearPressed();
        ownBar_.clearPressed();
        if (ImageButton* button = hitButton(point)) command = button->command();
    }
    core_.requestRepaint();
    if (command != 0) {
        core_.postCommand(command);
        showButtons();
    }
}

void Widget::onMouseMove(Point point) {
    if (!fingerDown_) return;
    if (commonBar_.isVisible() || ownBar_.isVisible()) return;  // buttons first, pages after
    const ScreenWindow* window = manager_.window();
    if (!window) return;
    const Size client = window->clientSize();
    const int dx = point.x - downPoint_.x;
    const int dy = point.y - downPoint_.y;
    int d = 0;
    int extent = 0;
    if (!rotated_ && std::abs(dx) > std::abs(dy)) {
        d = dx;
        extent = client.width;
    } else if (rotated_ && std::abs(dy) > std::abs(dx)) {
        d = dy;
        extent = client.height;
    } else {
        return;
    }
    if (extent <= 0) return;
    float offset = std::min(static_cast<float>(std::abs(d)) / static_cast<float>(extent), kMaxTravel) + kMinShift;
    if (d > 0) offset = -offset;
    manager_.setPosition(static_cast<float>(downIndex_) + offset);
    core_.requestRepaint();
}

void Widget::onDoubleClick() {
    // One rule for both bars: a bar that is still visible (its edge's countdown was kept
    // alive by a tap) makes the double tap hide, never show.
    if (commonBar_.isVisible() || ownBar_.isVisible()) {
        commonBar_.hide();
        ownBar_.hide();
    } else {
        showButtons();
    }
}

void Widget::showButtons() {
    commonBar_.show();
    ownBar_.show();
}

}  // namespace movira
