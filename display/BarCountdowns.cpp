#include "display/BarCountdowns.h"

#include "platform/Clock.h"

#include <algorithm>

namespace movira {

BarCountdowns::BarCountdowns(const Clock& clock) : clock_(clock) {}

void BarCountdowns::show(ButtonEdge edge) {
    Entry& e = entry(edge);
    e.countdown = ShownSeconds;
    e.lastTick = 0;
}

void BarCountdowns::hide(ButtonEdge edge) { entry(edge).countdown = 0; }

void BarCountdowns::restart(ButtonEdge edge) { entry(edge).countdown = ShownSeconds; }

void BarCountdowns::carry(ButtonEdge from, ButtonEdge to) {
    if (from == to) return;
    entry(to).countdown = entry(from).countdown.load();
    entry(to).lastTick = entry(from).lastTick.load();
}

void BarCountdowns::step(ButtonEdge edge) {
    Entry& e = entry(edge);
    if (e.countdown <= 0) {
        e.countdown = 0;
        e.lastTick = 0;
        return;
    }
    const int64_t now = clock_.steadyNow100ns();
    const int64_t last = e.lastTick;
    if (last == 0) {
        e.lastTick = now;
        return;
    }
    const int64_t elapsed = (now - last) / 10'000'000;
    if (elapsed <= 0) return;
    // The rest of the second is dropped, as the tick moves to now.
    const int64_t left = e.countdown - elapsed;
    e.countdown = left > 0 ? static_cast<int>(left) : 0;
    e.lastTick = now;
}

int BarCountdowns::alpha(ButtonEdge edge) const {
    return std::min(FullAlpha, countdown(edge) * FullAlpha / FadeSeconds);
}

}  // namespace movira
