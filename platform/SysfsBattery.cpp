#include "platform/SysfsBattery.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace movira {
namespace {

namespace fs = std::filesystem;

// Attribute files hold one short word or number; anything longer is not one of them.
constexpr size_t MaxAttributeBytes = 256;

std::string chooseFolder(std::string folder) {
    if (!folder.empty()) return folder;
    const char* fromEnvironment = std::getenv(SysfsBattery::FolderVariable);
    if (fromEnvironment && *fromEnvironment) return fromEnvironment;
    return SysfsBattery::DefaultFolder;
}

// The first bytes of a regular file without surrounding white space; empty when it cannot be
// read. Opened without blocking so that a FIFO or device put in its place cannot stall us.
std::string readAttribute(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return {};
    struct stat info {};
    char buffer[MaxAttributeBytes];
    size_t length = 0;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        while (length < sizeof buffer) {
            const ssize_t got = ::read(fd, buffer + length, sizeof buffer - length);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            length += static_cast<size_t>(got);
        }
    }
    ::close(fd);
    std::string_view text(buffer, length);
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return std::string(text);
}

// `capacity` is a whole percent; numbers outside 0..100 are clamped, anything else (including a
// number too long to be a percent) is "not reported".
uint8_t percentOf(const std::string& capacity) {
    constexpr uint8_t NotReported = 255;
    long long value = 0;
    const char* end = capacity.data() + capacity.size();
    const auto [stop, error] = std::from_chars(capacity.data(), end, value);
    if (capacity.empty() || error != std::errc() || stop != end) return NotReported;
    return static_cast<uint8_t>(std::clamp(value, 0LL, 100LL));
}

}  // namespace

SysfsBattery::SysfsBattery(std::string folder, std::chrono::milliseconds cacheTime)
    : folder_(chooseFolder(std::move(folder))), cacheTime_(cacheTime) {}

std::optional<BatteryStatus> SysfsBattery::status() const {
    const std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (!last_.takenAt || now - *last_.takenAt >= cacheTime_) {
        last_.status = read(folder_);
        last_.takenAt = now;
    }
    return last_.status;
}

std::optional<BatteryStatus> SysfsBattery::read(const std::string& folder) {
    std::error_code error;
    fs::directory_iterator entry(folder, error);
    if (error) return std::nullopt;
    std::vector<fs::path> supplies;
    for (const fs::directory_iterator end; entry != end; entry.increment(error)) {
        supplies.push_back(entry->path());
    }
    if (error) return std::nullopt;
    std::sort(supplies.begin(), supplies.end());

    for (const fs::path& supply : supplies) {
        if (readAttribute(supply / "type") != "Battery") continue;
        // A wireless mouse or headset reports its battery here too, marked with scope "Device";
        // it says nothing about the power of this machine.
        if (readAttribute(supply / "scope") == "Device") continue;
        BatteryStatus status;
        status.percent = percentOf(readAttribute(supply / "capacity"));
        status.charging = readAttribute(supply / "status") == "Charging";
        return status;
    }
    return BatteryStatus{false, 255};  // mains power only, as a desktop
}

}  // namespace movira
