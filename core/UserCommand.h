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
    ZoomIn = 9,
    ZoomOut = 10,
    ZoomAuto = 12,
    CenterPos = 13,
    Repaint = 14,
    VeloMode = 15,
    SlowMode = 16,
    RaceMode = 17,
    PlaneMode = 18,
};

}  // namespace movira
