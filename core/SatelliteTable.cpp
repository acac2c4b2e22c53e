#include "core/SatelliteTable.h"

#include <bit>

namespace movira {

int SatelliteTable::count() const {
    int n = 0;
    for (const auto& entry : entries_) n += entry.isEmpty() ? 0 : 1;
    return n;
}

int SatelliteTable::cycleSlot(int talker, int signal) {
    for (int i = 0; i < MaxCycles; ++i) {
        Cycle& cycle = cycles_[static_cast<size_t>(i)];
        if (cycle.talker == talker && cycle.signal == signal) return i;
        if (cycle.talker < 0) {
            cycle.talker = talker;
            cycle.signal = signal;
            return i;
        }
    }
    return -1;  // more pairs than any receiver sends: such satellites are only updated
}

SatelliteInfo* SatelliteTable::find(Constellation constellation, int32_t prn) {
    for (auto& entry : entries_) {
        if (entry.prn == prn && entry.constellation == constellation) return &entry;
    }
    return nullptr;
}

void SatelliteTable::drop(size_t i) {
    entries_[i].clear();
    listedBy_[i] = seenThisRound_[i] = 0;
    strengthFrom_[i] = -1;
}

void SatelliteTable::takeGsv(int talker, int signal, int32_t total, int32_t number,
                             std::span<const Report> satellites) {
    const int slot = cycleSlot(talker, signal);
    const uint32_t bit = slot >= 0 ? uint32_t{1} << slot : 0;
    Cycle* cycle = slot >= 0 ? &cycles_[static_cast<size_t>(slot)] : nullptr;
    if (cycle) {
        if (number == 1 && total >= 1) {
            cycle->total = total;
            cycle->next = 1;
            for (auto& seen : seenThisRound_) seen &= ~bit;
        }
        // A sentence missing (line noise) or out of turn: this round proves nothing.
        if (cycle->next != number || cycle->total != total) cycle->next = 0;
    }
    for (const Report& report : satellites) {
        // 0 is no satellite; NoValueInt would read as an empty entry.
        if (report.prn == 0 || report.prn == NoValueInt) continue;
        SatelliteInfo* entry = find(report.constellation, report.prn);
        if (!entry) {
            for (auto& free : entries_) {
                if (free.isEmpty()) {
                    entry = &free;
                    break;
                }
            }
            if (!entry) continue;  // the table is full
            const auto i = static_cast<size_t>(entry - entries_.data());
            listedBy_[i] = seenThisRound_[i] = 0;
            strengthFrom_[i] = static_cast<int8_t>(slot);
            entry->prn = report.prn;
            entry->constellation = report.constellation;
        }
        const auto i = static_cast<size_t>(entry - entries_.data());
        listedBy_[i] |= bit;
        seenThisRound_[i] |= bit;
        const int from = strengthFrom_[i];
        if (from < 0 || (listedBy_[i] & (uint32_t{1} << from)) == 0) strengthFrom_[i] = static_cast<int8_t>(slot);
        entry->elevation = report.elevation;
        entry->azimuth = report.azimuth;
        // A satellite heard on two signals shows the strength of one of them, not each in turn.
        if (strengthFrom_[i] == slot) entry->snr = report.snr;
    }
    if (!cycle || cycle->next == 0) return;
    if (number < total) {
        cycle->next = number + 1;
        return;
    }
    cycle->next = 0;  // complete: what it did not list has left the view
    for (size_t i = 0; i < entries_.size(); ++i) {
        if ((listedBy_[i] & bit) == 0 || (seenThisRound_[i] & bit) != 0) continue;
        listedBy_[i] &= ~bit;
        if (listedBy_[i] == 0) {
            drop(i);
        } else if (strengthFrom_[i] == slot) {
            strengthFrom_[i] = static_cast<int8_t>(std::countr_zero(listedBy_[i]));
        }
    }
}

void SatelliteTable::assign(int i, const SatelliteInfo& satellite) {
    if (i < 0 || i >= Capacity) return;
    const auto index = static_cast<size_t>(i);
    drop(index);
    if (satellite.prn == 0 || satellite.prn == NoValueInt) return;
    entries_[index] = satellite;
}

void SatelliteTable::clear() { clearFrom(0); }

void SatelliteTable::clearFrom(int first) {
    for (int i = first < 0 ? 0 : first; i < Capacity; ++i) drop(static_cast<size_t>(i));
}

}  // namespace movira
