// A program the test runs beside itself (the program under test, nmea-replay, gpsd). Either its
// standard output can be read line by line (standard error dropped), or both go to a file. The
// environment is the test's, with changes. It is ended when the object goes (SIGTERM, then
// SIGKILL), also when a test fails, and it gets SIGTERM by itself should the test process die first.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace movira::test {

class ChildProcess {
public:
    // Changes to the test's environment: a value sets a variable, nothing removes it.
    using Environment = std::map<std::string, std::optional<std::string>>;

    // Standard output readable with readLine; standard error dropped.
    explicit ChildProcess(const std::vector<std::string>& arguments) { start(arguments, {}, {}); }
    // Standard output and error both go to `output`.
    ChildProcess(const std::vector<std::string>& arguments, const Environment& changes,
                 const std::filesystem::path& output)
        : output_(output) {
        start(arguments, changes, output);
    }
    ~ChildProcess() {
        terminate();
        if (out_ >= 0) close(out_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line of its output, without the line end; nothing on time-out or end of output.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout) {
        if (out_ < 0) return std::nullopt;
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

    // Its exit status once it has ended within `limit` (128 + the signal for a death by a
    // signal); nothing if it still runs.
    std::optional<int> wait(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (reap(WNOHANG)) return status_;
            if (std::chrono::steady_clock::now() >= until) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // True once it has ended (waiting up to `limit` for that).
    bool hasExited(std::chrono::milliseconds limit = std::chrono::milliseconds(0)) { return wait(limit).has_value(); }

    // Sends a signal; SIGKILL also waits for the end.
    void kill(int signal) {
        if (pid_ <= 0 || exited_) return;
        ::kill(pid_, signal);
        if (signal == SIGKILL) reap(0);
    }
    // SIGTERM, and SIGKILL when that is not enough within two seconds.
    void terminate() {
        if (pid_ <= 0 || exited_) return;
        ::kill(pid_, SIGTERM);
        if (hasExited(std::chrono::seconds(2))) return;
        kill(SIGKILL);
    }

    // Bytes it has handed to write() so far (its "wchar"); nothing when that cannot be read.
    std::optional<long long> bytesWritten() const {
        std::ifstream io("/proc/" + std::to_string(pid_) + "/io");
        for (std::string name; io >> name;) {
            long long value = 0;
            io >> value;
            if (name == "wchar:") return value;
        }
        return std::nullopt;
    }
    // What it wrote to its output file so far.
    std::string output() const {
        std::ostringstream content;
        content << std::ifstream(output_, std::ios::binary).rdbuf();
        return content.str();
    }

private:
    void start(const std::vector<std::string>& arguments, const Environment& changes,
               const std::filesystem::path& output) {
        // Everything the child needs is made before the fork: only async-signal-safe calls
        // lie between fork and exec, since the test has threads.
        std::map<std::string, std::string> variables;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            const size_t equals = text.find('=');
            if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        for (const auto& [name, value] : changes) {
            if (value) variables[name] = *value;
            else variables.erase(name);
        }
        std::vector<std::string> environment;
        for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::vector<std::string> args = arguments;
        std::vector<char*> argv;
        for (std::string& argument : args) argv.push_back(argument.data());
        argv.push_back(nullptr);

        int target = -1;  // where standard output (and maybe error) goes in the child
        int out[2] = {-1, -1};
        if (output.empty()) {
            if (pipe2(out, O_CLOEXEC) != 0) return;
            target = out[1];
        } else {
            target = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (target < 0) return;
        }
        const bool outputToFile = !output.empty();
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(127);
            dup2(target, STDOUT_FILENO);
            if (outputToFile) {
                dup2(target, STDERR_FILENO);
            } else {
                const int null = open("/dev/null", O_WRONLY);
                if (null >= 0) dup2(null, STDERR_FILENO);
            }
            const int input = open("/dev/null", O_RDONLY);
            if (input >= 0) dup2(input, STDIN_FILENO);
            close_range(3, ~0u, 0);  // nothing of the test's (sockets, terminals) lives on in the child
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(target);
        if (!outputToFile) out_ = out[0];
    }

    bool reap(int options) {
        if (pid_ <= 0 || exited_) return true;
        int status = 0;
        const pid_t done = waitpid(pid_, &status, options);
        if (done == pid_) {
            exited_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else if (done < 0 && errno != EINTR) {
            exited_ = true;
        }
        return exited_;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    int status_ = -1;
    std::string buffer_;
    std::filesystem::path output_;
};

}  // namespace movira::test
