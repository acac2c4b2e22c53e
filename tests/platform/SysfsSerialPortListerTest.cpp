// The serial port list on a made-up /dev and /sys: which tty devices count as ports, the USB
// product names beside them, the by-id links, the test folder, and the order.
#include "platform/SysfsSerialPortLister.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace movira {
namespace {

namespace fs = std::filesystem;

class SysfsSerialPortListerTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/movira-ports-XXXXXX";
        root = mkdtemp(pattern);
        fs::create_directories(root / "dev/serial/by-id");
        fs::create_directories(root / "sys/class/tty");
        fs::create_directories(root / "extra");
        // A USB receiver: tty -> interface folder inside the USB device, which holds the product.
        usbTty("ttyUSB0", "u-blox 7 - GPS/GNSS Receiver");
        usbTty("ttyACM0", "Prolific GPS");
        uart("ttyS0", "0");   // a UART the driver could drive, but absent
        uart("ttyS1", "4");   // a 16550A that is there
        fs::create_directories(root / "sys/class/tty/tty0");     // a console: no device behind it
        fs::create_directories(root / "sys/class/tty/rfcomm0");  // Bluetooth: no device folder, real
        fs::create_symlink(root / "dev/ttyUSB0", root / "dev/serial/by-id/usb-u-blox_GNSS-if00");
        std::ofstream(root / "dev/ttyUSB0");
        std::ofstream(root / "extra/fake-receiver");
    }
    void TearDown() override { fs::remove_all(root); }

    void usbTty(const std::string& name, const std::string& product) {
        const fs::path usb = root / "devices" / ("usb-" + name);
        fs::create_directories(usb / "1-1:1.0" / name);
        std::ofstream(usb / "product") << product << "\n";
        fs::create_directories(root / "sys/class/tty" / name);
        fs::create_directory_symlink(usb / "1-1:1.0" / name, root / "sys/class/tty" / name / "device");
    }
    void uart(const std::string& name, const std::string& type) {
        const fs::path device = root / "devices/platform/serial8250" / name;
        fs::create_directories(device);
        fs::create_directories(root / "sys/class/tty" / name);
        fs::create_directory_symlink(device, root / "sys/class/tty" / name / "device");
        std::ofstream(root / "sys/class/tty" / name / "type") << type << "\n";
    }
    SysfsSerialPortLister lister(bool extra = true) {
        return SysfsSerialPortLister({(root / "dev").string(), (root / "sys/class/tty").string(),
                                      extra ? (root / "extra").string() : std::string()});
    }

    fs::path root;
};

TEST_F(SysfsSerialPortListerTest, ListsRealPortsSortedWithTheirProducts) {
    const std::string dev = (root / "dev").string();
    const std::vector<ListedSerialPort> expected = {
        {dev + "/rfcomm0", ""},
        {dev + "/serial/by-id/usb-u-blox_GNSS-if00", "u-blox 7 - GPS/GNSS Receiver"},
        {dev + "/ttyACM0", "Prolific GPS"},
        {dev + "/ttyS1", ""},
        {dev + "/ttyUSB0", "u-blox 7 - GPS/GNSS Receiver"},
        {(root / "extra/fake-receiver").string(), ""},
    };
    std::vector<ListedSerialPort> listed = lister().ports();
    std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    EXPECT_EQ(listed, expected);
    const auto plain = lister(false).ports();
    EXPECT_TRUE(std::is_sorted(plain.begin(), plain.end(), [](const auto& a, const auto& b) { return a.path < b.path; }));
    EXPECT_EQ(plain.size(), expected.size() - 1);
}

TEST_F(SysfsSerialPortListerTest, TheTestFolderComesFromTheEnvironment) {
    setenv("MOVIRA_SERIAL_DIR", (root / "extra").c_str(), 1);
    const auto ports = SysfsSerialPortLister().ports();
    unsetenv("MOVIRA_SERIAL_DIR");
    EXPECT_NE(std::find_if(ports.begin(), ports.end(), [&](const auto& p) { return p.path == (root / "extra/fake-receiver").string(); }),
              ports.end());
}

TEST_F(SysfsSerialPortListerTest, MissingFoldersGiveNoPorts) {
    EXPECT_TRUE(SysfsSerialPortLister({"/nonexistent/dev", "/nonexistent/sys", "/nonexistent/extra"}).ports().empty());
}

}  // namespace
}  // namespace movira
