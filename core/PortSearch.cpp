#include "core/PortSearch.h"

#include "core/NmeaTalkers.h"

#include <iterator>

namespace movira {

PortSearch::PortSearch(std::vector<std::string> ports, PortFactory makePort, std::chrono::milliseconds silenceLimit,
                       bool tryOtherSpeeds)
    : ports_(std::move(ports)), makePort_(std::move(makePort)), silenceLimit_(silenceLimit),
      tryOtherSpeeds_(tryOtherSpeeds) {
    gathered_.reserve(GiveUpAfter + ReadSize + 1);
    if (ports_.empty()) finished_ = true;
}

PortSearch::~PortSearch() {
    if (port_) port_->close();
}

const std::string& PortSearch::currentPort() const {
    static const std::string none;
    return index_ < ports_.size() ? ports_[index_] : none;
}

void PortSearch::cancel() {
    cancelled_ = true;
    finished_ = true;
    if (port_) port_->close();
    port_.reset();
}

void PortSearch::openCurrent() {
    started_ = true;
    gathered_.clear();
    speedTry_ = -1;
    lastBytes_ = std::chrono::steady_clock::now();
    port_ = makePort_ ? makePort_() : nullptr;
    // A port that cannot be opened (absent, not ours, held by the running reader) is skipped.
    if (port_ && !port_->open(ports_[index_])) port_.reset();
}

void PortSearch::nextPort() {
    if (port_) port_->close();
    port_.reset();
    started_ = false;
    if (index_ + 1 >= ports_.size()) {
        finished_ = true;
        return;
    }
    ++index_;
}

void PortSearch::onBytesWithoutSentence() {
    // Text of another talker means the speed is right and the receiver is not one for us; bytes
    // that are not text may be a receiver at another speed.
    const bool anotherSpeed = tryOtherSpeeds_ && !looksLikeText(gathered_) &&
                              speedTry_ + 1 < static_cast<int>(std::size(ProbeSpeeds));
    if (!anotherSpeed) {
        nextPort();
        return;
    }
    ++speedTry_;
    while (speedTry_ < static_cast<int>(std::size(ProbeSpeeds)) && !port_->setBaudRate(ProbeSpeeds[speedTry_])) {
        ++speedTry_;
    }
    if (speedTry_ >= static_cast<int>(std::size(ProbeSpeeds))) {
        nextPort();
        return;
    }
    gathered_.clear();
    lastBytes_ = std::chrono::steady_clock::now();
}

bool PortSearch::step(std::chrono::milliseconds wait) {
    if (finished_) return false;
    if (!started_) {
        openCurrent();
        if (!port_) nextPort();
        return !finished_;
    }
    char buffer[ReadSize];
    size_t count = 0;
    const auto result = port_->read(buffer, sizeof buffer, count, wait);
    if (result == SerialPort::ReadResult::Vanished) {
        nextPort();
        return !finished_;
    }
    const auto now = std::chrono::steady_clock::now();
    if (result == SerialPort::ReadResult::Nothing || count == 0) {
        if (now - lastBytes_ >= silenceLimit_) nextPort();
        return !finished_;
    }
    lastBytes_ = now;
    gathered_.append(buffer, count);
    // The whole gathered text is searched each time: a prefix split across two reads is found.
    if (NmeaTalkers::containsSentenceStart(gathered_)) {
        found_ = ports_[index_];
        foundSpeed_ = speedTry_ >= 0 ? ProbeSpeeds[speedTry_] : 0;
        port_->close();
        port_.reset();
        finished_ = true;
        return false;
    }
    if (gathered_.size() > GiveUpAfter) onBytesWithoutSentence();
    return !finished_;
}

bool PortSearch::looksLikeText(const std::string& bytes) {
    if (bytes.find('$') == std::string::npos) return false;
    if (bytes.find_first_of("\r\n") == std::string::npos) return false;
    size_t printable = 0;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 0x20 && u < 0x7f) || u == '\r' || u == '\n') ++printable;
    }
    return printable * 10 >= bytes.size() * 9;
}

}  // namespace movira
