#include "gpsapi/HostLookup.h"

#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace movira {
namespace {

using namespace std::chrono_literals;

// How often the wait for a name looks at the stop, and how long a stop still waits for a lookup
// that is about to end (a name from /etc/hosts takes microseconds), rather than leave it behind.
constexpr auto kStopCheck = 50ms;
constexpr auto kStopGrace = 50ms;

std::vector<HostLookup::Address> lookUp(const std::string& host, const std::string& port, int flags,
                                        int& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    error = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    std::vector<HostLookup::Address> addresses;
    if (error != 0) return addresses;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        HostLookup::Address address{};
        if (entry->ai_addrlen > sizeof address.storage) continue;
        std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        addresses.push_back(address);
    }
    freeaddrinfo(found);
    return addresses;
}

// A helper still running inside this library must not see its code unmapped by dlclose.
void keepLibraryLoaded() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&keepLibraryLoaded), &info) && info.dli_fname) {
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);  // never closed, on purpose
    }
}

struct PendingLookup {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::vector<HostLookup::Address> addresses;
};

}  // namespace

std::vector<HostLookup::Address> HostLookup::resolve(const std::string& host, const std::string& port,
                                                     const StopSignal& stop) {
    int error = 0;
    std::vector<Address> numeric = lookUp(host, port, AI_NUMERICHOST, error);
    if (error != EAI_NONAME) return numeric;

    auto pending = std::make_shared<PendingLookup>();
    std::thread helper([pending, host, port] {
        int ignored = 0;
        std::vector<Address> addresses = lookUp(host, port, 0, ignored);
        std::lock_guard lock(pending->mutex);
        pending->addresses = std::move(addresses);
        pending->done = true;
        pending->ended.notify_all();
    });
    std::unique_lock lock(pending->mutex);
    while (!pending->done && !stop.isSet()) pending->ended.wait_for(lock, kStopCheck);
    if (!pending->done) pending->ended.wait_for(lock, kStopGrace, [&] { return pending->done; });
    if (pending->done) {
        lock.unlock();
        helper.join();
        return std::move(pending->addresses);
    }
    lock.unlock();
    keepLibraryLoaded();
    helper.detach();
    return {};
}

}  // namespace movira
