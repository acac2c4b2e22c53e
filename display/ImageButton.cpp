#include "display/ImageButton.h"

namespace movira {

ImageButton::ImageButton(int command, const std::string& iconPath) {
    auto icon = std::make_unique<Image>();
    // Without its picture the cell is empty: nothing shows where to tap, so a tap there
    // must not do anything either.
    if (!icon->load(iconPath)) return;
    icon_ = std::move(icon);
    command_ = command;
}

}  // namespace movira
