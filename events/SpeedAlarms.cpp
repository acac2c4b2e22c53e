#include "events/SpeedAlarms.h"

#include "core/GpsFix.h"
#include "core/NoValue.h"
#include "platform/SoundPlayer.h"
#include "settings/IniFile.h"
#include "settings/SettingText.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace movira {
namespace {

constexpr int kStoredEntries = 3;  // the settings file holds Limit1 to Limit3

}  // namespace

SpeedAlarms::SpeedAlarms(SoundPlayer* player)
    : player_(player), entries_{{false, 60, 10}, {false, 100, 10}, {false, 150, 10}} {}

void SpeedAlarms::check(const GpsFix& fix) {
    const float v = fix.speed;
    // A speed that is no number cannot be compared; it is treated as absent.
    if (v == NoValue || !std::isfinite(v)) return;
    // At most two sounds: the stop sound, then a limit sound that cuts it short.
    std::array<const char*, 2> due{};
    size_t count = 0;
    {
        std::lock_guard lock(mutex_);
        const float p = previousSpeed_;
        previousSpeed_ = v;
        if (p == NoValue) {
            if (v == 0.0f && beepOnZero_) due[count++] = ZeroSound;
        } else {
            if (v == 0.0f && beepOnZero_ && p > 0.0f) due[count++] = ZeroSound;
            for (const Entry& entry : entries_) {
                if (!entry.useSound || entry.limit <= 0) continue;
                // As floats, so that limit + band cannot overflow.
                const float limit = static_cast<float>(entry.limit);
                const float top = limit + static_cast<float>(entry.band);
                if ((p < limit && v >= limit) || (v >= limit && v <= top)) {
                    due[count++] = LimitSound;
                    break;
                }
                if (p >= limit && v < limit) {
                    due[count++] = LimitDownSound;
                    break;
                }
            }
        }
    }
    if (!player_) return;
    for (size_t i = 0; i < count; ++i) player_->play(soundPath(due[i]));
}

void SpeedAlarms::loadSettings(const IniFile& ini, const std::string& programFolder) {
    const bool beepOnZero = SettingText::containsTrue(ini.getValue("BeepOnZero", Section));
    std::array<Entry, kStoredEntries> stored;
    for (int i = 0; i < kStoredEntries; ++i) {
        const std::string n = std::to_string(i + 1);
        stored[i] = {SettingText::containsTrue(ini.getValue("UseSound" + n, Section)), SettingText::toInt(ini.getValue("Limit" + n, Section)),
                     SettingText::toInt(ini.getValue("LimitInter" + n, Section))};
    }
    std::lock_guard lock(mutex_);
    programFolder_ = programFolder;
    beepOnZero_ = beepOnZero;
    for (int i = 0; i < kStoredEntries; ++i) {
        // An absent, unreadable or non-positive number keeps what the entry held.
        if (stored[i].limit <= 0 || stored[i].band <= 0) continue;
        if (static_cast<size_t>(i) < entries_.size()) {
            entries_[i] = stored[i];
        } else {
            entries_.push_back(stored[i]);
        }
    }
}

void SpeedAlarms::saveSettings(IniFile& ini) const {
    bool beepOnZero;
    std::vector<Entry> entries;
    {
        std::lock_guard lock(mutex_);
        beepOnZero = beepOnZero_;
        entries = entries_;
    }
    ini.setValue("BeepOnZero", SettingText::flag(beepOnZero), Section);
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        ini.setValue("Limit" + n, std::to_string(entries[i].limit), Section);
        ini.setValue("LimitInter" + n, std::to_string(entries[i].band), Section);
        ini.setValue("UseSound" + n, SettingText::flag(entries[i].useSound), Section);
    }
}

bool SpeedAlarms::beepOnZero() const {
    std::lock_guard lock(mutex_);
    return beepOnZero_;
}

void SpeedAlarms::setBeepOnZero(bool beepOnZero) {
    std::lock_guard lock(mutex_);
    beepOnZero_ = beepOnZero;
}

const SpeedAlarms::Entry* SpeedAlarms::entryAt(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= entries_.size()) return nullptr;
    return &entries_[static_cast<size_t>(i)];
}

bool SpeedAlarms::useSound(int i) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = entryAt(i);
    return entry && entry->useSound;
}

int SpeedAlarms::limit(int i) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = entryAt(i);
    return entry ? entry->limit : 0;
}

int SpeedAlarms::band(int i) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = entryAt(i);
    return entry ? entry->band : 0;
}

void SpeedAlarms::setEntry(int i, int limit, int band, bool useSound) {
    if (i < 0) return;
    std::lock_guard lock(mutex_);
    const Entry entry{useSound, limit, band};
    if (static_cast<size_t>(i) < entries_.size()) {
        entries_[static_cast<size_t>(i)] = entry;
    } else if (entries_.size() < MaxEntries) {
        entries_.push_back(entry);
    }
}

size_t SpeedAlarms::entryCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::string SpeedAlarms::soundPath(const char* name) const {
    std::lock_guard lock(mutex_);
    return programFolder_ + "/Wav/" + name;
}

}  // namespace movira
