// The library's work between StartGPSAPI and StopGPSAPI: a thread of its own that connects to
// gpsd, turns its TPV and SKY reports into the position record, and hands each update over.
// Without gpsd, or when gpsd goes away, it tries again with a growing pause (0.25 s up to 5 s)
// and the record says no fix meanwhile. Of several receivers on one gpsd it follows one
// (FollowedDevice), and a position that is not renewed in time expires to no fix.
// start() and stop() may be called from any thread, in any order; they are serialised here.
#pragma once

#include "gpsapi/RecordHandover.h"
#include "gpsapi/StopSignal.h"

#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace movira {

class FollowedDevice;
class GpsdConnection;
class PositionRecordBuilder;

class GpsdClient {
public:
    explicit GpsdClient(RecordHandover& handover);
    // Stops: a library unloaded without StopGPSAPI leaves no thread behind.
    ~GpsdClient();
    GpsdClient(const GpsdClient&) = delete;
    GpsdClient& operator=(const GpsdClient&) = delete;

    // Reads GPSD_HOST and GPSD_PORT (localhost, 2947 when unset) and GPSD_DEVICE (the receiver
    // to follow; unset: the first with a fix) and starts the thread; does nothing while it runs. Throws std::system_error when no thread can be made.
    void start();
    // Ends the thread (within a wait's wake-up, whatever it is doing) and leaves a no-fix record.
    void stop() noexcept;

private:
    void run(const StopSignal& stop, const std::string& host, const std::string& port, const std::string& device);
    void follow(GpsdConnection& connection, PositionRecordBuilder& builder, FollowedDevice& device,
                const StopSignal& stop);

    RecordHandover& handover_;
    std::mutex controlMutex_;  // serialises start and stop
    std::thread thread_;
    std::unique_ptr<StopSignal> stop_;  // made at each start: an idle library holds no descriptor
};

}  // namespace movira
