// A GLib main context of the calling thread's own for the length of one send: the D-Bus objects
// made meanwhile deliver their signals to it, not to a loop the program may or may not run.
// Made, used and destroyed on the same thread; destroy it after the objects that used it.
#pragma once

#include <glib.h>

#include <memory>

namespace movira {

class MainContextScope {
public:
    MainContextScope();
    ~MainContextScope();
    MainContextScope(const MainContextScope&) = delete;
    MainContextScope& operator=(const MainContextScope&) = delete;

private:
    struct Unref {
        void operator()(GMainContext* context) const { g_main_context_unref(context); }
    };
    std::unique_ptr<GMainContext, Unref> context_;
};

}  // namespace movira
