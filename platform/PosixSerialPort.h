// A serial port on a POSIX terminal device (termios), held exclusively.
#pragma once

#include "platform/SerialPort.h"

namespace movira {

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    bool open(const std::string& name) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    bool readSettings() override;
    bool setBaudRate(int baudRate) override;
    ReadResult read(char* buffer, size_t capacity, size_t& count, std::chrono::milliseconds timeout) override;

    static std::string devicePath(const std::string& name);

private:
    int fd_ = -1;
};

}  // namespace movira
