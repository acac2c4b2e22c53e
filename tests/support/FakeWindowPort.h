// A main window that counts what is posted to it.
#pragma once

#include "platform/WindowPort.h"
#include "tests/support/Eventually.h"

#include <atomic>
#include <chrono>

namespace movira::test {

class FakeWindowPort final : public WindowPort {
public:
    bool isWindow() const override { return shown; }
    void post(int userCommand) override {
        if (userCommand == 14) {
            ++repaints;
        } else {
            lastCommand = userCommand;
        }
        ++posts;
    }
    // Waits until at least `count` repaints arrived; false on time-out.
    bool waitForRepaints(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        return eventually([&] { return repaints >= count; }, timeout);
    }

    std::atomic<bool> shown{true};
    std::atomic<int> repaints{0};
    std::atomic<int> posts{0};
    std::atomic<int> lastCommand{0};  // the last command other than Repaint
};

}  // namespace movira::test
