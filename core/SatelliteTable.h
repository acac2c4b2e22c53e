// The satellites in view, kept from the GSV sentences of every talker and from the records of
// the GPS access library. Each system keeps its own satellites (GPS 5 and Galileo 5 are two
// entries), and a satellite that a complete cycle of its talker's GSV sentences no longer lists
// leaves the table. Part of the parser's state: written on the GPS reader thread, read by
// everyone under the model lock.
#pragma once

#include "core/SatelliteInfo.h"

#include <array>
#include <cstdint>
#include <span>

namespace movira {

class SatelliteTable {
public:
    static constexpr int Capacity = 96;  // more than a four-system receiver reports at once
    static constexpr int MaxCycles = 32;  // talker and signal pairs whose cycles are followed

    // One satellite of a GSV sentence; every number NoValueInt when its field is empty.
    struct Report {
        Constellation constellation;
        int32_t prn, elevation, azimuth, snr;
    };

    // Entry i, or null when i is outside 0..Capacity-1.
    const SatelliteInfo* at(int i) const {
        return i >= 0 && i < Capacity ? &entries_[static_cast<size_t>(i)] : nullptr;
    }
    int count() const;

    // One GSV sentence of `talker` (a small number per talker) on `signal` (0 when the sentence
    // names none): "sentence `number` of `total`" and its satellites. A satellite already held
    // is updated in place, a new one takes the first free entry (none free: it is dropped).
    // Sentences 1..total in a row make a complete cycle: the talker's satellites on that signal
    // that it did not list are gone.
    void takeGsv(int talker, int signal, int32_t total, int32_t number, std::span<const Report> satellites);

    // Entry i as the GPS access library reports it (an empty one when prn is 0 or none).
    void assign(int i, const SatelliteInfo& satellite);
    void clear();
    void clearFrom(int first);

private:
    struct Cycle {
        int talker = -1;
        int signal = 0;
        int32_t total = 0;
        int32_t next = 0;  // the number of the sentence that continues the cycle; 0 when none does
    };

    int cycleSlot(int talker, int signal);
    SatelliteInfo* find(Constellation constellation, int32_t prn);
    void drop(size_t i);

    std::array<SatelliteInfo, Capacity> entries_{};
    // Per entry: the cycles that list it, those that listed it in their current round, and the
    // cycle whose signal strength it shows (-1: none).
    std::array<uint32_t, Capacity> listedBy_{};
    std::array<uint32_t, Capacity> seenThisRound_{};
    std::array<int8_t, Capacity> strengthFrom_{};
    std::array<Cycle, MaxCycles> cycles_{};
};

}  // namespace movira
