// A serial port that delivers a GPS receiver's bytes. Opened and closed by the
// thread that starts or stops the connection; read only by the GPS reader thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace movira {

class SerialPort {
public:
    enum class ReadResult { Data, Nothing, Vanished };

    virtual ~SerialPort() = default;

    // Opens the device exclusively for reading and writing, bytes passing unchanged.
    // A name without "/" is taken under /dev/. False when it cannot be opened or is in use.
    virtual bool open(const std::string& name) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Whether the port's line settings can be read (false for anything that is not a terminal).
    virtual bool readSettings() = 0;
    // Sets the speed in bit/s and changes nothing else; false when the port refuses it.
    virtual bool setBaudRate(int baudRate) = 0;

    // Waits at most `timeout` for bytes and reads up to `capacity` of them into `buffer`.
    // `count` is the number read. Vanished: the device is gone (unplugged, hung up).
    virtual ReadResult read(char* buffer, size_t capacity, size_t& count, std::chrono::milliseconds timeout) = 0;

    // The port of this machine's kind (a POSIX terminal device on Linux).
    static std::unique_ptr<SerialPort> create();
};

}  // namespace movira
