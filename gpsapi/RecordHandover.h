// Hands the latest position record from the gpsd thread to whoever calls GetGPSPos.
// publish() runs on the gpsd thread (and on start and stop); latest() on any thread.
//
// The caller copies the record after the call returns, without a lock, so the address it gets
// must stay whole until then. A lock-free slot the writer may reuse cannot promise that, and a
// sequence lock cannot either, since the caller cannot retry its copy. So latest() copies the
// record under a mutex into a buffer that belongs to the calling thread and returns that: only
// the same thread's next call rewrites it, and the caller has finished copying by then. The
// mutex is held for one 344-byte copy on either side, never across I/O, so a call never waits
// longer than a copy.
#pragma once

#include "core/PositionRecord.h"

#include <mutex>

namespace movira {

class RecordHandover {
public:
    RecordHandover();

    // A record that says: no fix, nothing known.
    static PositionRecord noFix();

    void publish(const PositionRecord& record);
    // Valid until this thread calls latest() again (on any handover: the buffer is per thread).
    const PositionRecord* latest();

private:
    std::mutex mutex_;
    PositionRecord record_;
};

}  // namespace movira
