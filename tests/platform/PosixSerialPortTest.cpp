#include "platform/Event.h"
#include "platform/PosixSerialPort.h"

#include "tests/support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <chrono>
#include <thread>

namespace movira {
namespace {

using namespace std::chrono_literals;
using Result = SerialPort::ReadResult;

TEST(PosixSerialPort, NamesWithoutSlashLiveUnderDev) {
    EXPECT_EQ(PosixSerialPort::devicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(PosixSerialPort::devicePath("/dev/serial/by-id/x"), "/dev/serial/by-id/x");
    EXPECT_EQ(PosixSerialPort::devicePath("pts/3"), "pts/3");
    PosixSerialPort port;
    EXPECT_TRUE(port.open("null"));  // /dev/null opens, but is no serial line
    EXPECT_FALSE(port.readSettings());
    EXPECT_FALSE(port.setBaudRate(4800));
    EXPECT_FALSE(port.open(""));
    EXPECT_FALSE(port.open("ttyMoviraMissing"));
    EXPECT_FALSE(port.isOpen());
}

TEST(PosixSerialPort, ReadsWhatArrivesAndNoticesAHangUp) {
    test::PseudoTerminal receiver;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(receiver.path()));
    EXPECT_TRUE(port.readSettings());
    char buffer[64];
    size_t count = 99;
    EXPECT_EQ(port.read(buffer, sizeof buffer, count, 50ms), Result::Nothing);
    EXPECT_EQ(count, 0u);
    receiver.write("$A\r\n");
    ASSERT_EQ(port.read(buffer, sizeof buffer, count, 1000ms), Result::Data);
    EXPECT_EQ(std::string(buffer, count), "$A\r\n");  // no line-end translation
    receiver.hangUp();
    EXPECT_EQ(port.read(buffer, sizeof buffer, count, 1000ms), Result::Vanished);
}

TEST(PosixSerialPort, ExclusiveWhileOpenOnly) {
    test::PseudoTerminal receiver;
    const int observer = open(receiver.path().c_str(), O_RDWR | O_NOCTTY);
    int exclusive = 0;
    {
        PosixSerialPort port;
        ASSERT_TRUE(port.open(receiver.path()));
        ASSERT_EQ(ioctl(observer, TIOCGEXCL, &exclusive), 0);
        EXPECT_NE(exclusive, 0);
        PosixSerialPort second;
        EXPECT_FALSE(second.open(receiver.path()));
    }
    // Closed: the line is free again even though another descriptor keeps it open.
    ASSERT_EQ(ioctl(observer, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    close(observer);
}

TEST(PosixSerialPort, ChangesOnlyTheSpeed) {
    test::PseudoTerminal receiver;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(receiver.path()));
    const termios before = receiver.settings();
    EXPECT_TRUE(port.setBaudRate(9600));
    const termios after = receiver.settings();
    EXPECT_EQ(cfgetispeed(&after), B9600);
    EXPECT_EQ(cfgetospeed(&after), B9600);
    EXPECT_EQ(before.c_iflag, after.c_iflag);
    EXPECT_EQ(before.c_lflag, after.c_lflag);
    EXPECT_EQ(before.c_cflag & ~CBAUD, after.c_cflag & ~CBAUD);
    EXPECT_FALSE(port.setBaudRate(12345));
}

TEST(Event, WaitsUntilSetOrTimeOut) {
    Event automatic;
    EXPECT_FALSE(automatic.wait(10ms));
    automatic.set();
    EXPECT_TRUE(automatic.wait(10ms));
    EXPECT_FALSE(automatic.wait(10ms));  // cleared by the wait

    Event manual(Event::Reset::Manual);
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        manual.set();
    });
    EXPECT_TRUE(manual.wait(5s));
    EXPECT_TRUE(manual.wait(0ms));  // stays set
    setter.join();
    manual.reset();
    EXPECT_FALSE(manual.isSet());
}

}  // namespace
}  // namespace movira
