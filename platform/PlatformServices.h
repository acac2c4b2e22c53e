// The platform services the model uses, handed to the core at construction.
// The program passes the real ones; tests pass fakes.
#pragma once

#include <string>

namespace movira {

class Battery;
class Clock;
class FontRegistry;
class ScreenKeeper;
class SoundPlayer;

struct PlatformServices {
    const Clock& clock;
    ScreenKeeper& screenKeeper;
    const Battery& battery;
    std::string programFolder;  // beside the program: libraries, pictures, sounds, font
    FontRegistry* fontRegistry = nullptr;  // where the "LCD" face is registered; none in model tests
    SoundPlayer* soundPlayer = nullptr;    // plays the alarm sounds; none means silence
};

}  // namespace movira
