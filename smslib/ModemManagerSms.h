// Sends one text message through ModemManager, the Linux modem service, over D-Bus: the first
// modem that offers messaging creates the message with the number and the text and sends it.
// Texts go whole, however long: ModemManager makes a multi-part message of a long one where the
// modem can send it, and refuses it otherwise; nothing is ever cut.
// A message created on the modem is deleted after its send, whatever came of the send (accepted,
// refused, the time limit, an abandon): it never stays in the modem's list.
// Any thread may send, with one object per thread at a time. Every wait of a send ends within
// the time limit (and the delete's own short limit after it); a send also works where no GLib
// main loop runs.
#pragma once

#include <chrono>
#include <string>

// GIO's, declared as GIO does, so that users of the constants need no GIO headers.
typedef struct _GCancellable GCancellable;

namespace movira {

class ModemManagerSms {
public:
    // When set, the D-Bus address of the bus ModemManager is on (a private one of the tests);
    // otherwise the system bus.
    static constexpr const char* kBusAddressVariable = "MOVIRA_MODEMMANAGER_BUS_ADDRESS";
    // ModemManager itself gives a modem 5 minutes to send one message (its default send timeout
    // since 1.18.x, Debian 12 has 1.20): on a weak signal the network may take that long.
    static constexpr std::chrono::milliseconds kModemManagerSendTimeout{5 * 60 * 1000};
    // The library waits longer than that, so that ModemManager's own answer always comes first:
    // 20 s more for reaching the bus, listing the modems and creating the message.
    static constexpr std::chrono::milliseconds kTimeLimit = kModemManagerSendTimeout + std::chrono::seconds(20);
    // When set (tests), the time limit in milliseconds instead.
    static constexpr const char* kTimeLimitVariable = "MOVIRA_PARVOX_TIME_LIMIT_MS";
    // The delete after the send has this much of its own; ModemManager answers it at once.
    static constexpr std::chrono::milliseconds kDeleteLimit{3000};
    // GSM message class 1: a normal message, kept by the receiving phone.
    static constexpr int kMessageClass = 1;

    // An empty address means the system bus.
    explicit ModemManagerSms(std::string busAddress, std::chrono::milliseconds timeLimit = kTimeLimit);
    static ModemManagerSms fromEnvironment();

    // True when the modem accepted the message. Number and text are zero-terminated UTF-8; a
    // null pointer or text that is not UTF-8 is refused (false) without contacting anyone.
    // Cancelling `abandon` (from any thread) ends the send early, as the time limit would: the
    // message is deleted and the result is false. Throws std::system_error only when no
    // watchdog thread can be started.
    bool send(const char* number, const char* text, GCancellable* abandon = nullptr) const;

private:
    std::string busAddress_;
    std::chrono::milliseconds timeLimit_;
};

}  // namespace movira
