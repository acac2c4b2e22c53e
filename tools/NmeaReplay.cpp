#include "tools/NmeaReplay.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace movira {
namespace {

// RMC times further apart than this are a jump in the log, not a pause to reproduce.
constexpr double maxPacedGap = 60.0;
// How long the input queue must stay empty before the reader counts as having taken everything.
constexpr int emptyChecksToFinish = 3;
constexpr int checkIntervalMs = 5;
constexpr int idleCheckIntervalMs = 100;

constexpr std::array stopSignals{SIGINT, SIGTERM, SIGHUP};

// Written by the signal handler only; run() polls the other end so a signal cuts any wait short.
int stopWriteFd = -1;
struct sigaction previousActions[stopSignals.size()];
struct sigaction previousPipeAction;

void onStopSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(stopWriteFd, &byte, 1);
    errno = savedErrno;
}

bool setFlags(int fd, int statusFlags) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | statusFlags) == 0 && fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// Field `index` of a sentence (0 is the identifier), without the checksum.
std::optional<std::string_view> field(std::string_view line, int index) {
    line = line.substr(0, line.find('*'));
    for (int i = 0; i < index; ++i) {
        const size_t comma = line.find(',');
        if (comma == std::string_view::npos) return std::nullopt;
        line.remove_prefix(comma + 1);
    }
    return line.substr(0, line.find(','));
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

int twoDigits(std::string_view text, size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); }

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

NmeaReplay::NmeaReplay(Options options) : options_(std::move(options)) {}

NmeaReplay::~NmeaReplay() {
    removeLink();
    stopSignalHandling();
    for (const int fd : logFds_) close(fd);
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

std::optional<double> NmeaReplay::rmcTime(std::string_view line) {
    // "$ttRMC,": a 'P' in front would make it proprietary, such as Garmin's $PGRMC.
    if (line.size() < 7 || line[0] != '$' || line.substr(3, 4) != "RMC,") return std::nullopt;
    if (!isUpper(line[1]) || !isUpper(line[2]) || line[1] == 'P') return std::nullopt;
    const auto time = field(line, 1);
    const auto date = field(line, 9);
    if (!time || !date || time->size() < 6 || date->size() != 6 || !allDigits(*date)) return std::nullopt;
    const std::string_view hms = time->substr(0, 6);
    const std::string_view fraction = time->substr(6);
    if (!allDigits(hms) || (!fraction.empty() && (fraction[0] != '.' || !allDigits(fraction.substr(1))))) {
        return std::nullopt;
    }
    const int hours = twoDigits(hms, 0), minutes = twoDigits(hms, 2), seconds = twoDigits(hms, 4);
    if (hours > 23 || minutes > 59 || seconds > 60) return std::nullopt;

    // Two-digit years: receivers are younger than 1980, the start of GPS time.
    const int yy = twoDigits(*date, 4);
    const std::chrono::year_month_day day{std::chrono::year{yy < 80 ? 2000 + yy : 1900 + yy},
                                          std::chrono::month{static_cast<unsigned>(twoDigits(*date, 2))},
                                          std::chrono::day{static_cast<unsigned>(twoDigits(*date, 0))}};
    if (!day.ok()) return std::nullopt;
    double result = static_cast<double>(std::chrono::sys_days{day}.time_since_epoch().count()) * 86400.0;
    result += hours * 3600.0 + minutes * 60.0 + seconds;
    double unit = 0.1;
    for (const char digit : fraction.substr(std::min<size_t>(1, fraction.size()))) {
        result += (digit - '0') * unit;
        unit /= 10;
    }
    return result;
}

int NmeaReplay::run() {
    const bool ready = startSignalHandling() && openLogs() && openTerminal() && makeLink();
    if (ready) {
        const std::string announcement = slavePath_ + "\n";
        std::fputs(announcement.c_str(), stdout);
        std::fflush(stdout);

        bool firstPass = true;
        bool playing = true;
        while (playing) {
            const uint64_t sentBefore = bytesSent_;
            for (const int fd : logFds_) {
                playing = playLog(fd, !firstPass);
                if (!playing) break;
            }
            firstPass = false;
            playing = playing && options_.loop;
            // Logs with nothing to send must not make the loop spin.
            if (playing && bytesSent_ == sentBefore) playing = waitForEvents(1000, false);
        }
        if (!stopped_ && !failed_) waitUntilRead();
    }
    removeLink();
    stopSignalHandling();
    return failed_ ? 1 : 0;
}

bool NmeaReplay::openLogs() {
    for (const std::string& path : options_.logs) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail("cannot open " + path, errno);
        logFds_.push_back(fd);
        struct stat info{};
        if (fstat(fd, &info) != 0) return fail("cannot read " + path, errno);
        if (S_ISDIR(info.st_mode)) return fail("cannot read " + path, EISDIR);
    }
    return true;
}

bool NmeaReplay::openTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return fail("cannot open a pseudo-terminal", errno);
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        return fail("cannot unlock the pseudo-terminal", errno);
    }
    const char* name = ptsname(master_);
    if (name == nullptr) return fail("cannot name the pseudo-terminal", errno);
    slavePath_ = name;
    if (!setFlags(master_, O_NONBLOCK)) return fail("cannot set up the pseudo-terminal", errno);

    slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) return fail("cannot open " + slavePath_, errno);
    // Raw, like a serial line: the bytes must reach the reader unchanged and nothing may echo back.
    termios settings{};
    if (tcgetattr(slave_, &settings) != 0) return fail("cannot read the terminal settings", errno);
    settings.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (tcsetattr(slave_, TCSANOW, &settings) != 0) return fail("cannot make the terminal raw", errno);
    return true;
}

bool NmeaReplay::startSignalHandling() {
    if (pipe(stopPipe_) != 0) return fail("cannot create a pipe", errno);
    if (!setFlags(stopPipe_[0], O_NONBLOCK) || !setFlags(stopPipe_[1], O_NONBLOCK)) {
        return fail("cannot set up a pipe", errno);
    }
    stopWriteFd = stopPipe_[1];
    struct sigaction action{};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < stopSignals.size(); ++i) sigaction(stopSignals[i], &action, &previousActions[i]);
    // Write errors (a reader of stdout gone) are handled where they happen.
    struct sigaction ignore{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previousPipeAction);
    signalsInstalled_ = true;
    return true;
}

void NmeaReplay::stopSignalHandling() {
    if (signalsInstalled_) {
        for (size_t i = 0; i < stopSignals.size(); ++i) {
            sigaction(stopSignals[i], &previousActions[i], nullptr);
        }
        sigaction(SIGPIPE, &previousPipeAction, nullptr);
        signalsInstalled_ = false;
        stopWriteFd = -1;
    }
    for (int& fd : stopPipe_) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

bool NmeaReplay::makeLink() {
    if (options_.link.empty()) return true;
    const std::string& link = options_.link;
    struct stat info{};
    if (lstat(link.c_str(), &info) == 0) {
        // An old link (ours from an earlier run, say) may go; anything else is somebody's file.
        if (!S_ISLNK(info.st_mode)) return fail("will not replace " + link + ": it is not a symbolic link");
        if (unlink(link.c_str()) != 0) return fail("cannot remove the old link " + link, errno);
    }
    if (symlink(slavePath_.c_str(), link.c_str()) != 0) return fail("cannot create the link " + link, errno);
    linkMade_ = true;
    return true;
}

void NmeaReplay::removeLink() {
    if (!linkMade_) return;
    linkMade_ = false;
    // Someone may have pointed it elsewhere meanwhile; then it is no longer ours to remove.
    std::string target(slavePath_.size() + 1, '\0');
    const ssize_t length = readlink(options_.link.c_str(), target.data(), target.size());
    if (length >= 0 && static_cast<size_t>(length) == slavePath_.size() &&
        target.compare(0, slavePath_.size(), slavePath_) == 0) {
        unlink(options_.link.c_str());
    }
}

bool NmeaReplay::playLog(int fd, bool rewind) {
    if (rewind && lseek(fd, 0, SEEK_SET) != 0) return fail("cannot read a log again from its start", errno);
    std::string line;
    bool afterCr = false;  // a CR LF pair is one line end
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            if (waitForEvents(0, false)) continue;
            return false;
        }
        if (got < 0) return fail("cannot read a log", errno);
        if (got == 0) break;
        const char* begin = buffer;
        const char* const end = buffer + got;
        while (begin < end) {
            if (afterCr && *begin == '\n') ++begin;
            afterCr = false;
            const char* lineEnd = std::find_if(begin, end, [](char c) { return c == '\n' || c == '\r'; });
            line.append(begin, lineEnd);
            if (lineEnd == end) break;
            afterCr = *lineEnd == '\r';
            if (!sendLine(line)) return false;
            line.clear();
            begin = lineEnd + 1;
        }
    }
    return sendLine(line);  // a last line without a line end is still a line
}

bool NmeaReplay::sendLine(std::string_view line) {
    if (line.empty() || line[0] == '#') return true;
    const std::optional<double> time = options_.speed > 0 ? rmcTime(line) : std::nullopt;
    if (time && lastRmcTime_) {
        const double gap = *time - *lastRmcTime_;
        if (gap > 0 && gap <= maxPacedGap) {
            // Bounded so that a tiny speed cannot overflow the clock.
            const auto wait = std::chrono::duration<double>(std::min(gap / options_.speed, 1e9));
            if (!sleepUntil(lastRmcSent_ + std::chrono::duration_cast<Clock::duration>(wait))) return false;
        }
    }
    std::string bytes;
    bytes.reserve(line.size() + 2);
    bytes.append(line).append("\r\n");
    if (!writeAll(bytes)) return false;
    if (time) {
        lastRmcTime_ = time;
        lastRmcSent_ = Clock::now();
    }
    return true;
}

bool NmeaReplay::writeAll(std::string_view bytes) {
    bool pauseNext = false;
    while (!bytes.empty()) {
        const ssize_t written = write(master_, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<size_t>(written));
            bytesSent_ += static_cast<uint64_t>(written);
            pauseNext = false;
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return fail("cannot write to the terminal", errno);
        }
        // Full: wait for room. Should poll call it writable while it is not, pause instead of spinning.
        if (!waitForEvents(pauseNext ? checkIntervalMs : 1000, !pauseNext)) return false;
        pauseNext = !pauseNext;
    }
    return true;
}

bool NmeaReplay::sleepUntil(Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return true;
        if (!waitForEvents(static_cast<int>(std::min<long long>(left, 1000)), false)) return false;
    }
}

bool NmeaReplay::waitUntilRead() {
    int emptyChecks = 0;
    int lastQueued = -1;
    int interval = checkIntervalMs;
    while (emptyChecks < emptyChecksToFinish) {
        if (!waitForEvents(interval, false)) return false;
        // Polling our descriptor first pushes bytes still on their way into the queue that FIONREAD counts.
        pollfd input{slave_, POLLIN, 0};
        poll(&input, 1, 0);
        int queued = 0;
        if (ioctl(slave_, FIONREAD, &queued) != 0) return fail("cannot see what the reader has taken", errno);
        emptyChecks = queued == 0 ? emptyChecks + 1 : 0;
        // Nobody reading: no need to look as often.
        const bool idle = queued == lastQueued && queued > 0;
        interval = idle ? std::min(interval * 2, idleCheckIntervalMs) : checkIntervalMs;
        lastQueued = queued;
    }
    return true;
}

bool NmeaReplay::waitForEvents(int timeoutMs, bool writable) {
    const short masterEvents = static_cast<short>(POLLIN | (writable ? POLLOUT : 0));
    pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {master_, masterEvents, 0}};
    if (poll(fds, 2, timeoutMs) < 0) {
        // Interrupted by a signal: the callers poll again, and then see the stop if it was one.
        return errno == EINTR || fail("cannot wait for the terminal", errno);
    }
    if (fds[0].revents != 0) {
        stopped_ = true;
        return false;
    }
    if (fds[1].revents & POLLIN) discardReaderInput();
    return true;
}

void NmeaReplay::discardReaderInput() {
    // A receiver ignores what it does not understand; unread, the reader's writes would block it.
    char buffer[4096];
    for (int i = 0; i < 16 && read(master_, buffer, sizeof buffer) > 0; ++i) {
    }
}

bool NmeaReplay::fail(const std::string& what, int error) {
    std::string message = "nmea-replay: " + what;
    if (error != 0) message += std::string(": ") + std::strerror(error);
    std::cerr << message << '\n';
    failed_ = true;
    return false;
}

}  // namespace movira
