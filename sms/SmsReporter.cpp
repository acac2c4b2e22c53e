#include "sms/SmsReporter.h"

#include "core/Utf8.h"
#include "platform/DynamicLibrary.h"
#include "settings/IniFile.h"
#include "settings/SettingText.h"

#include <array>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <optional>

namespace movira {
namespace {

constexpr int64_t kUnitsPerMinute = 60 * kFileTimeUnitsPerSecond;

// printf-style formatting into a bounded buffer: a float's "%f" is at most 47 characters.
template <class... Values>
std::string format(const char* pattern, Values... values) {
    std::array<char, 96> buffer{};
    std::snprintf(buffer.data(), buffer.size(), pattern, values...);
    return buffer.data();
}

std::string valueOrNa(const char* pattern, float value) {
    return value == NoValue ? std::string("N/A") : format(pattern, static_cast<double>(value));
}

// Every occurrence of `tag` replaced by `value`, left to right. A value never holds a tag, so
// this is the same as searching again from the start after each replacement, without its cost.
std::string replaceAll(std::string_view text, std::string_view tag, const std::string& value) {
    std::string out;
    size_t from = 0;
    for (size_t at = text.find(tag); at != std::string_view::npos; at = text.find(tag, from)) {
        out.append(text.substr(from, at - from));
        out += value;
        from = at + tag.size();
    }
    out.append(text.substr(from));
    return out;
}

// A message that does not go out is said on standard error, the program's log: the user learns
// which report to which number is missing. "made" is the local time of the fix it reports.
void reportNotSent(const std::string& address, const SystemTime& made, const char* why) {
    const std::string time = made.year == 0 ? std::string("an unknown time")
                                            : format("%04d-%02d-%02d %02d:%02d:%02d", int{made.year}, int{made.month},
                                                     int{made.day}, int{made.hour}, int{made.minute}, int{made.second});
    std::cerr << "Movira: the SMS to \"" + address + "\" of " + time + " " + why + "\n" << std::flush;
}

constexpr const char* kRefused = "was not sent: the modem did not take it";
constexpr const char* kQueueFull = "was not sent: too many messages were waiting for the modem";
constexpr const char* kClosedBeforeItsTurn = "was not sent: the program closed before its turn";
constexpr const char* kClosedWhileSending =
    "may not have been sent: the program closed while the modem was still sending it";

}  // namespace

// What the reporter and its sender thread share. The sender holds it too, so that a send that
// outlives the reporter still finds the library loaded and its queue in place.
struct SmsReporter::Outbox {
    using SendFunction = int (*)(const char* address, const char* text);
    struct Message {
        std::vector<std::string> addresses;
        std::string text;
        SystemTime made;  // the local time of the fix it reports
    };

    std::unique_ptr<DynamicLibrary> library;
    SendFunction sendFunction = nullptr;

    std::mutex mutex;  // guards everything below
    std::condition_variable wake;     // a message came, or stop
    std::condition_variable changed;  // a send ended, or the sender ended
    std::deque<Message> pending;
    Message current;        // the one being sent while busy
    size_t currentAddress = 0;  // the address of `current` in the library while busy
    bool busy = false;      // the sender is inside the library
    bool stopping = false;  // no more messages are taken
    bool abandoned = false; // the stop gave up waiting: the sender sends nothing more
    bool ended = false;     // the sender thread has left its loop

    // Every message not begun, and the rest of the current one, said and dropped (under mutex).
    void abandon() {
        abandoned = true;
        if (busy) {
            reportNotSent(current.addresses[currentAddress], current.made, kClosedWhileSending);
            for (size_t i = currentAddress + 1; i < current.addresses.size(); ++i) {
                reportNotSent(current.addresses[i], current.made, kClosedBeforeItsTurn);
            }
        }
        for (const Message& message : pending) {
            for (const std::string& address : message.addresses) reportNotSent(address, message.made, kClosedBeforeItsTurn);
        }
        pending.clear();
    }

    // Sender thread: hands each message to the library, address by address, in order.
    static void run(std::shared_ptr<Outbox> box) {
        std::unique_lock lock(box->mutex);
        for (;;) {
            box->wake.wait(lock, [&] { return box->stopping || !box->pending.empty(); });
            if (box->pending.empty() || box->abandoned) break;  // stopping, and all handed over
            box->current = std::move(box->pending.front());
            box->pending.pop_front();
            box->busy = true;
            for (box->currentAddress = 0; box->currentAddress < box->current.addresses.size(); ++box->currentAddress) {
                const std::string address = box->current.addresses[box->currentAddress];
                const std::string text = box->current.text;
                lock.unlock();
                const int sent = box->sendFunction(address.c_str(), text.c_str());  // no retry
                lock.lock();
                if (box->abandoned) break;  // the stop has said what became of the rest
                if (!sent) reportNotSent(address, box->current.made, kRefused);
            }
            box->busy = false;
            box->changed.notify_all();
            if (box->abandoned) break;
        }
        box->ended = true;
        box->changed.notify_all();
        // The last holder of `box` may be this thread: the library is then closed here.
    }
};

SmsReporter::SmsReporter(const std::string& programFolder, std::function<GpsFix()> currentFix,
                         const std::string& libraryName, std::chrono::milliseconds stopWait)
    : outbox_(std::make_shared<Outbox>()), currentFix_(std::move(currentFix)), stopWait_(stopWait) {
    outbox_->library = DynamicLibrary::open(libraryName, programFolder);
    if (outbox_->library) {
        outbox_->sendFunction = reinterpret_cast<Outbox::SendFunction>(outbox_->library->symbol("SendParvox"));
    }
    // A sender only when there is something to send through.
    if (outbox_->sendFunction) sender_ = std::thread(&Outbox::run, outbox_);
}

SmsReporter::~SmsReporter() { stop(); }

bool SmsReporter::isAvailable() const { return outbox_->sendFunction != nullptr; }

void SmsReporter::stop() {
    Outbox& box = *outbox_;
    std::unique_lock lock(box.mutex);
    box.stopping = true;
    box.wake.notify_all();
    if (!sender_.joinable()) return;
    if (box.changed.wait_for(lock, stopWait_, [&] { return box.ended; })) {
        lock.unlock();
        sender_.join();
        return;
    }
    // A send hangs in the library: what has not gone out is said and dropped, and the thread
    // ends by itself when the library returns (it holds the outbox, and with it the library).
    box.abandon();
    lock.unlock();
    sender_.detach();
}

bool SmsReporter::waitUntilSent(std::chrono::milliseconds timeout) const {
    Outbox& box = *outbox_;
    std::unique_lock lock(box.mutex);
    return box.changed.wait_for(lock, timeout, [&] { return box.pending.empty() && !box.busy; });
}

void SmsReporter::sendNow() {
    // The fix first, so that the model's lock is never taken under the reporter's.
    const GpsFix fix = currentFix_ ? currentFix_() : GpsFix{};
    sendFix(fix);
}

void SmsReporter::tick(const GpsFix& fix) {
    bool due = false;
    {
        std::lock_guard lock(mutex_);
        if (!send_ || interval_ <= 0) return;
        // A fix without a usable time can neither start nor advance the timer.
        const std::optional<int64_t> now = fix.localTime.toFileTime();
        if (!now) return;
        if (referenceTime_ == 0) {
            referenceTime_ = *now;
        } else {
            const int64_t minutes = (*now - referenceTime_) / kUnitsPerMinute;
            if (minutes >= interval_) {
                const bool standing = sendIfChanged_ && fix.longitude == previousLongitude_ &&
                                      fix.latitude == previousLatitude_;
                if (!standing) {
                    due = true;
                    referenceTime_ = *now;
                }
            }
        }
        previousLongitude_ = fix.longitude;
        previousLatitude_ = fix.latitude;
    }
    if (due) sendFix(fix);
}

void SmsReporter::sendFix(const GpsFix& fix) {
    Outbox::Message message;
    {
        std::lock_guard lock(mutex_);
        if (addresses_.empty()) return;
        message.addresses = addresses_;
        message.text = cutToLength(expandTags(text_, fix));
        message.made = fix.localTime;
    }
    Outbox& box = *outbox_;
    if (!box.sendFunction) return;  // no library: the text was built, nothing goes out
    std::lock_guard lock(box.mutex);
    if (box.stopping) return;
    if (box.pending.size() >= MaxPendingMessages) {
        // The modem is far behind: the newest position is worth more than the oldest.
        for (const std::string& address : box.pending.front().addresses) {
            reportNotSent(address, box.pending.front().made, kQueueFull);
        }
        box.pending.pop_front();
    }
    box.pending.push_back(std::move(message));
    box.wake.notify_one();
}

std::string SmsReporter::expandTags(std::string_view text, const GpsFix& fix) {
    std::string out(text);
    out = replaceAll(out, "%Latitude%", valueOrNa("%f", fix.latitude));
    out = replaceAll(out, "%Longitude%", valueOrNa("%f", fix.longitude));
    out = replaceAll(out, "%Altitude%", valueOrNa("%0.2f", fix.altitude));
    out = replaceAll(out, "%Speed%", valueOrNa("%0.1f", fix.speed));
    out = replaceAll(out, "%Azimuth%", valueOrNa("%0.0f", fix.course));
    const SystemTime& t = fix.localTime;
    out = replaceAll(out, "%Time%", format("%i:%i:%i", int{t.hour}, int{t.minute}, int{t.second}));
    // Without a position the link cannot be made: the tag stays as written.
    if (fix.latitude != NoValue && fix.longitude != NoValue) {
        out = replaceAll(out, "%GoogleMaps%", mapLink(fix.latitude, fix.longitude));
    }
    return out;
}

std::string SmsReporter::mapLink(float latitude, float longitude) {
    return std::string("http://") + MapHost + "/m/local?q=" +
           format("%f,%f", static_cast<double>(latitude), static_cast<double>(longitude));
}

std::vector<std::string> SmsReporter::splitAddresses(std::string_view text) {
    std::vector<std::string> addresses;
    size_t from = 0;
    for (size_t comma = text.find(','); comma != std::string_view::npos; comma = text.find(',', from)) {
        addresses.emplace_back(text.substr(from, comma - from));
        from = comma + 1;
    }
    addresses.emplace_back(text.substr(from));
    return addresses;
}

std::string SmsReporter::cutToLength(std::string text) {
    if (text.size() <= MaxMessageBytes) return text;
    size_t end = MaxMessageBytes;
    // Back to the first byte of the character that would be cut (continuation bytes are 10xxxxxx).
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

void SmsReporter::loadSettings(const IniFile& ini) {
    const std::string addresses = ini.getValue("Address", Section);
    const std::string text = ini.getValue("Text", Section);
    const int interval = SettingText::toInt(ini.getValue("Interval", Section));
    const bool sendIfChanged = SettingText::containsTrue(ini.getValue("SendIfChanged", Section));
    const bool send = SettingText::containsTrue(ini.getValue("Send", Section));
    setSettings(send, sendIfChanged, interval, std::string_view(addresses), std::string_view(text));
}

void SmsReporter::saveSettings(IniFile& ini) const {
    std::string text, addresses;
    bool send, sendIfChanged;
    int interval;
    {
        std::lock_guard lock(mutex_);
        text = text_;
        send = send_;
        sendIfChanged = sendIfChanged_;
        interval = interval_;
    }
    addresses = this->addresses();
    ini.setValue("Text", text, Section);
    ini.setValue("Send", SettingText::flag(send), Section);
    ini.setValue("SendIfChanged", SettingText::flag(sendIfChanged), Section);
    ini.setValue("Interval", std::to_string(interval), Section);
    ini.setValue("Address", addresses, Section);
}

bool SmsReporter::send() const {
    std::lock_guard lock(mutex_);
    return send_;
}

bool SmsReporter::sendIfChanged() const {
    std::lock_guard lock(mutex_);
    return sendIfChanged_;
}

int SmsReporter::interval() const {
    std::lock_guard lock(mutex_);
    return interval_;
}

std::string SmsReporter::text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

std::string SmsReporter::addresses() const {
    std::lock_guard lock(mutex_);
    std::string joined;
    for (size_t i = 0; i < addresses_.size(); ++i) {
        if (i > 0) joined += ',';
        joined += addresses_[i];
    }
    return joined;
}

void SmsReporter::setSettings(bool send, bool sendIfChanged, int interval, std::string_view addresses,
                              std::string_view text) {
    std::vector<std::string> list = splitAddresses(addresses);
    std::lock_guard lock(mutex_);
    send_ = send;
    sendIfChanged_ = sendIfChanged;
    interval_ = interval;
    addresses_ = std::move(list);
    text_ = text;
}

void SmsReporter::setSettings(bool send, bool sendIfChanged, int interval, const wchar_t* addresses,
                              const wchar_t* text) {
    const std::string addressesUtf8 = Utf8::fromWide(addresses ? addresses : L"");
    const std::string textUtf8 = Utf8::fromWide(text ? text : L"");
    setSettings(send, sendIfChanged, interval, std::string_view(addressesUtf8), std::string_view(textUtf8));
}

}  // namespace movira
