// Sends one text message through ModemManager, the Linux modem service, over D-Bus: the first
// modem that offers messaging creates the message with the number and the text and sends it.
// Texts go whole, however long: ModemManager makes a multi-part message of a long one where the
// modem can send it, and refuses it otherwise; nothing is ever cut.
// Any thread may send, with one object per thread at a time. Every wait of a send ends within
// the time limit; a send also works where no GLib main loop runs.
#pragma once

#include <chrono>
#include <string>

namespace movira {

class ModemManagerSms {
public:
    // When set, the D-Bus address of the bus ModemManager is on (a private one of the tests);
    // otherwise the system bus.
    static constexpr const char* kBusAddressVariable = "MOVIRA_MODEMMANAGER_BUS_ADDRESS";
    static constexpr std::chrono::milliseconds kTimeLimit{5000};
    // GSM message class 1: a normal message, kept by the receiving phone.
    static constexpr int kMessageClass = 1;

    // An empty address means the system bus.
    explicit ModemManagerSms(std::string busAddress, std::chrono::milliseconds timeLimit = kTimeLimit);
    static ModemManagerSms fromEnvironment();

    // True when the modem accepted the message. Number and text are zero-terminated UTF-8; a
    // null pointer or text that is not UTF-8 is refused (false) without contacting anyone.
    // Throws std::system_error only when no watchdog thread can be started.
    bool send(const char* number, const char* text) const;

private:
    std::string busAddress_;
    std::chrono::milliseconds timeLimit_;
};

}  // namespace movira
