// Plays recorded NMEA logs into a pseudo-terminal the way a GPS receiver sends them on a serial line.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace movira {

class NmeaReplay {
public:
    struct Options {
        std::vector<std::string> logs;
        double speed = 1.0;  // 1 is real time, 2 twice as fast, 0 no pacing at all
        bool loop = false;   // start again from the first log after the last, until stopped
        std::string link;    // a symbolic link to make to the terminal; empty for none
    };

    explicit NmeaReplay(Options options);
    ~NmeaReplay();
    NmeaReplay(const NmeaReplay&) = delete;
    NmeaReplay& operator=(const NmeaReplay&) = delete;

    // Prints the terminal's path on stdout, then plays the logs until a reader has taken every byte
    // (never, with loop) or SIGINT/SIGTERM/SIGHUP arrives. Returns the exit status: 0, or 1 after an
    // error reported on stderr. Handles those signals while it runs.
    int run();

    // Seconds since 1970 of an RMC sentence (any two-letter talker) from its time and date fields;
    // nothing when the line is not one or either field cannot be read.
    static std::optional<double> rmcTime(std::string_view line);

private:
    using Clock = std::chrono::steady_clock;

    bool openLogs();
    bool openTerminal();
    bool startSignalHandling();
    void stopSignalHandling();
    bool makeLink();
    void removeLink();
    bool playLog(int fd, bool rewind);
    bool sendLine(std::string_view line);
    bool writeAll(std::string_view bytes);
    bool sleepUntil(Clock::time_point deadline);
    bool waitUntilRead();
    bool waitForEvents(int timeoutMs, bool writable);
    void discardReaderInput();
    bool fail(const std::string& what, int error = 0);

    Options options_;
    std::vector<int> logFds_;
    int master_ = -1;
    int slave_ = -1;  // our own descriptor: keeps unread bytes and lets us see what is still queued
    std::string slavePath_;
    int stopPipe_[2] = {-1, -1};
    bool signalsInstalled_ = false;
    bool linkMade_ = false;
    bool stopped_ = false;
    bool failed_ = false;
    uint64_t bytesSent_ = 0;

    std::optional<double> lastRmcTime_;
    Clock::time_point lastRmcSent_{};
};

}  // namespace movira
