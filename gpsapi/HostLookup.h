// Turns gpsd's host and port into TCP addresses without making a stop wait for the resolver.
// A numeric host is read at once. A name is looked up on a helper thread, because a resolver
// without an answer can take many seconds; when the stop comes first the helper is left to
// finish alone, and the library is kept loaded so that its code stays there for it.
// Used by the gpsd thread only.
#pragma once

#include "gpsapi/StopSignal.h"

#include <sys/socket.h>

#include <string>
#include <vector>

namespace movira {

class HostLookup {
public:
    struct Address {
        sockaddr_storage storage;
        socklen_t length;
    };

    // Empty when the name does not resolve, or when the stop came first.
    static std::vector<Address> resolve(const std::string& host, const std::string& port,
                                        const StopSignal& stop);
};

}  // namespace movira
