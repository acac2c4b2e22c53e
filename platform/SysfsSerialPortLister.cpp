#include "platform/SysfsSerialPortLister.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace movira {
namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::unique_ptr<SerialPortLister> SerialPortLister::create() { return std::make_unique<SysfsSerialPortLister>(); }

SysfsSerialPortLister::SysfsSerialPortLister() {
    if (const char* extra = std::getenv("MOVIRA_SERIAL_DIR")) roots_.extra = extra;
}

bool SysfsSerialPortLister::hasHardware(const std::string& name) const {
    // Bluetooth serial links have no device folder of their own, and are real all the same.
    if (startsWith(name, "rfcomm")) return true;
    const fs::path tty = fs::path(roots_.sysClassTty) / name;
    std::error_code error;
    if (!fs::exists(tty / "device", error)) return false;  // consoles, pseudo-terminals
    // The 8250 driver lists every UART it could drive; a port that is absent has type 0.
    const std::string driver = fs::read_symlink(tty / "device" / "driver", error).filename().string();
    if (driver == "serial8250" || startsWith(name, "ttyS")) {
        const std::string type = firstLine(tty / "type");
        return !type.empty() && type != "0";
    }
    return true;
}

std::string SysfsSerialPortLister::productOf(const std::string& name) const {
    std::error_code error;
    fs::path device = fs::canonical(fs::path(roots_.sysClassTty) / name / "device", error);
    if (error) return {};
    // The USB device that carries the interface a tty hangs off holds the product name.
    for (int depth = 0; depth < 4 && !device.empty() && device != device.root_path(); ++depth) {
        if (fs::exists(device / "product", error)) return firstLine(device / "product");
        device = device.parent_path();
    }
    return {};
}

std::vector<ListedSerialPort> SysfsSerialPortLister::ports() const {
    std::map<std::string, std::string> found;  // path -> product, sorted by path
    try {
        collect(found);
    } catch (const std::exception&) {
        // A folder that changes while it is read: what was found so far is the list.
    }
    std::vector<ListedSerialPort> ports;
    ports.reserve(found.size());
    for (auto& [path, product] : found) ports.push_back({path, product});
    return ports;
}

void SysfsSerialPortLister::collect(std::map<std::string, std::string>& found) const {
    std::error_code error;
    const fs::path byId = fs::path(roots_.dev) / "serial" / "by-id";
    for (const auto& entry : fs::directory_iterator(byId, error)) {
        const fs::path target = fs::canonical(entry.path(), error);
        found[entry.path().string()] = error ? std::string() : productOf(target.filename().string());
    }
    error.clear();
    for (const auto& entry : fs::directory_iterator(roots_.sysClassTty, error)) {
        const std::string name = entry.path().filename().string();
        if (!startsWith(name, "tty") && !startsWith(name, "rfcomm")) continue;
        if (!hasHardware(name)) continue;
        found[(fs::path(roots_.dev) / name).string()] = productOf(name);
    }
    if (!roots_.extra.empty()) {
        error.clear();
        for (const auto& entry : fs::directory_iterator(roots_.extra, error)) {
            found.emplace(entry.path().string(), std::string());
        }
    }
}

}  // namespace movira
