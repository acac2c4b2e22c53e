#include "display/ImageButton.h"

namespace movira {

ImageButton::ImageButton(int command, const std::string& iconPath) : command_(command) {
    auto icon = std::make_unique<Image>();
    if (icon->load(iconPath)) icon_ = std::move(icon);
}

}  // namespace movira
