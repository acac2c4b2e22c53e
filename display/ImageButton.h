// One cell of a button bar: an icon that posts a command to the main window when tapped.
// A cell without a command is empty: it takes its share of the bar and does nothing.
// Reached under the widget manager's frame lock.
#pragma once

#include "display/Image.h"

#include <memory>
#include <string>

namespace movira {

class ImageButton {
public:
    // Loads the icon; a picture that cannot be loaded leaves an empty cell (no icon, no command).
    ImageButton(int command, const std::string& iconPath);
    // An empty cell.
    ImageButton() = default;

    int command() const { return command_; }
    // Null for an empty cell or when the picture could not be loaded.
    const Image* icon() const { return icon_.get(); }
    bool pressed() const { return pressed_; }
    void setPressed(bool pressed) { pressed_ = pressed; }

private:
    int command_ = 0;
    std::unique_ptr<Image> icon_;
    bool pressed_ = false;
};

}  // namespace movira
