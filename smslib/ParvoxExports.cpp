// The two C entry points of libParvox.so, the only symbols it exports. The program calls
// SendParvox from whichever thread sends its reports; calls that overlap are served one after
// the other. Every call returns within the send's time limit and the delete's after it (twice
// that when it had to wait for another). Nothing here lets an exception out.
//
// A process that exits while a send is under way would leave the message on the modem, where
// ModemManager might still send it, or keep it unsent, long after. So at exit the send still
// under way is ended: the message is deleted, and the exit waits for that at most a few seconds.
#include "smslib/ModemManagerSms.h"

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#define PARVOX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex sending;

// The sends under way, and the signal that ends them at exit. Never destroyed: a send that
// outlasts the exit's wait still finds it.
struct SendsUnderWay {
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;  // guarded by mutex
    GCancellable* exiting = g_cancellable_new();
};
SendsUnderWay& underWay = *new SendsUnderWay;

struct Counted {
    Counted() {
        std::lock_guard lock(underWay.mutex);
        ++underWay.count;
    }
    ~Counted() {
        std::lock_guard lock(underWay.mutex);
        --underWay.count;
        underWay.ended.notify_all();
    }
};

// Runs at exit (the library is never unloaded before): ends what is under way and waits for its
// delete.
struct EndSendsAtExit {
    ~EndSendsAtExit() {
        g_cancellable_cancel(underWay.exiting);
        std::unique_lock lock(underWay.mutex);
        underWay.ended.wait_for(lock, movira::ModemManagerSms::kDeleteLimit + std::chrono::seconds(1),
                                [] { return underWay.count == 0; });
    }
} endSendsAtExit;

}  // namespace

// 1 when the modem accepted the message, 0 otherwise (also without ModemManager or a modem).
// `address` is the destination number and `text` the message, both UTF-8 and owned by the caller.
// The bus is the system bus, or the one named by MOVIRA_MODEMMANAGER_BUS_ADDRESS when that is set.
PARVOX_EXPORT int SendParvox(const char* address, const char* text) {
    try {
        const Counted counted;
        const std::lock_guard lock(sending);
        return movira::ModemManagerSms::fromEnvironment().send(address, text, underWay.exiting) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// Kept for the callers that look it up: there is no e-mail; it does nothing.
PARVOX_EXPORT int SendEmailCore(void) {
    return 0;
}
