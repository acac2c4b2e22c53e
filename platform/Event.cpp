#include "platform/Event.h"

namespace movira {

void Event::set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_all();
}

void Event::reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
    if (reset_ == Reset::Automatic) signalled_ = false;
    return true;
}

bool Event::isSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

}  // namespace movira
