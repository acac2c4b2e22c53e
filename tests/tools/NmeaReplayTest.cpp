// Runs the built nmea-replay as a child process and reads its terminal the way the program reads a receiver.
#include "tools/NmeaReplay.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace movira {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const std::string replayProgram = std::string(MOVIRA_BIN_DIR) + "/nmea-replay";
const fs::path logDir = MOVIRA_NMEA_LOG_DIR;

std::string readFile(const fs::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

// What a receiver sends for one of the recorded logs, which have LF or CR LF line ends.
std::string onTheWire(const fs::path& log) {
    std::istringstream in(readFile(log));
    std::string wire;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') wire += line + "\r\n";
    }
    return wire;
}

// nmea-replay with the given arguments, stdout and stderr in one pipe; killed at the end if still running.
class ReplayProcess {
public:
    explicit ReplayProcess(const std::vector<std::string>& arguments) {
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char*> argv{const_cast<char*>(replayProgram.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
    }

    ~ReplayProcess() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
    }

    // The first line it prints: the terminal's path.
    std::string terminalPath() {
        std::string line;
        char c = 0;
        pollfd ready{out_, POLLIN, 0};
        while (poll(&ready, 1, 5000) > 0 && read(out_, &c, 1) == 1 && c != '\n') line += c;
        EXPECT_EQ(c, '\n') << "no terminal path; it said: " << line;
        return line;
    }

    int openTerminal() {
        const std::string path = terminalPath();
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0) << path;
        return fd;
    }

    // The exit status (128 + signal when killed), or nothing while it still runs.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (!status_ && pid_ > 0) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            } else if (Clock::now() >= deadline) {
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        return status_;
    }

    void signal(int number) { kill(pid_, number); }

    std::string output() {
        std::string text;
        char buffer[4096];
        ssize_t got = 0;
        pollfd ready{out_, POLLIN, 0};
        while (poll(&ready, 1, 0) > 0 && (got = read(out_, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<size_t>(got));
        }
        return text;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::optional<int> status_;
};

// Reads the terminal until nmea-replay closes it or `limit` bytes have come, `piece` bytes at a time.
std::string readTerminal(int fd, size_t piece = 4096, std::chrono::microseconds pause = 0us,
                         size_t limit = SIZE_MAX) {
    std::string received;
    std::vector<char> buffer(piece);
    for (const auto deadline = Clock::now() + 20s; received.size() < limit && Clock::now() < deadline;) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        const ssize_t got = read(fd, buffer.data(), std::min(piece, limit - received.size()));
        // EIO once the other end is gone.
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) break;
        if (got > 0) received.append(buffer.data(), static_cast<size_t>(got));
        std::this_thread::sleep_for(pause);
    }
    return received;
}

// Reads everything and expects nmea-replay to end on its own.
void expectPlayedWhole(ReplayProcess& replay, const std::string& wire) {
    const int terminal = replay.openTerminal();
    EXPECT_EQ(readTerminal(terminal), wire);
    EXPECT_EQ(replay.waitForExit(5s), 0);
    close(terminal);
}

class NmeaReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/nmea-replay-test-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string writeLog(const std::string& name, const std::string& content) {
        std::ofstream(dir_ / name, std::ios::binary) << content;
        return dir_ / name;
    }

    fs::path dir_;
};

TEST_F(NmeaReplayTest, EveryLineEndBecomesCrLfAndCommentsStayOut) {
    const std::string lines[] = {"# by hand", "$GPGGA,1*00", "", "#comment", "GPGSV no dollar", "$GPRMC,x"};
    for (const std::string lineEnd : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(lineEnd == "\n" ? "LF" : lineEnd == "\r" ? "CR" : "CR LF");
        std::string log;
        for (const std::string& line : lines) log += line + lineEnd;
        ReplayProcess replay({"--speed", "0", writeLog("log", log)});
        expectPlayedWhole(replay, "$GPGGA,1*00\r\nGPGSV no dollar\r\n$GPRMC,x\r\n");
    }
    // All mixed in one file, empty lines among them, no line end at the very end; two files in order.
    const std::string first = writeLog("first", "a\r\nb\nc\rd\r\r\ne\n\rf");
    ReplayProcess replay({"--speed=0", first, writeLog("second", "#x\r\ng")});
    const int terminal = replay.openTerminal();
    termios settings{};
    ASSERT_EQ(tcgetattr(terminal, &settings), 0);
    EXPECT_EQ(settings.c_lflag & (ECHO | ICANON | ISIG), 0u) << "no echo, no line editing";
    EXPECT_EQ(settings.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON), 0u) << "bytes arrive unchanged";
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(readTerminal(terminal), "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n");
    EXPECT_EQ(replay.waitForExit(5s), 0);
    close(terminal);
}

TEST_F(NmeaReplayTest, RealLogsArriveWholeEvenWhenReadSlowlyInSmallPieces) {
    if (!fs::exists(logDir / "garmin-10x.log")) GTEST_SKIP() << "no receiver logs in " << logDir;
    ReplayProcess garmin({"--speed", "0", logDir / "garmin-10x.log"});  // LF and CR LF, comments
    expectPlayedWhole(garmin, onTheWire(logDir / "garmin-10x.log"));

    // Many times the terminal's buffer, so nmea-replay has to wait for room again and again.
    ReplayProcess telit({"--speed", "0", logDir / "telit-he910.log"});
    const int terminal = telit.openTerminal();
    const std::string received = readTerminal(terminal, 13, 100us);
    EXPECT_TRUE(received == onTheWire(logDir / "telit-he910.log")) << "got " << received.size() << " bytes";
    EXPECT_EQ(telit.waitForExit(5s), 0);
    close(terminal);
}

TEST_F(NmeaReplayTest, KeepsBytesForALateReaderAndEndsOnlyAfterItTookTheLast) {
    const std::string wire = "$GPGGA,1\r\n$GPGSA,2\r\n$GPVTG,3\r\n";
    ReplayProcess replay({"--speed", "0", writeLog("log", "$GPGGA,1\n$GPGSA,2\n$GPVTG,3\n")});
    const std::string path = replay.terminalPath();
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(replay.waitForExit(0ms)) << "ended with nobody reading";

    const int terminal = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    const std::string start = readTerminal(terminal, 4096, 0us, wire.size() - 3);
    EXPECT_FALSE(replay.waitForExit(300ms)) << "ended before the last bytes were read";
    EXPECT_EQ(start + readTerminal(terminal), wire);
    EXPECT_EQ(replay.waitForExit(5s), 0);
    close(terminal);
}

TEST_F(NmeaReplayTest, WhatTheReaderWritesDoesNotStopIt) {
    // The program may send commands to its receiver; they must not fill up and block either side.
    const std::string log = writeLog("log", std::string(50000, 'x') + "\n");
    ReplayProcess replay({"--speed", "0", log});
    const int terminal = replay.openTerminal();
    const std::string command(100, 'c');
    size_t sent = 0;
    for (pollfd ready{terminal, POLLOUT, 0}; sent < 200000 && poll(&ready, 1, 5000) > 0;) {
        sent += std::max<ssize_t>(0, write(terminal, command.data(), command.size()));
    }
    EXPECT_GE(sent, 200000u);
    EXPECT_EQ(readTerminal(terminal), std::string(50000, 'x') + "\r\n");
    EXPECT_EQ(replay.waitForExit(5s), 0);
    close(terminal);
}

TEST_F(NmeaReplayTest, LinkPointsAtTheTerminalUntilTheEnd) {
    const fs::path link = dir_ / "gps";
    fs::create_symlink("/dev/null", link);  // a stale link from an earlier run is replaced
    ReplayProcess ending({"--speed", "0", "--link", link, writeLog("log", "$GPGGA,1\n")});
    EXPECT_EQ(fs::read_symlink(link), ending.terminalPath());
    const int terminal = open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    EXPECT_EQ(readTerminal(terminal), "$GPGGA,1\r\n");
    EXPECT_EQ(ending.waitForExit(5s), 0);
    EXPECT_FALSE(fs::is_symlink(link));
    close(terminal);

    // Stopped while it waits for room (nobody reads a log larger than the buffer) or to pace an RMC.
    const std::string big = writeLog("big", std::string(200000, 'x') + "\n");
    const std::string slow =
        writeLog("slow", "$GPRMC,080000,V,,,,,,,140626,,,N\n$GPRMC,080001,V,,,,,,,140626,,,N\n");
    const std::pair<int, std::vector<std::string>> stops[] = {
        {SIGTERM, {"--link", link, "--speed", "0", big}},
        {SIGINT, {"--link", link, "--speed", "0.001", slow}},
    };
    for (const auto& [signal, arguments] : stops) {
        SCOPED_TRACE(strsignal(signal));
        ReplayProcess replay(arguments);
        EXPECT_EQ(fs::read_symlink(link), replay.terminalPath());
        std::this_thread::sleep_for(200ms);
        replay.signal(signal);
        EXPECT_EQ(replay.waitForExit(5s), 0);
        EXPECT_FALSE(fs::is_symlink(link));
    }

    const std::string precious = writeLog("precious", "keep me");
    ReplayProcess refusing({"--link", precious, writeLog("log", "$GPGGA,1\n")});
    EXPECT_EQ(refusing.waitForExit(5s), 1);
    EXPECT_TRUE(refusing.output().starts_with("nmea-replay: ")) << "a message, and no terminal";
    EXPECT_EQ(readFile(precious), "keep me");
}

TEST_F(NmeaReplayTest, LoopSendsTheLogsAgainUntilStopped) {
    const std::string wire = "$GPGGA,1\r\n$GPVTG,2\r\n";
    ReplayProcess replay({"--loop", "--speed", "0", writeLog("log", "$GPGGA,1\n$GPVTG,2\n")});
    const int terminal = replay.openTerminal();
    EXPECT_EQ(readTerminal(terminal, 4096, 0us, 3 * wire.size()), wire + wire + wire);
    EXPECT_FALSE(replay.waitForExit(0ms));
    replay.signal(SIGTERM);
    EXPECT_EQ(replay.waitForExit(5s), 0);
    close(terminal);
}

TEST_F(NmeaReplayTest, PacesByRmcTimesUnlessToldNotTo) {
    std::string threeSeconds;
    for (const std::string second : {"0", "1", "2", "3"}) {
        threeSeconds += "$GPRMC,08000" + second + ",A,5955.8000,N,03018.6000,E,0.00,0.00,140626,,,A\n";
        threeSeconds += "$GPGGA,08000" + second + ".00,5955.8000,N,03018.6000,E,1,08,0.9,17.5,M,16.8,M,,\n";
    }
    const std::string log = writeLog("three-seconds", threeSeconds);
    auto timeToPlay = [](const std::vector<std::string>& arguments) {
        const auto start = Clock::now();
        ReplayProcess replay(arguments);
        const int terminal = replay.openTerminal();
        readTerminal(terminal);
        EXPECT_EQ(replay.waitForExit(10s), 0);
        close(terminal);
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    EXPECT_GE(timeToPlay({log}), 2.0) << "RMC times span 3 s at --speed 1";
    EXPECT_LT(timeToPlay({"--speed", "0", log}), 1.5);

    // Times going back, jumping hours or a day ahead, or unreadable: none of them is waited for.
    const std::string jumps = writeLog("jumps",
                                       "$GPRMC,080000,A,,,,,,,140626,,,A\n$GPRMC,070000,A,,,,,,,140626,,,A\n"
                                       "$GPRMC,093000,A,,,,,,,140626,,,A\n$GPRMC,093001,A,,,,,,,150626,,,A\n"
                                       "$GPRMC,0x3002,A,,,,,,,150626,,,A\n$GPRMC,093003,A,,,,,,,,,,A\n");
    EXPECT_LT(timeToPlay({jumps}), 5.0) << "waited for a jump in the log";
}

TEST_F(NmeaReplayTest, ReadsRmcTimesOfAnyTalker) {
    const double june14 = 1781395200.0;  // 2026-06-14 00:00:00 UTC
    EXPECT_EQ(NmeaReplay::rmcTime("$GPRMC,080000,A,5955.8000,N,03018.6000,E,0.00,0.00,140626,,,A*77"),
              june14 + 8 * 3600);
    EXPECT_EQ(NmeaReplay::rmcTime("$GNRMC,235959.75,V,,,,,,,140626,,,N"), june14 + 86399.75);
    EXPECT_EQ(NmeaReplay::rmcTime("$GLRMC,000000.000,A,,,,,,,150626,,,A*4F"), june14 + 86400);
    EXPECT_EQ(NmeaReplay::rmcTime("$GPRMC,225900,A,,,,,,,311299,,,A"), 946681140.0);
    const char* const notOnes[] = {
        "$PGRMC,080000,A,,,,,,,140626",  // Garmin's proprietary sentence, not a talker's RMC
        "$GPRMB,080000,A,,,,,,,140626",  "GPRMC,080000,A,,,,,,,140626",   "$GPRMC,080000,A,,,,,,,",
        "$GPRMC,,V,,,,,,,140626",        "$GPRMC,246000,A,,,,,,,140626",  "$GPRMC,080000,A,,,,,,,310226",
        "$GPRMC,0800,A,,,,,,,140626",    "$GPRMC,080000.,A,,,,,,,140626", "$GPRMC,080000,A,,,,,,*12",
        "$GPRMC",
    };
    for (const char* notOne : notOnes) EXPECT_FALSE(NmeaReplay::rmcTime(notOne)) << notOne;
}

TEST_F(NmeaReplayTest, RejectsBadCommandLinesAndMissingLogs) {
    const std::string log = writeLog("log", "$GPGGA,1\n");
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"--speed", "-1", log}, 2}, {{"--speed", "fast", log}, 2}, {{"--speed", "1x", log}, 2},
        {{log, "--speed"}, 2},       {{"--bogus", log}, 2},         {{"--loop=yes", log}, 2},
        {{}, 1},                     {{dir_ / "missing.log"}, 1},   {{log, dir_}, 1},
    };
    for (const auto& [arguments, status] : cases) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        ReplayProcess replay(arguments);
        EXPECT_EQ(replay.waitForExit(5s), status);
        EXPECT_TRUE(replay.output().starts_with("nmea-replay: ")) << "a message, and no terminal";
    }
    ReplayProcess help({"--help"});
    EXPECT_EQ(help.waitForExit(5s), 0);
    EXPECT_TRUE(help.output().starts_with("Usage: nmea-replay"));
}

}  // namespace
}  // namespace movira
