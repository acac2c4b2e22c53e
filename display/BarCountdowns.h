// How long the button bars on each screen edge stay visible: one countdown in whole
// seconds per edge, shared by all pages. A bar is drawn at full strength while 5 or more
// seconds remain and fades over the last 5. Counted on the machine's steady clock, so
// setting the clock neither freezes nor empties a bar.
// Stepped by the paint thread, shown/hidden by the UI thread: every entry is atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace movira {

class Clock;

enum class ButtonEdge { Top = 0, Bottom = 1, Left = 2, Right = 3 };

class BarCountdowns {
public:
    static constexpr int ShownSeconds = 10;
    static constexpr int FullAlpha = 192;
    static constexpr int FadeSeconds = 5;

    // Every edge starts visible for ShownSeconds.
    explicit BarCountdowns(const Clock& clock);

    int countdown(ButtonEdge edge) const { return entry(edge).countdown; }
    bool isVisible(ButtonEdge edge) const { return countdown(edge) != 0; }
    void show(ButtonEdge edge);
    void hide(ButtonEdge edge);
    // The countdown goes back to ShownSeconds, keeping the tick (a tap on a visible bar).
    void restart(ButtonEdge edge);
    // `to` takes the countdown and tick of `from` (bars moving to another edge).
    void carry(ButtonEdge from, ButtonEdge to);
    // After a bar was painted: whole seconds since the last step come off the countdown.
    void step(ButtonEdge edge);
    // Constant alpha of the icons: min(192, countdown x 192 / 5).
    int alpha(ButtonEdge edge) const;

private:
    struct Entry {
        std::atomic<int> countdown{ShownSeconds};
        std::atomic<int64_t> lastTick{0};  // steady 100-ns units; 0: not measured yet
    };
    Entry& entry(ButtonEdge edge) { return entries_[static_cast<int>(edge)]; }
    const Entry& entry(ButtonEdge edge) const { return entries_[static_cast<int>(edge)]; }

    const Clock& clock_;
    std::array<Entry, 4> entries_;
};

}  // namespace movira
