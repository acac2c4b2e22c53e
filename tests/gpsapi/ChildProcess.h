// A program the test runs beside itself (gpsd, nmea-replay). Its standard output can be read line
// by line; its standard error is dropped. It is ended when the object goes, also when a test
// fails, and it gets SIGTERM by itself should the test process die first.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace movira::test {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& arguments) {
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec: the test has threads.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(127);
            dup2(out[1], STDOUT_FILENO);
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0) dup2(null, STDERR_FILENO);
            close_range(3, ~0u, 0);  // nothing of the test's (sockets, terminals) lives on in the child
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~ChildProcess() {
        terminate();
        if (out_ >= 0) close(out_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // The next line of its output, without the line end; nothing on time-out or end of output.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (const size_t end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            pollfd readable{out_, POLLIN, 0};
            if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
                return std::nullopt;
            }
            char chunk[256];
            const ssize_t got = read(out_, chunk, sizeof chunk);
            if (got <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<size_t>(got));
        }
    }

    // True once it has ended on its own (waiting up to `wait` for that).
    bool hasExited(std::chrono::milliseconds wait = std::chrono::milliseconds(0)) {
        const auto until = std::chrono::steady_clock::now() + wait;
        for (;;) {
            if (reap(WNOHANG)) return true;
            if (std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // SIGTERM, and SIGKILL when that is not enough within two seconds.
    void terminate() {
        if (pid_ <= 0 || exited_) return;
        kill(pid_, SIGTERM);
        if (hasExited(std::chrono::seconds(2))) return;
        kill(pid_, SIGKILL);
        reap(0);
    }

private:
    bool reap(int options) {
        if (pid_ <= 0 || exited_) return true;
        int status = 0;
        const pid_t done = waitpid(pid_, &status, options);
        if (done == pid_ || (done < 0 && errno != EINTR)) exited_ = true;
        return exited_;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    std::string buffer_;
};

}  // namespace movira::test
