// Sounds the speed alarms: a sound when the speed rises to a configured limit and while it
// stays just above it, one when it falls below, and one when the vehicle stops. Speeds and
// limits are in km/h. Settings live in section "Events" of the settings file.
// check() runs on the GPS reader thread; the options page's accessors and setters on the UI
// thread; loadSettings() on the initialisation thread and saveSettings() on the UI thread.
// One mutex inside guards all state, and no sound is started while it is held.
#pragma once

#include "core/NoValue.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace movira {

class IniFile;
class SoundPlayer;
struct GpsFix;

class SpeedAlarms {
public:
    static constexpr const char* Section = "Events";
    static constexpr const char* LimitSound = "Limit.wav";      // rose to or above a limit
    static constexpr const char* LimitDownSound = "LimitDown.wav";  // fell below a limit
    static constexpr const char* ZeroSound = "Zero.wav";         // stopped
    // setEntry() appends past the end of the list; the list never grows beyond this.
    static constexpr size_t MaxEntries = 32;

    struct Entry {
        bool useSound = false;
        int32_t limit = 0;  // km/h; 0 or less never sounds
        int32_t band = 0;   // km/h above the limit in which the limit sound repeats
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // `player` is used, not owned, and must outlive the alarms; null plays nothing.
    explicit SpeedAlarms(SoundPlayer* player);
    SpeedAlarms(const SpeedAlarms&) = delete;
    SpeedAlarms& operator=(const SpeedAlarms&) = delete;

    // After every completed fix: compares its speed with the one before and plays what is due.
    void check(const GpsFix& fix);

    // Stores the program folder (the sounds lie in its "Wav" folder) and reads the section.
    void loadSettings(const IniFile& ini, const std::string& programFolder);
    void saveSettings(IniFile& ini) const;

    // For the options page. Entries are counted from 0; an index outside the list reads 0.
    bool beepOnZero() const;
    void setBeepOnZero(bool beepOnZero);
    bool useSound(int i) const;
    int limit(int i) const;
    int band(int i) const;
    // A negative index does nothing; one inside the list overwrites that entry; any other
    // appends a new entry (while fewer than MaxEntries are held).
    void setEntry(int i, int limit, int band, bool useSound);
    size_t entryCount() const;

    // Where a sound file of the program lies: <program folder>/Wav/<name>.
    std::string soundPath(const char* name) const;

private:
    const Entry* entryAt(int i) const;  // with mutex_ held

    SoundPlayer* const player_;
    mutable std::mutex mutex_;  // guards everything below
    std::string programFolder_;
    std::vector<Entry> entries_;
    bool beepOnZero_ = false;
    float previousSpeed_ = NoValue;  // km/h; NoValue until the first speed arrives
};

}  // namespace movira
