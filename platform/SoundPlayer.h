// Plays short sound files (the speed alarms' WAV files) without waiting for them.
// Stands in for PlaySoundW with SND_FILENAME | SND_NOWAIT | SND_ASYNC.
#pragma once

#include <string>

namespace movira {

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts the sound file at `path` (UTF-8) and returns at once; any thread may call.
    // A new sound replaces one that still plays. A missing or unreadable file plays a short
    // built-in beep instead; without an audio device nothing is played.
    virtual void play(const std::string& path) = 0;
};

}  // namespace movira
