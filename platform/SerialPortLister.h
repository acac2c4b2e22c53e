// Lists the serial devices of this machine that a GPS receiver may sit on, for the options
// dialog's port list and the port search. Any thread; each call reads the system afresh.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace movira {

struct ListedSerialPort {
    std::string path;     // what the settings keep and what SerialPort::open takes
    std::string product;  // the device behind it (USB product name), for display only; may be empty
    friend bool operator==(const ListedSerialPort&, const ListedSerialPort&) = default;
};

class SerialPortLister {
public:
    virtual ~SerialPortLister() = default;
    // Sorted by path, each path once.
    virtual std::vector<ListedSerialPort> ports() const = 0;

    // The lister of this machine's kind.
    static std::unique_ptr<SerialPortLister> create();
};

}  // namespace movira
