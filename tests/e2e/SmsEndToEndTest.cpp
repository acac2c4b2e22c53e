// Periodic SMS reports end to end: the real program, offscreen on a pseudo-terminal receiver that
// nmea-replay feeds with the demo drive faster than real time, sends a report every minute of the
// drive through the real libParvox.so to the ModemManager stand-in (tests/smslib), which records
// every message. Each message must carry the time, position and speed of the drive at its minute,
// go to both numbers in order, and follow the one before by exactly one minute of the drive.
#include "tests/smslib/MockModemManager.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

#if defined(__SANITIZE_THREAD__)
#define MOVIRA_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MOVIRA_TSAN 1
#endif
#endif

namespace movira {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string programPath = MOVIRA_BIN_DIR "/Speedometer";
const std::string replayPath = MOVIRA_BIN_DIR "/nmea-replay";
const std::string demoDrive = MOVIRA_SOURCE_DIR "/data/demo/demo-drive.nmea";

std::string readFile(const fs::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

// A program started beside the test with the test's environment plus `changes` (a value sets a
// variable, nothing removes it); its output goes to one file. Killed when the object goes.
class Process {
public:
    Process(const std::vector<std::string>& arguments, const std::map<std::string, std::optional<std::string>>& changes,
            const fs::path& output)
        : output_(output) {
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
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() { kill(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return pid_ > 0; }
    // Its exit status once it has ended within `limit` (128 + signal for a death by a signal);
    // nothing when it had not, and it is then killed.
    std::optional<int> wait(std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (pid_ > 0) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (std::chrono::steady_clock::now() >= until) break;
            std::this_thread::sleep_for(20ms);
        }
        kill();
        return std::nullopt;
    }
    std::string output() const { return readFile(output_); }

private:
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    pid_t pid_ = -1;
    fs::path output_;
};

// What the demo drive says at one second: position in decimal degrees, speed in km/h.
struct DriveFix {
    double latitude, longitude, kmh;
};

// The valid RMC sentences of the drive by their time of day ("h:m:s", as the message writes it).
std::map<std::string, DriveFix> readDrive() {
    std::map<std::string, DriveFix> fixes;
    std::istringstream in(readFile(demoDrive));
    const auto degrees = [](const std::string& field, const std::string& hemisphere, int degreeDigits) {
        const double value = std::stod(field.substr(0, degreeDigits)) + std::stod(field.substr(degreeDigits)) / 60.0;
        return hemisphere == "S" || hemisphere == "W" ? -value : value;
    };
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("$GPRMC,", 0) != 0) continue;
        std::vector<std::string> f;
        std::istringstream cut(line);
        for (std::string field; std::getline(cut, field, ',');) f.push_back(field);
        if (f.size() < 8 || f[2] != "A" || f[1].size() < 6 || f[3].size() < 5 || f[5].size() < 6) continue;
        const int hms = std::stoi(f[1].substr(0, 6));
        const std::string time =
            std::to_string(hms / 10000) + ":" + std::to_string(hms / 100 % 100) + ":" + std::to_string(hms % 100);
        fixes[time] = {degrees(f[3], f[4], 2), degrees(f[5], f[6], 3), std::stod(f[7]) * 1.852};
    }
    return fixes;
}

std::optional<int> secondsOf(const std::string& time) {
    int h = 0, m = 0, s = 0;
    if (std::sscanf(time.c_str(), "%d:%d:%d", &h, &m, &s) != 3) return std::nullopt;
    return h * 3600 + m * 60 + s;
}

TEST(SmsEndToEnd, EveryMinuteOfTheDriveAReportGoesToTheModem) {
    if (const std::string missing = test::MockModemManager::missing(); !missing.empty()) GTEST_SKIP() << missing;
    test::MockModemManager modem("normal");
    ASSERT_TRUE(modem.ready()) << "the ModemManager stand-in did not start";

    char pattern[] = "/tmp/movira-sms-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    struct Removal {
        fs::path folder;
        ~Removal() {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
    } removal{root};
    const fs::path home = root / "home", runtime = root / "runtime", privateTemp = root / "tmp", link = root / "gps";
    fs::create_directories(home);
    fs::create_directories(privateTemp);
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);

    // Twenty times real time: a minute of the drive every three seconds.
    auto replay = std::make_unique<Process>(
        std::vector<std::string>{replayPath, "--speed", "20", "--link", link.string(), demoDrive},
        std::map<std::string, std::optional<std::string>>{}, root / "replay.out");
    for (int i = 0; i < 500 && !fs::exists(link); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(link)) << "nmea-replay made no terminal link";

    const std::string numbers[] = {"+79001112233", "+79004445566"};
    std::ofstream(home / "Speedometer.ini") << " [Main]\n UseGPSAPI=false\n COMPort=" << link.string() << "\n"
                                            << " [SMS]\n Send=true\n Interval=1\n SendIfChanged=false\n"
                                            << " Address=" << numbers[0] << "," << numbers[1] << "\n"
                                            << " Text=%Time% %Latitude% %Longitude% %Speed% km/h\n";

    std::map<std::string, std::optional<std::string>> environment = {
        {"QT_QPA_PLATFORM", "offscreen"},
        {"XDG_RUNTIME_DIR", runtime.string()},
        {"TMPDIR", privateTemp.string()},
        {"TZ", "UTC0"},  // the message's time is the receiver's UTC time as it is
        {"LC_ALL", "C.UTF-8"},
        {"MOVIRA_HOME", std::nullopt},
        {"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
        {"DISPLAY", std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt},
        {test::MockModemManager::busVariable, modem.address()},
    };
#ifdef MOVIRA_TSAN
    const fs::path suppressions = MOVIRA_SOURCE_DIR "/tests/tsan-qt.supp";
    const char* options = std::getenv("TSAN_OPTIONS");
    if (fs::exists(suppressions)) {
        environment["TSAN_OPTIONS"] = std::string(options ? options : "") + " suppressions=" + suppressions.string();
    }
#endif
    std::optional<int> exitStatus;
    std::string output;
    {
        Process program({programPath, "--home", home.string(), "--windowed", "800x480", "--quit-after", "20"},
                        environment, root / "program.out");
        ASSERT_TRUE(program.started());
        exitStatus = program.wait(20s + 120s);  // generous for a sanitizer build; a hang ends here
        output = program.output();
    }
    replay.reset();
    ASSERT_TRUE(exitStatus.has_value()) << "the program did not end in time\n" << output;
    ASSERT_EQ(*exitStatus, 0) << output;

    const std::vector<test::SmsRecord> sent = modem.records("send");
    const std::map<std::string, DriveFix> drive = readDrive();
    // Every message went to both numbers, in order, and was accepted.
    ASSERT_EQ(sent.size() % 2, 0u);
#ifdef MOVIRA_TSAN
    const size_t atLeast = 1;  // the program reads many times slower than the receiver sends
#else
    const size_t atLeast = 3;
#endif
    ASSERT_GE(sent.size() / 2, atLeast) << output;
    std::optional<int> previous;
    for (size_t i = 0; i < sent.size(); i += 2) {
        const test::SmsRecord& first = sent[i];
        const test::SmsRecord& second = sent[i + 1];
        EXPECT_EQ(first.number, numbers[0]);
        EXPECT_EQ(second.number, numbers[1]);
        EXPECT_EQ(first.text, second.text);
        EXPECT_EQ(first.result, "accepted");
        EXPECT_EQ(second.result, "accepted");

        // "<h:m:s> <latitude> <longitude> <speed> km/h", from the fix of that second of the drive.
        char time[16] = {};
        double latitude = 0, longitude = 0, kmh = 0;
        ASSERT_EQ(std::sscanf(first.text.c_str(), "%15s %lf %lf %lf km/h", time, &latitude, &longitude, &kmh), 4)
            << first.text;
        const auto fix = drive.find(time);
        ASSERT_NE(fix, drive.end()) << "a time the drive does not have: " << first.text;
        // The fix holds degrees as floats: a few units of their last place (about 4e-6 near 60).
        EXPECT_NEAR(latitude, fix->second.latitude, 1e-5) << first.text;
        EXPECT_NEAR(longitude, fix->second.longitude, 1e-5) << first.text;
        EXPECT_NEAR(kmh, fix->second.kmh, 0.05 + 1e-6) << first.text;
        EXPECT_NE(first.text.find(" km/h"), std::string::npos);
        // One a minute of the drive: the receiver sends every second, so exactly 60 s apart.
        const std::optional<int> at = secondsOf(time);
        ASSERT_TRUE(at);
        if (previous) {
            EXPECT_EQ(*at - *previous, 60) << first.text;
        }
        previous = at;
    }
}

}  // namespace
}  // namespace movira
