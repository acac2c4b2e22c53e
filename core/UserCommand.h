// The command codes posted to the main window by buttons and by the core.
#pragma once

namespace movira {

enum UserCommand : int {
    PrevWidget = 1,
    NextWidget = 2,
    ResetAll = 3,
    SendSms = 4,
    ShowOptions = 5,
    CloseApp = 6,
    FlipHor = 7,
    RotateScreen = 8,
    Repaint = 14,
};

}  // namespace movira
