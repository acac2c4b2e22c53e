// The time limit of one send: a cancellable that a watchdog thread cancels when the time is up
// (or when `alsoOn` is cancelled), so that whichever D-Bus call is waiting then (connect, object
// list, create, send) returns at once, even when the service has stopped answering.
// Made and used by the sending thread; the watchdog only cancels. The constructor throws
// std::system_error when no thread can be started.
#pragma once

#include "smslib/GObjectPtr.h"

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace movira {

class SendDeadline {
public:
    using Clock = std::chrono::steady_clock;

    explicit SendDeadline(std::chrono::milliseconds limit, GCancellable* alsoOn = nullptr);
    ~SendDeadline();
    SendDeadline(const SendDeadline&) = delete;
    SendDeadline& operator=(const SendDeadline&) = delete;

    GCancellable* cancellable() const { return cancellable_.get(); }
    bool expired() const { return Clock::now() >= end_; }
    // Milliseconds until the end, at least 1: a D-Bus time-out of 0 or less would mean "default".
    int millisecondsLeft() const;

private:
    void watch();

    const Clock::time_point end_;
    GObjectPtr<GCancellable> cancellable_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool finished_ = false;  // guarded by mutex_
    GCancellable* alsoOn_;
    gulong alsoOnHandler_ = 0;
    std::thread watchdog_;   // last: starts when everything it uses exists
};

}  // namespace movira
