// Sizes for controls that a finger works on a car screen.
#pragma once

class QWidget;

namespace movira {

class Fingers {
public:
    static constexpr int MinimumHeight = 40;  // pixels: the smallest control a fingertip hits
    // At least MinimumHeight high; the accessible name is the visible label when one is given.
    static void fit(QWidget* control);
    // Style for the dialogs: tabs, list rows, check marks and radio marks a finger can hit.
    static const char* styleSheet();
};

}  // namespace movira
