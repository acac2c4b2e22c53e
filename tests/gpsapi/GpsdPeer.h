// The library's real peer for the tests: a gpsd of the test's own on a free local port, reading a
// pseudo-terminal that nmea-replay feeds from receiver logs. gpsd can be stopped and started again
// on the same port while the receiver goes on, and the receiver can be killed and started again
// while gpsd goes on (gpsd reads it through a link that always names the current terminal, and
// is told of it through its control socket as the hotplug rules would). Everything started ends
// with the object.
#pragma once

#include "tests/gpsapi/ChildProcess.h"

#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace movira::test {

class GpsdPeer {
public:
    // The gpsd program, or empty when it is not installed.
    static std::string gpsdProgram() {
        for (const char* candidate : {"/usr/sbin/gpsd", "/usr/local/sbin/gpsd", "/usr/bin/gpsd"}) {
            if (access(candidate, X_OK) == 0) return candidate;
        }
        return {};
    }

    GpsdPeer() : port_(freePort()) {
        char pattern[] = "/tmp/movira-gpsd-XXXXXX";
        if (mkdtemp(pattern)) folder_ = pattern;
        // gpsd run by root gives up its rights: it must still reach the link and the terminal.
        if (!folder_.empty()) chmod(folder_.c_str(), 0755);
    }
    ~GpsdPeer() {
        stopGpsd();
        receiver_.reset();
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
    GpsdPeer(const GpsdPeer&) = delete;
    GpsdPeer& operator=(const GpsdPeer&) = delete;

    int port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }
    const std::filesystem::path& folder() const { return folder_; }
    // The receiver's device as gpsd names it: the link to the current terminal.
    std::string device() const { return (folder_ / "gps0").string(); }

    // Starts nmea-replay on the logs (`speed` as its --speed); false when it names no terminal.
    bool startReceiver(const std::vector<std::string>& logs, double speed, bool loop = false) {
        std::vector<std::string> arguments{std::string(MOVIRA_BIN_DIR) + "/nmea-replay", "--speed",
                                           std::to_string(speed), "--link", device()};
        if (loop) arguments.push_back("--loop");
        arguments.insert(arguments.end(), logs.begin(), logs.end());
        receiver_ = std::make_unique<ChildProcess>(arguments);
        const auto path = receiver_->readLine(std::chrono::seconds(5));
        if (!path || path->empty()) return false;
        chmod(path->c_str(), 0666);
        return true;
    }
    // The receiver goes, as when it is unplugged; gpsd is not told.
    void killReceiver() { receiver_.reset(); }
    // A command to gpsd's control socket, as gpsdctl gives it: "+path" adds a device, "-path"
    // removes it. True when gpsd answered OK.
    bool control(const std::string& command) const {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = (folder_ / "gpsd.sock").string();
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        char answer[16] = {};
        const std::string line = command + "\n";
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                        write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
                        read(fd, answer, sizeof answer - 1) > 0 && std::string(answer).starts_with("OK");
        close(fd);
        return ok;
    }
    // True once the receiver has sent everything and gpsd has read it.
    bool receiverDone(std::chrono::milliseconds wait) { return !receiver_ || receiver_->hasExited(wait); }

    // Starts gpsd on the receiver's terminal and waits until it takes connections.
    bool startGpsd() {
        // `timeout` passes the test's end (SIGTERM) on to gpsd, which gives up root and with it the
        // parent-death signal; it also bounds a gpsd left behind.
        gpsd_ = std::make_unique<ChildProcess>(std::vector<std::string>{
            "/usr/bin/timeout", "--kill-after=5", "600", gpsdProgram(), "-N", "-n", "-b", "-S", portText(),
            "-F", (folder_ / "gpsd.sock").string(), device()});
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            if (acceptsConnections()) return true;
            if (gpsd_->hasExited()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // Ends gpsd; its clients see their connection closed.
    void stopGpsd() { gpsd_.reset(); }

private:
    static int freePort() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        close(fd);
        return port;
    }

    bool acceptsConnections() const {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port_));
        const bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        return accepted;
    }

    int port_;
    std::filesystem::path folder_;
    std::unique_ptr<ChildProcess> receiver_;
    std::unique_ptr<ChildProcess> gpsd_;
};

}  // namespace movira::test
