#include "gpsapi/RecordHandover.h"

namespace movira {
namespace {

// The platform's GPS_VERSION_1.
constexpr uint32_t kRecordVersion = 1;

}  // namespace

RecordHandover::RecordHandover() : record_(noFix()) {}

PositionRecord RecordHandover::noFix() {
    PositionRecord record{};
    record.version = kRecordVersion;
    record.size = sizeof(PositionRecord);
    return record;
}

void RecordHandover::publish(const PositionRecord& record) {
    std::lock_guard lock(mutex_);
    record_ = record;
}

const PositionRecord* RecordHandover::latest() {
    // Trivial type: no destructor to run at thread exit, nothing to undo when the library goes.
    thread_local PositionRecord handedOut;
    std::lock_guard lock(mutex_);
    handedOut = record_;
    return &handedOut;
}

}  // namespace movira
