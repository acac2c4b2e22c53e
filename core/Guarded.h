// A value together with the mutex that guards it, reached only through a lock.
#pragma once

#include <mutex>
#include <utility>

namespace movira {

template <class T>
class Guarded {
public:
    template <class... Args>
    explicit Guarded(Args&&... args) : value_(std::forward<Args>(args)...) {}

    class Locked {
    public:
        explicit Locked(Guarded& owner) : lock_(owner.mutex_), value_(&owner.value_) {}
        T* operator->() const { return value_; }
        T& operator*() const { return *value_; }

    private:
        std::unique_lock<std::mutex> lock_;
        T* value_;
    };

    Locked lock() { return Locked(*this); }

private:
    std::mutex mutex_;
    T value_;
};

}  // namespace movira
