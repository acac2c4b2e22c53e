// The three C entry points of libOrbelin.so, the only symbols it exports. The program calls
// StartGPSAPI and StopGPSAPI from the thread that starts or stops its GPS connection, and
// GetGPSPos once a second from its reader thread, copying the 344 bytes right after the call.
// Nothing here lets an exception out.
#include "gpsapi/GpsdClient.h"
#include "gpsapi/RecordHandover.h"

#define ORBELIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Declared in this order so that the client, destroyed first, stops its thread at dlclose while
// the handover it writes to still exists.
movira::RecordHandover handover;
movira::GpsdClient client(handover);

// Handed out if even the handover fails: still a whole record, saying no fix.
const movira::PositionRecord kNoFix = movira::RecordHandover::noFix();

}  // namespace

// 0 once the library works in the background (also when it already did); -1 when no thread
// could be made.
ORBELIN_EXPORT int StartGPSAPI(void) {
    try {
        client.start();
        return 0;
    } catch (...) {
        return -1;
    }
}

ORBELIN_EXPORT int StopGPSAPI(void) {
    client.stop();
    return 0;
}

// Never null: before a start, after a stop and without gpsd the record says no fix.
ORBELIN_EXPORT const void* GetGPSPos(void) {
    try {
        return handover.latest();
    } catch (...) {
        return &kNoFix;
    }
}
