// A stand-in for gpsd on a free local port that speaks just enough of its JSON protocol: it takes
// a client's ?WATCH, answers VERSION, DEVICES and WATCH as gpsd does, and then sends whatever the
// caller gives it, whole lines or parts of one. One client at a time; used from one thread.
// The benchmark uses it too, so that its figures do not depend on a device.
#pragma once

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace movira::test {

class FakeGpsd {
public:
    FakeGpsd() {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            listen(listener_, 4) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~FakeGpsd() {
        hangUp();
        close(listener_);
    }
    FakeGpsd(const FakeGpsd&) = delete;
    FakeGpsd& operator=(const FakeGpsd&) = delete;

    int port() const { return port_; }

    // Waits for a client that asks for reports (a connection that closes without asking is
    // dropped) and greets it; false when none came in time.
    bool accept(std::chrono::milliseconds timeout) {
        hangUp();
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < until) {
            if (!waitReadable(listener_, until)) return false;
            client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client_ < 0) continue;
            const int on = 1;
            setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            std::string request;
            char chunk[256];
            while (request.find("?WATCH") == std::string::npos && waitReadable(client_, until)) {
                const ssize_t got = read(client_, chunk, sizeof chunk);
                if (got <= 0) break;
                request.append(chunk, static_cast<size_t>(got));
            }
            if (request.find("?WATCH") != std::string::npos) {
                return send(
                    R"({"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14})"
                    "\r\n"
                    R"({"class":"DEVICES","devices":[{"class":"DEVICE","path":"/dev/fake","activated":)"
                    R"("2026-06-14T08:00:00.000Z","native":0,"bps":9600,"parity":"N","stopbits":1,)"
                    R"("cycle":1.00}]})"
                    "\r\n"
                    R"({"class":"WATCH","enable":true,"json":true,"nmea":false,"raw":0,"scaled":false,)"
                    R"("timing":false,"split24":false,"pps":false})"
                    "\r\n");
            }
            hangUp();
        }
        return false;
    }

    bool send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) return false;
            bytes.remove_prefix(static_cast<size_t>(sent));
        }
        return true;
    }

    // The connection goes, as when gpsd ends.
    void hangUp() {
        if (client_ >= 0) close(client_);
        client_ = -1;
    }

private:
    static bool waitReadable(int fd, std::chrono::steady_clock::time_point until) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd readable{fd, POLLIN, 0};
        return left.count() > 0 && poll(&readable, 1, static_cast<int>(left.count())) > 0;
    }

    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
};

}  // namespace movira::test
