// How the model reaches the main window: posting a command code to it.
#pragma once

namespace movira {

class WindowPort {
public:
    virtual ~WindowPort() = default;
    // Whether the main window exists and is shown (any thread).
    virtual bool isWindow() const = 0;
    // Queues the command for the window's thread; returns at once (any thread).
    virtual void post(int userCommand) = 0;
};

}  // namespace movira
