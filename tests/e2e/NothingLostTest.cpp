// What a car PC's day can do to the real program, offscreen on a pseudo-terminal receiver fed by
// nmea-replay: runs killed with SIGKILL, one of them on a card with no room for track files, lose
// no point once there is room; a kill leaves trip figures at most a minute old.
#include "core/NmeaParser.h"
#include "track/TrackWriter.h"

#include "tests/support/FakeClock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

#if defined(__SANITIZE_THREAD__)
constexpr bool kSlowedBySanitizer = true;  // the program takes far less than the receiver sends
#else
constexpr bool kSlowedBySanitizer = false;
#endif

namespace movira {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

const std::string programPath = MOVIRA_BIN_DIR "/Speedometer";
const std::string replayPath = MOVIRA_BIN_DIR "/nmea-replay";
const std::string demoDrive = MOVIRA_SOURCE_DIR "/data/demo/demo-drive.nmea";

std::string readFile(const fs::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) names.insert(entry.path().filename().string());
    return names;
}

// A program in the test's environment plus `extra`, its output to a file; killed when it goes.
class Process {
public:
    Process(std::vector<std::string> arguments, const std::vector<std::string>& extra, const fs::path& output) {
        std::vector<std::string> environment = extra;
        for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);  // the first one counts
        std::vector<char*> envp, argv;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        for (std::string& argument : arguments) argv.push_back(argument.data());
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

    pid_t pid() const { return pid_; }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    std::optional<int> wait(std::chrono::seconds limit) {
        for (const auto until = SteadyClock::now() + limit; pid_ > 0 && SteadyClock::now() < until;) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }
    // Bytes it has handed to write() so far.
    long long bytesWritten() const {
        std::ifstream io("/proc/" + std::to_string(pid_) + "/io");
        for (std::string name; io >> name;) {
            long long value = 0;
            io >> value;
            if (name == "wchar:") return value;
        }
        return 0;
    }

private:
    pid_t pid_ = -1;
};

// The point pieces of a track file, in order: KML coordinate lines, or GPX rtept elements.
std::vector<std::string> pointsOf(const std::string& text) {
    std::vector<std::string> points;
    const bool gpx = text.find("<gpx") != std::string::npos;
    const std::string start = gpx ? " <rtept " : "\t\t\t", end = gpx ? " </rtept>\r\n" : "\r\n";
    for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at)) {
        const size_t stop = text.find(end, at);
        if (stop == std::string::npos) break;
        points.push_back(text.substr(at, stop + end.size() - at));
        at = stop + end.size();
    }
    return points;
}

// The track log of the demo drive's first `bytes` bytes as they go over the line (CR LF ends).
TrackLog logOfFirstBytes(long long bytes) {
    test::FakeClock clock;
    NmeaParser parser(clock);
    std::istringstream in(readFile(demoDrive));
    long long sent = 0;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        sent += static_cast<long long>(line.size()) + 2;
        if (sent > bytes) break;
        parser.parseSentence(line);
    }
    TrackLog copy;
    for (size_t i = 0; i < parser.trackLog().size(); ++i) copy.append(parser.trackLog()[i]);
    return copy;
}

class NothingLostTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        char pattern[] = "/tmp/movira-nothing-lost-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        home = root / "home";
        fs::create_directories(home);
        fs::create_directory(root / "runtime");
        fs::permissions(root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        std::ofstream(home / "Speedometer.ini") << "[Main]\nUseGPSAPI=false\nCOMPort=" << (root / "gps").string()
                                                << "\nEnableKMLTrack=true\nEnableGPXTrack=true\n";
    }
    void TearDown() override {
        replay.reset();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // The demo drive from its start, `speed` times real time, on a terminal at root/gps.
    void startReceiver(int speed) {
        replay.reset();
        fs::remove(root / "gps");
        replay = std::make_unique<Process>(
            std::vector<std::string>{replayPath, "--speed", std::to_string(speed), "--link", (root / "gps").string(),
                                     demoDrive},
            std::vector<std::string>{}, root / "replay.out");
        for (int i = 0; i < 500 && !fs::exists(root / "gps"); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(fs::exists(root / "gps")) << "nmea-replay made no terminal link";
        printed = static_cast<long long>(readFile(root / "replay.out").size());
    }
    // Bytes of the drive the receiver has sent so far.
    long long sent() const { return replay->bytesWritten() - printed; }
    std::unique_ptr<Process> startProgram(const std::string& name, int quitAfter = 600) {
        return std::make_unique<Process>(
            std::vector<std::string>{programPath, "--home", home.string(), "--windowed", "480x800", "--quit-after",
                                     std::to_string(quitAfter)},
            std::vector<std::string>{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + (root / "runtime").string(),
                                     "TZ=UTC0", "LC_ALL=C.UTF-8",
                                     "TSAN_OPTIONS=halt_on_error=1:suppressions=" MOVIRA_SOURCE_DIR "/tests/tsan-qt.supp"},
            root / (name + ".out"));
    }
    // A drive of `seconds` (receiver at `speed`) ended by SIGKILL; gives the bytes the receiver had
    // sent two seconds before the kill, which the journal must hold by then.
    long long killedRun(const std::string& name, int speed, std::chrono::seconds seconds) {
        startReceiver(speed);
        auto program = startProgram(name);
        EXPECT_GT(program->pid(), 0);
        std::this_thread::sleep_for(seconds - 2s);
        const long long safe = sent();
        std::this_thread::sleep_for(2s);
        program->kill();
        replay.reset();
        return safe;
    }
    // Every file number of both formats taken, as on a full card.
    void fillTrackFolder(bool full) {
        fs::create_directories(tracks());
        for (int n = 1; n <= TrackWriter::MaxFileNumber; ++n) {
            for (const char* extension : {".kml", ".gpx"}) {
                char name[32];
                std::snprintf(name, sizeof name, "Track%04i%s", n, extension);
                if (full) {
                    std::ofstream(tracks() / name);
                } else {
                    fs::remove(tracks() / name);
                }
            }
        }
    }
    // The track file `name` holds the drive's start, at least up to `bytes` of it.
    void expectDriveStart(const std::string& name, long long bytes) {
        const bool kml = name.ends_with(".kml");
        auto textOf = [&](const TrackLog& log) { return kml ? TrackWriter(log).kmlText() : TrackWriter(log).gpxText(name); };
        const std::vector<std::string> recovered = pointsOf(readFile(tracks() / name));
        const std::vector<std::string> all = pointsOf(textOf(logOfFirstBytes(1LL << 40)));
        const size_t least = pointsOf(textOf(logOfFirstBytes(bytes))).size();
        EXPECT_GT(least, 10u) << "the receiver sent too little to judge";
        if (!kSlowedBySanitizer) EXPECT_GE(recovered.size(), least) << name;
        EXPECT_GT(recovered.size(), 0u) << name;
        ASSERT_LE(recovered.size(), all.size()) << name;
        EXPECT_TRUE(std::equal(recovered.begin(), recovered.end(), all.begin())) << name << " is not the drive's start";
    }
    fs::path tracks() const { return home / "Tracks"; }

    fs::path root, home;
    long long printed = 0;
    std::unique_ptr<Process> replay;
};

TEST_F(NothingLostTest, KilledRunsOnAFullCardLoseNoPointOnceThereIsRoom) {
    const long long first = killedRun("first", 8, 20s);
    // No room for track files: the first run's journal waits, and the second run keeps its own.
    fillTrackFolder(true);
    const long long second = killedRun("second", 8, 20s);
    EXPECT_NE(readFile(root / "second.out").find("Movira: cannot write the track file " + tracks().string() +
                                                 "/Track????.kml: all 9999 file numbers are taken"),
              std::string::npos)
        << readFile(root / "second.out");
    EXPECT_EQ(namesIn(home / "Journals").size(), 2u);

    // Room again: a start without a receiver writes both runs, oldest first, and leaves no journal.
    fillTrackFolder(false);
    auto third = startProgram("third", 3);
    const std::optional<int> status = third->wait(180s);
    ASSERT_TRUE(status.has_value()) << readFile(root / "third.out");
    EXPECT_EQ(*status, 0) << readFile(root / "third.out");
    EXPECT_EQ(namesIn(tracks()),
              (std::set<std::string>{"Track0001.gpx", "Track0001.kml", "Track0002.gpx", "Track0002.kml"}));
    for (const char* name : {"Track0001.kml", "Track0001.gpx"}) expectDriveStart(name, first);
    for (const char* name : {"Track0002.kml", "Track0002.gpx"}) expectDriveStart(name, second);
    EXPECT_TRUE(namesIn(home / "Journals").empty());
}

// The settings are saved once a minute of the program's own (wall-clock) time while figures change,
// whatever pace the drive has: the drive goes at real time so that the minute means the same.
TEST_F(NothingLostTest, AKillLeavesTripFiguresAtMostAMinuteOld) {
    killedRun("driven", 1, 90s);
    const auto killed = std::chrono::system_clock::now();
    const fs::path settings = home / "Speedometer.ini";
    struct stat info {};
    ASSERT_EQ(::stat(settings.c_str(), &info), 0);
    const auto written = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
    EXPECT_LE(killed - written, 62s) << "last saved " << std::chrono::duration_cast<std::chrono::seconds>(killed - written).count()
                                     << " s before the kill";
    const std::string text = readFile(settings);
    auto value = [&](const std::string& key) {
        const size_t at = text.find("\n " + key + "=");
        return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + key.size() + 3);
    };
    // Saved while moving (the drive starts after half a minute standing still).
    EXPECT_GT(value("Distance"), 0.0) << text;
    EXPECT_GT(value("Elapsed"), 0.0) << text;
}

}  // namespace
}  // namespace movira
