// The program itself, run as a child process on Qt's offscreen platform: its command line,
// one copy per user, closing on signals with the settings saved, and the page snapshots.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace movira::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kProgram = MOVIRA_BIN_DIR "/Speedometer";
// Generous: the machine may be busy, or the program run under a sanitizer.
constexpr auto kExitWait = 20s;

// A folder of its own for one test, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "movira-program-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string sub(const std::string& name) const {
        fs::create_directories(path_ / name);
        return (path_ / name).string();
    }

private:
    fs::path path_;
};

// The program in a child process, its output and error output collected. It is killed
// when the object goes, and by the kernel should the test process die first.
class Program {
public:
    Program(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
        std::vector<std::string> argumentsWithProgram{kProgram};
        argumentsWithProgram.insert(argumentsWithProgram.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : argumentsWithProgram) argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::vector<std::string> env(environment);
        std::vector<char*> envp;
        for (std::string& entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);

        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        if (pipe2(err, O_CLOEXEC) != 0) {
            close(out[0]);
            close(out[1]);
            return;
        }
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec: the test has threads.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            const int null = open("/dev/null", O_RDONLY);
            if (null >= 0) dup2(null, STDIN_FILENO);
            close_range(3, ~0u, 0);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        if (pid_ < 0) {
            close(out[0]);
            close(err[0]);
            return;
        }
        out_ = out[0];
        err_ = err[0];
    }
    ~Program() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        if (out_ >= 0) close(out_);
        if (err_ >= 0) close(err_);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The exit code once it has ended (128 + signal when a signal ended it); nothing while
    // it still runs after `wait`.
    std::optional<int> exitCode(std::chrono::milliseconds wait) {
        const auto until = std::chrono::steady_clock::now() + wait;
        for (;;) {
            drain(10);
            if (reap()) break;
            if (std::chrono::steady_clock::now() >= until) return std::nullopt;
        }
        drain(0);
        return status_;
    }
    bool isRunning() { return !exitCode(0ms); }
    void signal(int number) {
        if (pid_ > 0 && !status_) kill(pid_, number);
    }
    // True once the program has its own handler for `number` (it is past that point of its start).
    bool catches(int number) const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("SigCgt:", 0) != 0) continue;
            const uint64_t mask = std::strtoull(line.c_str() + 7, nullptr, 16);
            return (mask >> (number - 1)) & 1;
        }
        return false;
    }

    const std::string& out() const { return outText_; }
    const std::string& err() const { return errText_; }

private:
    bool reap() {
        if (pid_ <= 0) return true;
        if (status_) return true;
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done != pid_) return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }
    // Reads what is there, waiting up to `ms` for something.
    void drain(int ms) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (poll(fds, 2, ms) <= 0) return;
        char chunk[4096];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
            if (got > 0) (i == 0 ? outText_ : errText_).append(chunk, static_cast<size_t>(got));
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::optional<int> status_;
    std::string outText_;
    std::string errText_;
};

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The file's lines without the blanks around them (active lines are written indented).
std::vector<std::string> trimmedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t first = line.find_first_not_of(" \t\r");
        const size_t last = line.find_last_not_of(" \t\r");
        lines.push_back(first == std::string::npos ? std::string() : line.substr(first, last - first + 1));
    }
    return lines;
}

// Width and height from a PNG file's header; nothing when it is no PNG.
std::optional<std::pair<uint32_t, uint32_t>> pngSize(const fs::path& path) {
    const std::string bytes = readFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0) {
        return std::nullopt;
    }
    auto bigEndian = [&](size_t at) {
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return std::pair{bigEndian(16), bigEndian(20)};
}

// One program run's surroundings: a private runtime and temporary folder (so that the
// one-copy check of other runs is not seen), a home with settings that use no GPS source,
// and no display, screen saver or gpsd of the machine.
class ProgramTest : public testing::Test {
protected:
    ProgramTest() {
        runtime = root.sub("runtime");
        chmod(runtime.c_str(), 0700);
        home = root.sub("home");
        writeSettings(home);
    }

    static void writeSettings(const std::string& folder) {
        std::ofstream ini(fs::path(folder) / "Speedometer.ini");
        ini << "[Main]\nUseGPSAPI=false\nCOMPort=\n";
    }

    // The test's own environment without what could reach the machine's services, plus ours.
    std::vector<std::string> environment(const std::string& platform = "offscreen") const {
        const char* const replaced[] = {"QT_QPA_PLATFORM", "XDG_RUNTIME_DIR", "TMPDIR", "MOVIRA_HOME", "GPSD_HOST",
                                        "GPSD_PORT", "DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY",
                                        "MOVIRA_POWER_SUPPLY_DIR", "TSAN_OPTIONS"};
        std::vector<std::string> env;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            const std::string name = text.substr(0, text.find('='));
            bool keep = true;
            for (const char* drop : replaced) keep = keep && name != drop;
            if (keep) env.push_back(text);
        }
        env.push_back("QT_QPA_PLATFORM=" + platform);
        env.push_back("XDG_RUNTIME_DIR=" + runtime);
        env.push_back("TMPDIR=" + runtime);
        env.push_back("GPSD_HOST=127.0.0.1");
        env.push_back("GPSD_PORT=1");  // nobody listens there
        env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtime + "/no-bus");
        env.push_back("MOVIRA_POWER_SUPPLY_DIR=" + root.sub("power"));
        // Under ThreadSanitizer, a race in the program ends it with 66, which fails the test;
        // Qt's libraries are not built for it, so whole-program runs take their suppressions.
        env.push_back("TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=" MOVIRA_SOURCE_DIR
                      "/tests/tsan-qt.supp");
        return env;
    }
    std::vector<std::string> windowed(const std::string& homeFolder, std::vector<std::string> more = {}) const {
        std::vector<std::string> arguments{"--home", homeFolder, "--windowed", "480x800"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }
    // Waits until the program has set up its signal handling, which comes after the one-copy check.
    static bool waitUntilListening(Program& program) {
        const auto until = std::chrono::steady_clock::now() + kExitWait;
        while (std::chrono::steady_clock::now() < until) {
            if (program.catches(SIGTERM) && program.catches(SIGINT) && program.catches(SIGHUP)) return true;
            if (!program.isRunning()) return false;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    // The settings file as saved at exit: every "Main" key and the pages' sections.
    static void expectSavedSettings(const std::string& folder) {
        const std::string ini = readFile(fs::path(folder) / "Speedometer.ini");
        const std::vector<std::string> lines = trimmedLines(ini);
        auto hasLine = [&](const std::string& start) {
            for (const std::string& line : lines) {
                if (line.rfind(start, 0) == 0) return true;
            }
            return false;
        };
        EXPECT_TRUE(hasLine("[Main]")) << ini;
        for (const char* key : {"TrackFolder", "COMPort", "COMPortBaudRate", "EnableKMLTrack", "EnableGPXTrack",
                                "AlwaysOn", "UseGPSAPI", "LastCurrentWidget"}) {
            EXPECT_TRUE(hasLine(std::string(key) + "=")) << key << "\n" << ini;
        }
        EXPECT_TRUE(hasLine("UseGPSAPI=false")) << ini;
        EXPECT_TRUE(hasLine("[FullScreenSpeedWidget]")) << ini;
    }

    TempDir root;
    std::string runtime;
    std::string home;
};

TEST_F(ProgramTest, HelpAndVersionNeedNoDisplay) {
    ASSERT_TRUE(fs::exists(kProgram)) << kProgram;
    // A platform that does not exist: the program would abort if it opened a window.
    const auto env = environment("no-such-platform");
    for (const char* option : {"--help", "-h"}) {
        Program help({option}, env);
        ASSERT_TRUE(help.started());
        EXPECT_EQ(help.exitCode(kExitWait), 0) << help.err();
        EXPECT_EQ(help.out().rfind("Usage: Speedometer", 0), 0u) << help.out();
        EXPECT_NE(help.out().find("--windowed WxH"), std::string::npos);
        EXPECT_EQ(help.err(), "");
    }
    Program version({"--version"}, env);
    EXPECT_EQ(version.exitCode(kExitWait), 0) << version.err();
    EXPECT_EQ(version.out().rfind("Speedometer (Movira) ", 0), 0u) << version.out();
    EXPECT_EQ(version.err(), "");
}

TEST_F(ProgramTest, ABadCommandLineEndsWithTwoAndSaysWhy) {
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--bogus"}, "Speedometer: unknown option: --bogus"},
        {{"--windowed", "0x10"}, "Speedometer: --windowed needs a size"},
        {{"--quit-after", "-1"}, "Speedometer: --quit-after needs a number"},
        {{"--quit-after", "3000000"}, "Speedometer: --quit-after needs a number"},  // beyond any timer
        {{"--home"}, "Speedometer: --home needs a folder"},
        {{"--help", "--bogus"}, "Speedometer: unknown option: --bogus"},
    };
    const auto env = environment("no-such-platform");
    for (const auto& c : cases) {
        Program program(c.arguments, env);
        SCOPED_TRACE(c.message);
        EXPECT_EQ(program.exitCode(kExitWait), 2);
        EXPECT_EQ(program.err().rfind(c.message, 0), 0u) << program.err();
        EXPECT_NE(program.err().find("Usage: Speedometer"), std::string::npos);
        EXPECT_EQ(program.out(), "");
    }
    EXPECT_FALSE(fs::exists(fs::path(runtime) / ("Movira-" + std::to_string(getuid()))));
}

TEST_F(ProgramTest, QuitAfterClosesTheNormalWay) {
    Program program(windowed(home, {"--quit-after", "1"}), environment());
    ASSERT_TRUE(program.started());
    EXPECT_EQ(program.exitCode(kExitWait), 0) << program.err();
    expectSavedSettings(home);
}

TEST_F(ProgramTest, ASecondCopyEndsAtOnceAndLeavesTheFirstRunning) {
    Program first(windowed(home, {"--quit-after", "20"}), environment());
    ASSERT_TRUE(waitUntilListening(first)) << first.err();

    // The copies find each other in the user's private runtime folder, whatever their temporary folder.
    EXPECT_TRUE(fs::is_socket(fs::path(runtime) / ("Movira-" + std::to_string(getuid()))));
    std::vector<std::string> otherTemporaryFolder = environment();
    for (std::string& entry : otherTemporaryFolder) {
        if (entry.rfind("TMPDIR=", 0) == 0) entry = "TMPDIR=" + root.sub("other-tmp");
    }
    const std::string secondHome = root.sub("second-home");
    Program second(windowed(secondHome), otherTemporaryFolder);
    EXPECT_EQ(second.exitCode(kExitWait), 0) << second.err();
    // It never built a core: no settings were read or written in its home.
    EXPECT_FALSE(fs::exists(fs::path(secondHome) / "Speedometer.ini"));
    EXPECT_TRUE(first.isRunning());

    first.signal(SIGTERM);
    EXPECT_EQ(first.exitCode(kExitWait), 0) << first.err();
    expectSavedSettings(home);

    // With the first copy gone, the next start runs again.
    Program third(windowed(home, {"--quit-after", "0.2"}), environment());
    EXPECT_EQ(third.exitCode(kExitWait), 0) << third.err();
}

struct SignalCase {
    int signal;
    std::chrono::milliseconds after;  // from the moment the program catches signals
};

class ProgramSignalTest : public ProgramTest, public testing::WithParamInterface<SignalCase> {};

TEST_P(ProgramSignalTest, ASignalClosesTheNormalWay) {
    Program program(windowed(home, {"--quit-after", "20"}), environment());
    ASSERT_TRUE(waitUntilListening(program)) << program.err();
    // At once the core may still be under construction; a second later it normally runs.
    std::this_thread::sleep_for(GetParam().after);
    program.signal(GetParam().signal);
    EXPECT_EQ(program.exitCode(kExitWait), 0) << program.err();
    expectSavedSettings(home);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignalTest,
                         testing::Values(SignalCase{SIGTERM, 0ms}, SignalCase{SIGINT, 0ms}, SignalCase{SIGHUP, 0ms},
                                         SignalCase{SIGTERM, 1000ms}, SignalCase{SIGINT, 1000ms},
                                         SignalCase{SIGHUP, 1000ms}),
                         [](const testing::TestParamInfo<SignalCase>& info) {
                             return std::string(sigabbrev_np(info.param.signal)) + "_after_" +
                                    std::to_string(info.param.after.count()) + "ms";
                         });

TEST_F(ProgramTest, SnapshotsOfTheSixPagesAreWrittenOnClosing) {
    const std::string shots = (root.path() / "shots").string();  // made by the program
    Program program(windowed(home, {"--quit-after", "1", "--snapshot-dir", shots}), environment());
    EXPECT_EQ(program.exitCode(kExitWait), 0) << program.err();
    for (const char* page : {"TableWidget", "SpeedometerWidget", "FullScreenSpeedWidget", "SattelitesWidget",
                             "SpeedChartWidget", "PathWidget"}) {
        const auto size = pngSize(fs::path(shots) / (std::string(page) + ".png"));
        ASSERT_TRUE(size.has_value()) << page;
        EXPECT_EQ(size->first, 480u) << page;
        EXPECT_EQ(size->second, 800u) << page;
    }
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(shots)) ++files;
    EXPECT_EQ(files, 6u);
}

}  // namespace
}  // namespace movira::test
