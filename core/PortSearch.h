// Finds the serial port a GPS receiver answers on: opens each port in turn, reads it in
// 64-byte pieces and looks for the start of a sentence of a talker the reader takes. Runs in
// small steps, so that a dialog can run it on its own thread between its events; a step waits
// for bytes at most as long as its caller says. Changes no setting: it only reports the port,
// and the speed when it had to change it to understand the receiver. One thread at a time.
#pragma once

#include "platform/SerialPort.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace movira {

class PortSearch {
public:
    using PortFactory = std::function<std::unique_ptr<SerialPort>()>;

    static constexpr size_t ReadSize = 64;       // bytes asked for by one read
    static constexpr size_t GiveUpAfter = 960;   // bytes without a sentence start that end a try
    // A port that sends nothing for this long is given up (receivers talk at least once a second).
    static constexpr std::chrono::milliseconds DefaultSilenceLimit{2000};
    // The usual receiver speeds (bit/s), tried in turn on a port whose bytes are not NMEA text.
    static constexpr int ProbeSpeeds[] = {4800, 9600, 38400, 115200};

    explicit PortSearch(std::vector<std::string> ports, PortFactory makePort = SerialPort::create,
                        std::chrono::milliseconds silenceLimit = DefaultSilenceLimit, bool tryOtherSpeeds = true);
    ~PortSearch();
    PortSearch(const PortSearch&) = delete;
    PortSearch& operator=(const PortSearch&) = delete;

    // One step: opens the next port, or reads the current one once, waiting at most `wait` for
    // bytes. False once the search is over (found, every port tried, or cancelled).
    bool step(std::chrono::milliseconds wait);
    void cancel();

    bool finished() const { return finished_; }
    bool cancelled() const { return cancelled_; }
    size_t portCount() const { return ports_.size(); }
    // 0-based index of the port being tried (or last tried).
    size_t currentIndex() const { return index_; }
    const std::string& currentPort() const;
    // Empty until a port answered.
    const std::string& foundPort() const { return found_; }
    // The speed the port answered at after the search changed it; 0 when it answered as it was.
    int foundSpeed() const { return foundSpeed_; }

    // Whether the bytes read as NMEA text at this speed: a "$", a line end, and printable text.
    static bool looksLikeText(const std::string& bytes);

private:
    void openCurrent();
    void nextPort();
    void onBytesWithoutSentence();

    const std::vector<std::string> ports_;
    const PortFactory makePort_;
    const std::chrono::milliseconds silenceLimit_;
    const bool tryOtherSpeeds_;
    std::unique_ptr<SerialPort> port_;
    size_t index_ = 0;
    bool started_ = false;  // the port at index_ has been opened (or tried)
    std::string gathered_;
    std::chrono::steady_clock::time_point lastBytes_;
    int speedTry_ = -1;  // index into ProbeSpeeds of the speed set now; -1 while the port's own
    std::string found_;
    int foundSpeed_ = 0;
    bool finished_ = false;
    bool cancelled_ = false;
};

}  // namespace movira
