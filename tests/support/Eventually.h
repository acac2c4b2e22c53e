// Waits for something another thread makes true.
#pragma once

#include <chrono>
#include <thread>

namespace movira::test {

// Polls `condition` until it holds; false when it still does not after `timeout`.
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace movira::test
