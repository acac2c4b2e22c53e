// A signalled/non-signalled flag that threads can wait on, auto- or manual-reset.
// A sleep that a stop must cut short waits on one of these. Any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace movira {

class Event {
public:
    enum class Reset { Automatic, Manual };
    explicit Event(Reset reset = Reset::Automatic) : reset_(reset) {}

    void set();
    void reset();
    // True when the event was signalled within the time (an automatic event is then cleared).
    bool wait(std::chrono::milliseconds timeout);
    bool isSet() const;

private:
    const Reset reset_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

}  // namespace movira
