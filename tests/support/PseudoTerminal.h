// A pseudo-terminal standing in for a receiver on a serial line: the test writes
// into the master side, the code under test opens the slave path as its port.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <string_view>

namespace movira::test {

class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const char* name = ptsname(master_);
        if (name) slavePath_ = name;
        termios raw{};
        if (tcgetattr(master_, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(master_, TCSANOW, &raw);
        }
        // Held open so that bytes written before the port is opened are kept, not lost.
        keeper_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
    }
    ~PseudoTerminal() { hangUp(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
    const std::string& path() const { return slavePath_; }

    bool write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(master_, bytes.data(), bytes.size());
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<size_t>(n));
        }
        return true;
    }

    // The receiver goes away: the port's reader sees a hang-up.
    void hangUp() {
        if (keeper_ >= 0) close(keeper_);
        if (master_ >= 0) close(master_);
        keeper_ = master_ = -1;
    }

    // The speed the line is set to now, as the port sees it.
    speed_t speed() const {
        termios settings{};
        tcgetattr(keeper_, &settings);
        return cfgetispeed(&settings);
    }
    termios settings() const {
        termios settings{};
        tcgetattr(keeper_, &settings);
        return settings;
    }

private:
    int master_ = -1;
    int keeper_ = -1;
    std::string slavePath_;
};

}  // namespace movira::test
