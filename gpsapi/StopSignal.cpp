#include "gpsapi/StopSignal.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace movira {
namespace {

// Without a descriptor a wait still looks at the flag this often.
constexpr std::chrono::milliseconds kFallbackSlice{100};

}  // namespace

StopSignal::StopSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopSignal::~StopSignal() {
    if (fd_ >= 0) close(fd_);
}

void StopSignal::set() {
    set_.store(true, std::memory_order_release);
    if (fd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
    }
}

void StopSignal::reset() {
    set_.store(false, std::memory_order_release);
    if (fd_ >= 0) {
        uint64_t count;
        [[maybe_unused]] const ssize_t got = read(fd_, &count, sizeof count);
    }
}

bool StopSignal::waitFor(std::chrono::milliseconds timeout) const {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!isSet()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero()) return false;
        pollfd wake{fd_, POLLIN, 0};
        const auto slice = fd_ >= 0 ? left : std::min(left, kFallbackSlice);
        poll(&wake, 1, static_cast<int>(slice.count()));
    }
    return true;
}

}  // namespace movira
