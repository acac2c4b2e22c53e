// A run ended by a kill loses at most its last seconds of track: the real program, offscreen on
// a pseudo-terminal receiver fed by nmea-replay, is killed with SIGKILL in the middle of the demo
// drive; the next start writes track files from the journal it left, before its own run, and
// that run's normal end leaves no journal behind.
#include "core/NmeaParser.h"
#include "track/TrackJournal.h"
#include "track/TrackWriter.h"

#include "tests/support/FakeClock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
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

// Under ThreadSanitizer the program runs many times slower than the receiver sends, so what the
// receiver has sent says nothing about what the program has taken by then.
#if defined(__SANITIZE_THREAD__)
constexpr bool kSlowedBySanitizer = true;
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
const std::string schemaDir = MOVIRA_SOURCE_DIR "/tests/data/schemas";

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

int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A program beside the test, in the test's environment plus `extra`; its output goes to a file.
// Killed when the object goes, should it still run.
class Process {
public:
    Process(std::vector<std::string> arguments, const std::vector<std::string>& extra, const fs::path& output) {
        std::vector<std::string> environment = extra;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            const std::string name = text.substr(0, text.find('=') + 1);
            bool replaced = false;
            for (const std::string& mine : extra) replaced |= mine.starts_with(name);
            if (!replaced) environment.push_back(text);
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::vector<char*> argv;
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
    ~Process() { kill(SIGKILL); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }
    // The exit status once it ended within `limit` (128 + signal for a death by a signal).
    std::optional<int> wait(std::chrono::milliseconds limit) {
        const auto until = SteadyClock::now() + limit;
        while (pid_ > 0) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (SteadyClock::now() >= until) return std::nullopt;
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }
    void kill(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        if (signal == SIGKILL) {
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
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

private:
    pid_t pid_ = -1;
};

// The point pieces of a track file, in order: KML coordinate lines, or GPX rtept elements.
std::vector<std::string> pointsOf(const std::string& text) {
    std::vector<std::string> points;
    const bool gpx = text.find("<gpx") != std::string::npos;
    const std::string start = gpx ? " <rtept " : "\t\t\t";
    const std::string end = gpx ? " </rtept>\r\n" : "\r\n";
    for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at)) {
        const size_t stop = text.find(end, at);
        if (stop == std::string::npos) break;
        points.push_back(text.substr(at, stop + end.size() - at));
        at = stop + end.size();
    }
    return points;
}

// The demo drive read by the parser as the program reads it: the track log of its first `bytes`
// bytes as they go over the line (each sentence ending in CR LF).
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

class TrackRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        char pattern[] = "/tmp/movira-recovery-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        home = root / "home";
        fs::create_directories(home);
        fs::create_directories(root / "tmp");
        fs::create_directory(root / "runtime");
        fs::permissions(root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    }
    void TearDown() override {
        replay.reset();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // A receiver playing the demo drive at eight times real time on a terminal at root/gps-N.
    fs::path startReceiver() {
        const fs::path link = root / ("gps-" + std::to_string(++receivers));
        replay = std::make_unique<Process>(
            std::vector<std::string>{replayPath, "--speed", "8", "--link", link.string(), demoDrive},
            std::vector<std::string>{}, root / ("replay-" + std::to_string(receivers) + ".out"));
        for (int i = 0; i < 500 && !fs::exists(link); ++i) std::this_thread::sleep_for(10ms);
        std::ofstream(home / "Speedometer.ini") << " [Main]\n UseGPSAPI=false\n COMPort=" << link.string()
                                                << "\n EnableKMLTrack=true\n EnableGPXTrack=true\n";
        return link;
    }
    std::unique_ptr<Process> startProgram(int quitAfterSeconds, const std::string& name) {
        return std::make_unique<Process>(
            std::vector<std::string>{programPath, "--home", home.string(), "--windowed", "480x800", "--quit-after",
                                     std::to_string(quitAfterSeconds)},
            std::vector<std::string>{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + (root / "runtime").string(),
                                     "TMPDIR=" + (root / "tmp").string(), "TZ=UTC0", "LC_ALL=C.UTF-8",
                                     // In a sanitizer build the program runs Qt, which is not built
                                     // for it: the reports wholly inside Qt are suppressed.
                                     "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=" MOVIRA_SOURCE_DIR
                                     "/tests/tsan-qt.supp"},
            root / (name + ".out"));
    }
    fs::path tracks() const { return home / "Tracks"; }
    fs::path journal() const { return tracks() / TrackJournal::FileName; }

    fs::path root, home;
    int receivers = 0;
    std::unique_ptr<Process> replay;
};

TEST_F(TrackRecoveryTest, AKilledRunLosesAtMostItsLastSecondsAndTheNextStartWritesIt) {
    ASSERT_TRUE(fs::exists(startReceiver())) << "nmea-replay made no terminal link";
    const long long printed = static_cast<long long>(readFile(root / "replay-1.out").size());

    // The first run: the journal appears with the first fix; the drive goes on for a while.
    auto first = startProgram(600, "first");
    ASSERT_GT(first->pid(), 0);
    const auto deadline = SteadyClock::now() + 120s;  // a sanitizer build starts slowly
    while (!fs::exists(journal()) && SteadyClock::now() < deadline) std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(fs::exists(journal())) << readFile(root / "first.out");
    std::this_thread::sleep_for(15s);  // about two minutes of the drive, past the standing start

    // What the receiver has sent by now must survive a kill ten seconds later.
    const std::optional<long long> written = replay->bytesWritten();
    ASSERT_TRUE(written.has_value());
    const long long sent = *written - printed;
    std::this_thread::sleep_for(11s);
    first->kill(SIGKILL);
    const long long sentAtKill = *replay->bytesWritten() - printed;
    replay.reset();
    EXPECT_EQ(namesIn(tracks()), std::set<std::string>{TrackJournal::FileName});

    // The next start writes them as Track0001 before its own run; its normal end adds Track0002.
    startReceiver();
    auto second = startProgram(6, "second");
    const std::optional<int> status = second->wait(180s);
    ASSERT_TRUE(status.has_value()) << readFile(root / "second.out");
    EXPECT_EQ(*status, 0) << readFile(root / "second.out");
    EXPECT_EQ(namesIn(tracks()),
              (std::set<std::string>{"Track0001.gpx", "Track0001.kml", "Track0002.gpx", "Track0002.kml"}));

    // Track0001: a whole prefix of the drive, holding at least every point sent ten seconds
    // before the kill and nothing sent after it.
    const TrackLog whole = logOfFirstBytes(1LL << 40), beforeKill = logOfFirstBytes(sent),
                   atKill = logOfFirstBytes(sentAtKill);
    for (const char* extension : {".kml", ".gpx"}) {
        const std::string name = std::string("Track0001") + extension;
        const bool kml = extension[1] == 'k';
        auto textOf = [&](const TrackLog& log) {
            return kml ? TrackWriter(log).kmlText() : TrackWriter(log).gpxText(name);
        };
        const std::vector<std::string> recovered = pointsOf(readFile(tracks() / name));
        const std::vector<std::string> all = pointsOf(textOf(whole));
        const size_t least = pointsOf(textOf(beforeKill)).size(), most = pointsOf(textOf(atKill)).size();
        EXPECT_GT(least, 50u) << "the receiver sent too little to judge";
        if (!kSlowedBySanitizer) {
            EXPECT_GE(recovered.size(), least) << name;
        }
        EXPECT_GT(recovered.size(), 0u) << name;
        EXPECT_LE(recovered.size(), most) << name;
        ASSERT_LE(recovered.size(), all.size());
        EXPECT_TRUE(std::equal(recovered.begin(), recovered.end(), all.begin())) << name << " is not the drive's start";
        // Around the points, the file is what the writer gives for no points at all.
        std::string frame = readFile(tracks() / name);
        for (const std::string& point : recovered) frame.erase(frame.find(point), point.size());
        EXPECT_EQ(frame, textOf(TrackLog{})) << name;
    }

    // Every file the runs wrote is valid, and gpsbabel reads every GPX point.
    for (const char* file : {"Track0001.kml", "Track0002.kml", "Track0001.gpx", "Track0002.gpx"}) {
        const std::string schema = schemaDir + (std::string(file).ends_with(".gpx") ? "/gpx10.xsd" : "/kml21.xsd");
        EXPECT_EQ(shell("xmllint --noout --schema " + schema + " " + (tracks() / file).string() + " 2>/dev/null"), 0)
            << file;
    }
    for (const char* file : {"Track0001.gpx", "Track0002.gpx"}) {
        const fs::path csv = root / "points.csv";
        ASSERT_EQ(shell("gpsbabel -r -i gpx -f " + (tracks() / file).string() + " -o unicsv,fields=lat+lon -F " +
                        csv.string()),
                  0);
        const std::string text = readFile(csv);
        const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
        EXPECT_EQ(lines - 1, pointsOf(readFile(tracks() / file)).size()) << file;
    }
    EXPECT_FALSE(fs::exists(journal())) << "a normal end leaves no journal";
}

}  // namespace
}  // namespace movira
