// One session with gpsd through libgps: a connect that a stop can cut short, then gpsd's JSON
// reports one at a time, decoded into libgps's gps_data_t. Used by the gpsd thread only.
//
// gps_open connects with a blocking connect(), which a black-holed address would hold for minutes.
// So the address is first resolved and reached with a non-blocking connect of our own, bounded
// and woken by the stop; only then does gps_open connect to that numeric address, which just
// answered. The session's socket is non-blocking, so that a report cut in two by TCP never blocks
// a read.
#pragma once

#include "gpsapi/StopSignal.h"

#include <gps.h>

#include <chrono>
#include <memory>
#include <string>

namespace movira {

class GpsdConnection {
public:
    enum class Report {
        None,      // nothing complete arrived within the time
        Position,  // a TPV
        Sky,       // a SKY
        Device,    // a DEVICE: a receiver came, changed or went ("activated" 0)
        Other,     // VERSION, DEVICES, WATCH and the like
        Lost,      // gpsd closed the session or it broke: close and connect again
        Stopped,   // the stop came
    };

    GpsdConnection();
    ~GpsdConnection();
    GpsdConnection(const GpsdConnection&) = delete;
    GpsdConnection& operator=(const GpsdConnection&) = delete;

    // Connects and asks for JSON reports; false when gpsd cannot be reached or the stop came first.
    bool open(const std::string& host, const std::string& port, const StopSignal& stop);
    // Waits up to `timeout` for the next whole report.
    Report next(std::chrono::milliseconds timeout, const StopSignal& stop);
    // What libgps decoded so far; the last TPV's fix, the last SKY's satellites, the last
    // report's device (dev.path) and what it decoded of the last report (set).
    const gps_data_t& data() const { return *data_; }
    void close();

private:
    std::unique_ptr<gps_data_t> data_;  // 24 KB: not for the stack
    bool open_ = false;
    bool needBytes_ = false;  // the last read found only part of a report
};

}  // namespace movira
