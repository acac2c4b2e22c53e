#include "gpsapi/GpsdClient.h"

#include "gpsapi/FollowedDevice.h"
#include "gpsapi/GpsdConnection.h"
#include "gpsapi/PositionRecordBuilder.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>

namespace movira {
namespace {

using namespace std::chrono_literals;

constexpr char kDefaultHost[] = "localhost";
constexpr char kDefaultPort[] = "2947";
constexpr auto kFirstRetry = 250ms;
constexpr auto kLongestRetry = 5000ms;
// The longest a wait for a report lasts; the stop wakes it earlier.
constexpr auto kReadSlice = 100ms;

std::string environmentOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

}  // namespace

GpsdClient::GpsdClient(RecordHandover& handover) : handover_(handover) {}

GpsdClient::~GpsdClient() { stop(); }

void GpsdClient::start() {
    std::lock_guard lock(controlMutex_);
    if (thread_.joinable()) return;
    // Read here, on the caller's thread, not while the program may be changing its environment.
    const std::string host = environmentOr("GPSD_HOST", kDefaultHost);
    const std::string port = environmentOr("GPSD_PORT", kDefaultPort);
    const std::string device = environmentOr("GPSD_DEVICE", "");
    auto stop = std::make_unique<StopSignal>();
    thread_ = std::thread(&GpsdClient::run, this, std::ref(*stop), host, port, device);
    stop_ = std::move(stop);
}

void GpsdClient::stop() noexcept {
    try {
        std::lock_guard lock(controlMutex_);
        if (!thread_.joinable()) return;
        stop_->set();
        thread_.join();
        stop_.reset();
        handover_.publish(RecordHandover::noFix());
    } catch (...) {
        // Only a broken mutex or join can get here; there is nothing sensible left to do.
    }
}

void GpsdClient::run(const StopSignal& stop, const std::string& host, const std::string& port,
                     const std::string& device) {
    // libgps writes its request with write(): a gpsd that just went away must not take the program
    // down with SIGPIPE. Blocked for this thread only, the write fails with EPIPE instead.
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);

    auto retry = std::chrono::milliseconds(kFirstRetry);
    for (;;) {
        try {
            GpsdConnection connection;
            PositionRecordBuilder builder;
            FollowedDevice followed(device);
            if (connection.open(host, port, stop)) {
                retry = kFirstRetry;
                follow(connection, builder, followed, stop);
            }
        } catch (...) {
            // Out of memory or threads: treated like gpsd being away, tried again after the pause.
        }
        handover_.publish(RecordHandover::noFix());
        if (stop.waitFor(retry)) return;
        retry = std::min(retry * 2, std::chrono::milliseconds(kLongestRetry));
    }
}

void GpsdClient::follow(GpsdConnection& connection, PositionRecordBuilder& builder, FollowedDevice& device,
                        const StopSignal& stop) {
    for (;;) {
        const GpsdConnection::Report report = connection.next(kReadSlice, stop);
        const gps_data_t& data = connection.data();
        const auto now = FollowedDevice::Clock::now();
        switch (report) {
        case GpsdConnection::Report::Position:
            if (!device.follows(data.dev.path)) break;
            builder.applyTpv(data);
            device.tookPosition(data.dev.path, builder.hasFix(), now);
            handover_.publish(builder.record());
            break;
        case GpsdConnection::Report::Sky:
            if (!device.follows(data.dev.path)) break;
            builder.applySky(data);
            handover_.publish(builder.record());
            break;
        case GpsdConnection::Report::Device: {
            // libgps leaves "activated" at 0 both for gpsd's "activated":0 and when it is absent:
            // either way the device is not delivering.
            const bool active = data.dev.activated.tv_sec > 0;
            const double cycle = static_cast<double>(data.dev.cycle.tv_sec) +
                                 static_cast<double>(data.dev.cycle.tv_nsec) * 1e-9;
            if (device.deviceReport(data.dev.path, active, cycle)) {
                builder.clear();
                handover_.publish(builder.record());
            }
            break;
        }
        case GpsdConnection::Report::None:
        case GpsdConnection::Report::Other:
            break;
        case GpsdConnection::Report::Lost:
        case GpsdConnection::Report::Stopped:
            return;
        }
        // A receiver that stopped while gpsd runs sends nothing at all: only the age tells.
        if (device.positionExpired(now)) {
            builder.clear();
            handover_.publish(builder.record());
        }
    }
}

}  // namespace movira
