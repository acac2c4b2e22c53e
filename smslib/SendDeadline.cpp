#include "smslib/SendDeadline.h"

#include <algorithm>

namespace movira {

namespace {

void cancelToo(GCancellable*, gpointer cancellable) { g_cancellable_cancel(G_CANCELLABLE(cancellable)); }

}  // namespace

SendDeadline::SendDeadline(std::chrono::milliseconds limit, GCancellable* alsoOn)
    : end_(Clock::now() + limit), cancellable_(g_cancellable_new()), alsoOn_(alsoOn), watchdog_([this] { watch(); }) {
    // Runs at once when `alsoOn` is cancelled already.
    if (alsoOn_) alsoOnHandler_ = g_cancellable_connect(alsoOn_, G_CALLBACK(cancelToo), cancellable_.get(), nullptr);
}

SendDeadline::~SendDeadline() {
    if (alsoOn_) g_cancellable_disconnect(alsoOn_, alsoOnHandler_);
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    wake_.notify_one();
    watchdog_.join();
}

int SendDeadline::millisecondsLeft() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now());
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 1, 1 << 30));
}

void SendDeadline::watch() {
    std::unique_lock lock(mutex_);
    if (!wake_.wait_until(lock, end_, [this] { return finished_; })) {
        g_cancellable_cancel(cancellable_.get());
    }
}

}  // namespace movira
