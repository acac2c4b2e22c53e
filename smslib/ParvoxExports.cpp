// The two C entry points of libParvox.so, the only symbols it exports. The program calls
// SendParvox from whichever thread sends its reports; calls that overlap are served one after
// the other. Every call returns within the send's time limit (twice that when it had to wait for
// another). Nothing here lets an exception out.
#include "smslib/ModemManagerSms.h"

#include <mutex>

#define PARVOX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex sending;

}  // namespace

// 1 when the modem accepted the message, 0 otherwise (also without ModemManager or a modem).
// `address` is the destination number and `text` the message, both UTF-8 and owned by the caller.
// The bus is the system bus, or the one named by MOVIRA_MODEMMANAGER_BUS_ADDRESS when that is set.
PARVOX_EXPORT int SendParvox(const char* address, const char* text) {
    try {
        const std::lock_guard lock(sending);
        return movira::ModemManagerSms::fromEnvironment().send(address, text) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// Kept for the callers that look it up: there is no e-mail; it does nothing.
PARVOX_EXPORT int SendEmailCore(void) {
    return 0;
}
