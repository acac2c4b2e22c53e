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
    // Pictures (Pics), sounds (Wav) and the font: the program's folder in a build, the
    // installed share folder otherwise.
    std::string programFolder;
    FontRegistry* fontRegistry = nullptr;  // where the "LCD" face is registered; none in model tests
    SoundPlayer* soundPlayer = nullptr;    // plays the alarm sounds; none means silence
    // Where libParvox.so and libOrbelin.so are looked for first; empty: `programFolder`.
    std::string libraryFolder = {};
};

}  // namespace movira
