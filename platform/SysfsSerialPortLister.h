// The serial devices of a Linux machine: the links of /dev/serial/by-id, the tty devices of
// /sys/class/tty that have real hardware behind them (USB, ACM, a UART that is present,
// rfcomm), and the entries of the folder named by MOVIRA_SERIAL_DIR (tests, odd set-ups).
#pragma once

#include "platform/SerialPortLister.h"

#include <map>

namespace movira {

class SysfsSerialPortLister final : public SerialPortLister {
public:
    struct Roots {
        std::string dev = "/dev";
        std::string sysClassTty = "/sys/class/tty";
        std::string extra;  // a folder whose every entry is a port; empty for none
    };

    // The system's folders, and MOVIRA_SERIAL_DIR when it is set.
    SysfsSerialPortLister();
    explicit SysfsSerialPortLister(Roots roots) : roots_(std::move(roots)) {}

    std::vector<ListedSerialPort> ports() const override;

    // The USB product name of the tty device `name` (such as "ttyUSB0"), or empty.
    std::string productOf(const std::string& ttyName) const;

private:
    bool hasHardware(const std::string& ttyName) const;
    void collect(std::map<std::string, std::string>& found) const;

    Roots roots_;
};

}  // namespace movira
