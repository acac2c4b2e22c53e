#include "platform/PosixSerialPort.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace movira {
namespace {

speed_t speedConstant(int baudRate) {
    switch (baudRate) {
    case 300: return B300;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
    }
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::create() { return std::make_unique<PosixSerialPort>(); }

PosixSerialPort::~PosixSerialPort() { close(); }

std::string PosixSerialPort::devicePath(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    return "/dev/" + name;
}

bool PosixSerialPort::open(const std::string& name) {
    close();
    if (name.empty()) return false;
    const int fd = ::open(devicePath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // TIOCEXCL keeps other users out, but not root; the lock also tells our own copies.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    termios settings{};
    if (tcgetattr(fd, &settings) == 0) {
        ioctl(fd, TIOCEXCL);
        // A receiver's bytes must arrive as sent: no echo back to it, no CR/LF translation.
        // The speed stays whatever the driver has.
        settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
        settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        settings.c_cflag |= CREAD | CLOCAL;
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &settings);
    }
    fd_ = fd;
    return true;
}

void PosixSerialPort::close() {
    if (fd_ < 0) return;
    // The exclusive mode belongs to the line, not to our descriptor: it would outlive us
    // while anyone else keeps the device open, and refuse our own next open.
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

bool PosixSerialPort::readSettings() {
    termios settings{};
    return fd_ >= 0 && tcgetattr(fd_, &settings) == 0;
}

bool PosixSerialPort::setBaudRate(int baudRate) {
    termios settings{};
    const speed_t speed = speedConstant(baudRate);
    if (fd_ < 0 || speed == B0 || tcgetattr(fd_, &settings) != 0) return false;
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
    return tcsetattr(fd_, TCSANOW, &settings) == 0;
}

SerialPort::ReadResult PosixSerialPort::read(char* buffer, size_t capacity, size_t& count,
                                             std::chrono::milliseconds timeout) {
    count = 0;
    if (fd_ < 0) return ReadResult::Vanished;
    if (capacity == 0) return ReadResult::Nothing;
    pollfd waiting{fd_, POLLIN, 0};
    const int ready = poll(&waiting, 1, static_cast<int>(timeout.count()));
    if (ready < 0) return errno == EINTR ? ReadResult::Nothing : ReadResult::Vanished;
    if (ready == 0) return ReadResult::Nothing;
    const ssize_t got = ::read(fd_, buffer, capacity);
    if (got > 0) {
        count = static_cast<size_t>(got);
        return ReadResult::Data;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return ReadResult::Nothing;
    // End of file, or EIO/ENODEV/ENXIO after a hang-up: the device is gone.
    return ReadResult::Vanished;
}

}  // namespace movira
