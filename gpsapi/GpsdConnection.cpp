#include "gpsapi/GpsdConnection.h"

#include "gpsapi/HostLookup.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace movira {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// gpsd on this machine answers in microseconds; one across a network in well under a second.
constexpr auto kConnectTimeout = 3s;

int remainingMs(SteadyClock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// True when a TCP connect to `address` completes in time; false on refusal, time-out or stop.
bool canConnect(const HostLookup::Address& address, const StopSignal& stop) {
    const int fd = socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0;
    if (!connected && errno == EINPROGRESS) {
        const auto until = SteadyClock::now() + kConnectTimeout;
        pollfd fds[2] = {{fd, POLLOUT, 0}, {stop.fd(), POLLIN, 0}};
        while (!stop.isSet()) {
            const int left = remainingMs(until);
            if (left == 0) break;
            // Without a stop descriptor the stop is still seen within 100 ms.
            if (poll(fds, 2, stop.fd() >= 0 ? left : std::min(left, 100)) < 0 && errno != EINTR) break;
            if (fds[0].revents != 0) {
                int error = 0;
                socklen_t length = sizeof error;
                connected = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
                break;
            }
        }
    }
    ::close(fd);
    return connected && !stop.isSet();
}

bool hasClass(std::string_view head, std::string_view name) {
    // gpsd writes the class first: {"class":"TPV",...
    constexpr std::string_view prefix = "{\"class\":\"";
    return head.starts_with(prefix) && head.substr(prefix.size()).starts_with(name) &&
           head.substr(prefix.size() + name.size()).starts_with("\"");
}

}  // namespace

GpsdConnection::GpsdConnection() : data_(std::make_unique<gps_data_t>()) {}

GpsdConnection::~GpsdConnection() { close(); }

bool GpsdConnection::open(const std::string& host, const std::string& port, const StopSignal& stop) {
    close();
    for (const HostLookup::Address& address : HostLookup::resolve(host, port, stop)) {
        if (stop.isSet()) return false;
        if (!canConnect(address, stop)) continue;
        char numericHost[NI_MAXHOST];
        if (getnameinfo(reinterpret_cast<const sockaddr*>(&address.storage), address.length, numericHost,
                        sizeof numericHost, nullptr, 0, NI_NUMERICHOST) != 0) {
            continue;
        }
        *data_ = gps_data_t{};
        if (gps_open(numericHost, port.c_str(), data_.get()) != 0) continue;
        open_ = true;
        needBytes_ = false;
        // libgps 3.22 opens it non-blocking already; made sure of here, since a blocking read of
        // half a report would hold up the stop.
        const int flags = fcntl(data_->gps_fd, F_GETFL);
        if (flags < 0 || fcntl(data_->gps_fd, F_SETFL, flags | O_NONBLOCK) < 0 ||
            gps_stream(data_.get(), WATCH_ENABLE | WATCH_JSON, nullptr) != 0) {
            close();
            continue;
        }
        return true;
    }
    return false;
}

GpsdConnection::Report GpsdConnection::next(std::chrono::milliseconds timeout, const StopSignal& stop) {
    if (!open_) return Report::Lost;
    if (stop.isSet()) return Report::Stopped;
    bool hungUp = false;
    // libgps may hold whole reports already read; only when it has none (or half of one) is there
    // something to wait for.
    if (needBytes_ || !gps_waiting(data_.get(), 0)) {
        pollfd fds[2] = {{data_->gps_fd, POLLIN | POLLRDHUP, 0}, {stop.fd(), POLLIN, 0}};
        const int ready = poll(fds, 2, static_cast<int>(timeout.count()));
        if (stop.isSet()) return Report::Stopped;
        if (ready < 0) return errno == EINTR ? Report::None : Report::Lost;
        if (fds[0].revents == 0) return Report::None;
        hungUp = (fds[0].revents & (POLLHUP | POLLRDHUP | POLLERR)) != 0;
    }
    // Only the start of the report is copied: enough to see its class.
    char head[32] = {};
    const int length = gps_read(data_.get(), head, sizeof head);
    if (length < 0) return Report::Lost;
    if (length == 0) {
        // Half a report: its rest has to come first. After a hang-up it never will.
        needBytes_ = true;
        return hungUp ? Report::Lost : Report::None;
    }
    needBytes_ = false;
    if (hasClass(head, "TPV")) return Report::Position;
    if (hasClass(head, "SKY")) return Report::Sky;
    if (hasClass(head, "DEVICE")) return Report::Device;
    return Report::Other;
}

void GpsdConnection::close() {
    if (!open_) return;
    gps_close(data_.get());
    open_ = false;
}

}  // namespace movira
