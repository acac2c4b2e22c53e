// Sends the current position as a text message to one or more numbers: on command and,
// when enabled, every N minutes (optionally only when the position changed). The message is a
// template whose tags ("%Latitude%", "%GoogleMaps%"...) take the values of a fix; the SMS
// library "Parvox" (libParvox.so beside the program) does the sending and is bound by name at
// construction. Without it the program runs as usual and nothing is sent.
//
// Threads: tick() runs on the GPS reader thread, sendNow() and the settings accessors on the UI
// thread, loadSettings() on the initialisation thread. None of them waits for the modem: each
// message is built at once, under the reporter's own mutex, and handed to the reporter's sender
// thread, which alone calls the library. stop() (and the destructor) waits for the sender at
// most `stopWait`; a send that hangs longer is left to finish on its own (see stop()).
// No message goes silently: one the library refuses, one dropped because too many wait, and
// those the stop gives up on are each said on standard error with its number and the time of
// its fix.
#pragma once

#include "core/GpsFix.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace movira {

class IniFile;

class SmsReporter {
public:
    static constexpr const char* Section = "SMS";
    static constexpr const char* LibraryName = "Parvox";
    // Longest message handed to the library, in bytes; a longer one is cut here. The library
    // sends a text past one SMS as a multi-part message, so a full template with its link
    // goes whole; the bound only keeps a runaway template from reaching the modem.
    static constexpr size_t MaxMessageBytes = 1024;
    // Messages waiting for the sender; past this the oldest waiting one is dropped (and said).
    static constexpr size_t MaxPendingMessages = 16;
    // The host of the "%GoogleMaps%" link; the link is http://<host>/m/local?q=<lat>,<lon>.
    static constexpr const char* MapHost = "maps.google.com";
    static constexpr std::chrono::milliseconds DefaultStopWait{5000};

    // `currentFix` gives a copy of the current fix (for sendNow); it is called without any
    // lock of the reporter held. The library is looked for in `programFolder` first.
    SmsReporter(const std::string& programFolder, std::function<GpsFix()> currentFix,
                const std::string& libraryName = LibraryName,
                std::chrono::milliseconds stopWait = DefaultStopWait);
    ~SmsReporter();
    SmsReporter(const SmsReporter&) = delete;
    SmsReporter& operator=(const SmsReporter&) = delete;

    // True when the library and its SendParvox export were found.
    bool isAvailable() const;

    // Builds the message from the current fix and hands it over for every address (UI thread).
    void sendNow();
    // The timer, after every completed fix (reader thread): sends when the interval is due.
    void tick(const GpsFix& fix);

    void loadSettings(const IniFile& ini);
    void saveSettings(IniFile& ini) const;

    // For the SMS page.
    bool send() const;
    bool sendIfChanged() const;
    int interval() const;  // minutes; 0 or less means no periodic message
    std::string text() const;
    std::string addresses() const;  // joined with ","
    // Texts in UTF-8; the addresses are split at every ",", an empty piece included.
    void setSettings(bool send, bool sendIfChanged, int interval, std::string_view addresses, std::string_view text);
    // The same with wide texts, as a dialog holds them; null reads as empty.
    void setSettings(bool send, bool sendIfChanged, int interval, const wchar_t* addresses, const wchar_t* text);

    // Stops taking messages and lets the sender hand over what is waiting, for at most the
    // stop wait; then the thread is joined, or, when a send still hangs in the library, the
    // messages not begun are said on standard error and dropped, and so is the one still in
    // the library (which ends it when the process exits); the thread is left to end when that
    // send returns (it keeps the library loaded until then). Idempotent; the destructor calls it.
    void stop();
    // Test aid: waits until every message handed over so far has been passed to the library
    // and the library returned; false after `timeout`.
    bool waitUntilSent(std::chrono::milliseconds timeout) const;

    // The template with every tag replaced by its value from `fix`, not yet cut to length.
    static std::string expandTags(std::string_view text, const GpsFix& fix);
    // The link the "%GoogleMaps%" tag becomes for a position in decimal degrees.
    static std::string mapLink(float latitude, float longitude);
    // Splits at every "," (an empty text is one empty address).
    static std::vector<std::string> splitAddresses(std::string_view text);
    // `text` cut to MaxMessageBytes, never inside a UTF-8 character.
    static std::string cutToLength(std::string text);

private:
    struct Outbox;  // shared with the sender thread, which may outlive the reporter

    // Expands the template with `fix` and queues the message for every address.
    void sendFix(const GpsFix& fix);

    std::shared_ptr<Outbox> outbox_;
    std::thread sender_;
    const std::function<GpsFix()> currentFix_;
    const std::chrono::milliseconds stopWait_;

    mutable std::mutex mutex_;  // guards everything below
    std::vector<std::string> addresses_;  // none until settings are loaded or set
    std::string text_;
    bool send_ = false;
    bool sendIfChanged_ = false;
    int32_t interval_ = 1;          // minutes
    int64_t referenceTime_ = 0;     // 100-ns units of the local fix time; 0 = the timer has not started
    float previousLongitude_ = NoValue;  // decimal degrees, of the fix before
    float previousLatitude_ = NoValue;
};

}  // namespace movira
