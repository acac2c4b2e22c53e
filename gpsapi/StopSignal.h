// The stop request for the gpsd thread: a flag, and a descriptor that becomes readable when it is
// set, so that every wait of the thread (connect, read, back-off) ends at once.
// set() and reset() run on the thread that starts or stops; the rest on the gpsd thread.
#pragma once

#include <atomic>
#include <chrono>

namespace movira {

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void set();
    void reset();
    bool isSet() const { return set_.load(std::memory_order_acquire); }
    // Readable while set; -1 when no descriptor could be made (waits then end by their time-outs).
    int fd() const { return fd_; }
    // True when the stop came within the time.
    bool waitFor(std::chrono::milliseconds timeout) const;

private:
    std::atomic<bool> set_{false};
    int fd_ = -1;
};

}  // namespace movira
