#include "smslib/MainContextScope.h"

namespace movira {

namespace {
// Enough for what one send leaves behind; a bound, so that nothing keeps the caller here.
constexpr int kMaxLeftoverDispatches = 1000;
}  // namespace

MainContextScope::MainContextScope() : context_(g_main_context_new()) {
    g_main_context_push_thread_default(context_.get());
}

MainContextScope::~MainContextScope() {
    // Whatever the finished objects left queued (signals that came meanwhile, deferred unrefs)
    // runs now, with none of them waiting.
    for (int i = 0; i < kMaxLeftoverDispatches && g_main_context_iteration(context_.get(), FALSE); ++i) {
    }
    g_main_context_pop_thread_default(context_.get());
}

}  // namespace movira
