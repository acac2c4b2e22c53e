// The port search on pseudo-terminals standing in for serial ports, and on a fake port whose
// receiver talks only at one speed; and the recognition of the talkers the reader takes.
#include "core/NmeaParser.h"
#include "core/NmeaTalkers.h"
#include "core/PortSearch.h"

#include "platform/PosixSerialPort.h"
#include "tests/support/FakeClock.h"
#include "tests/support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace movira {
namespace {

using namespace std::chrono_literals;
using test::PseudoTerminal;

constexpr char kRmc[] = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

// Runs the search to its end; false if it does not end within `limit`.
bool runToEnd(PortSearch& search, std::chrono::milliseconds limit = 10s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (search.step(10ms)) {
        if (std::chrono::steady_clock::now() > until) return false;
    }
    return true;
}

TEST(NmeaTalkers, FindsASentenceStartOfAnAcceptedTalkerAnywhere) {
    const std::array<std::string_view, 1> gpOnly = {"GP"};
    struct Case {
        std::string bytes;
        bool withGpOnly;
        bool withAccepted;
    } cases[] = {
        {"$GPRMC,", true, true},
        {"garbage\x01\xff$GPGGA", true, true},
        {"$GNRMC,1,A", false, true},
        {"$GLGSV,3", false, true},
        {"$BDGSV,1", false, true},
        {"$PUBX,00", false, false},
        {"$G", false, false},        // not yet: the "P" is still on its way
        {"GP", false, false},
        {"$$GP", true, true},
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NmeaTalkers::containsSentenceStart(c.bytes, gpOnly), c.withGpOnly) << c.bytes;
        EXPECT_EQ(NmeaTalkers::containsSentenceStart(c.bytes), c.withAccepted) << c.bytes;
    }
    // The search knows a receiver by exactly the talkers the reader takes fixes from.
    test::FakeClock clock;
    for (const char* id : {"$GPRMC", "$GNRMC", "$GLRMC", "$GARMC", "$GBRMC", "$BDRMC", "$GQRMC"}) {
        EXPECT_TRUE(NmeaTalkers::containsSentenceStart(id)) << id;
        NmeaParser parser(clock);
        EXPECT_TRUE(parser.parseSentence(std::string(id) + ",120000,A,5955.80,N,03018.60,E,10.0,90.0,140626,,"))
            << id;
    }
}

TEST(PortSearch, LooksLikeTextTellsNmeaOfAnotherTalkerFromLineNoise) {
    EXPECT_TRUE(PortSearch::looksLikeText("$GNRMC,1,2,3*00\r\n$GNGGA,4,5"));
    EXPECT_FALSE(PortSearch::looksLikeText(std::string(200, '\xf0')));
    EXPECT_FALSE(PortSearch::looksLikeText("no dollar here\r\n"));
    EXPECT_FALSE(PortSearch::looksLikeText("$" + std::string(100, '\x80') + "\r\n"));
}

class PortSearchOnTerminals : public testing::Test {
protected:
    // `count` pseudo-terminals; the search is given their paths in this order.
    void makePorts(int count) {
        for (int i = 0; i < count; ++i) {
            terminals.push_back(std::make_unique<PseudoTerminal>());
            ASSERT_TRUE(terminals.back()->ok());
            paths.push_back(terminals.back()->path());
        }
    }
    std::vector<std::unique_ptr<PseudoTerminal>> terminals;
    std::vector<std::string> paths;
};

TEST_F(PortSearchOnTerminals, TheReceiverOnTheFourthPortIsFoundThere) {
    makePorts(6);
    terminals[1]->write("AT\r\nOK\r\n");  // a modem's chatter is not a receiver
    terminals[3]->write(std::string(kRmc) + kRmc);
    PortSearch search(paths, SerialPort::create, 300ms);
    ASSERT_TRUE(runToEnd(search));
    EXPECT_EQ(search.foundPort(), paths[3]);
    EXPECT_EQ(search.currentIndex(), 3u);  // shown as 4 of 6
    EXPECT_EQ(search.foundSpeed(), 0);
    EXPECT_FALSE(search.cancelled());
}

TEST_F(PortSearchOnTerminals, APrefixSplitAcrossTwoReadsIsFound) {
    makePorts(1);
    // 62 bytes of noise and "$G" fill the first 64-byte read; "P" starts the next one.
    terminals[0]->write(std::string(62, 'x') + "$G");
    PortSearch search(paths, SerialPort::create, 2s);
    ASSERT_TRUE(search.step(50ms));  // opens the port
    ASSERT_TRUE(search.step(200ms));  // reads the first 64 bytes: no sentence start yet
    ASSERT_TRUE(search.step(50ms));
    EXPECT_TRUE(search.foundPort().empty());
    terminals[0]->write("PRMC,1,2\r\n");
    ASSERT_TRUE(runToEnd(search));
    EXPECT_EQ(search.foundPort(), paths[0]);
}

TEST_F(PortSearchOnTerminals, AReceiverOfATalkerTheReaderDoesNotTakeIsPassedBy) {
    makePorts(2);
    std::string gl;
    while (gl.size() < 1200) gl += "$QZGSV,1,1,01,193,50,120,40*55\r\n";  // a talker the reader ignores
    terminals[0]->write(gl);
    terminals[1]->write(kRmc);
    PortSearch search(paths, SerialPort::create, 1s);
    ASSERT_TRUE(runToEnd(search));
    EXPECT_EQ(search.foundPort(), paths[1]);
}

TEST_F(PortSearchOnTerminals, APortThatNeverSendsIsGivenUpWithinTheBound) {
    makePorts(2);
    PortSearch search(paths, SerialPort::create, 400ms);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(runToEnd(search));
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(search.foundPort().empty());
    EXPECT_GE(took, 800ms);  // each silent port had its whole wait
    EXPECT_LT(took, 5s);
}

TEST_F(PortSearchOnTerminals, ThePortTheRunningReaderHoldsIsSkipped) {
    makePorts(2);
    terminals[0]->write(kRmc);
    terminals[1]->write(kRmc);
    PosixSerialPort reader;  // the reader's own port class holds it, exclusively
    ASSERT_TRUE(reader.open(paths[0]));
    PortSearch search(paths, SerialPort::create, 1s);
    ASSERT_TRUE(runToEnd(search));
    EXPECT_EQ(search.foundPort(), paths[1]);
}

TEST_F(PortSearchOnTerminals, CancelEndsTheSearchWithoutAPort) {
    makePorts(3);
    PortSearch search(paths, SerialPort::create, 5s);
    search.step(10ms);
    search.step(10ms);
    search.cancel();
    EXPECT_FALSE(search.step(10ms));
    EXPECT_TRUE(search.cancelled());
    EXPECT_TRUE(search.foundPort().empty());
}

TEST(PortSearch, NoPortsEndsAtOnceAndMissingPortsAreSkipped) {
    PortSearch none({});
    EXPECT_TRUE(none.finished());
    EXPECT_FALSE(none.step(10ms));
    PortSearch missing({"/nonexistent/ttyUSB9", "/nonexistent/ttyACM9"});
    ASSERT_TRUE(runToEnd(missing, 2s));
    EXPECT_TRUE(missing.foundPort().empty());
}

// A receiver that talks only at `speed`: at any other speed its bytes arrive as noise.
class FakeReceiverPort final : public SerialPort {
public:
    explicit FakeReceiverPort(int speed) : speed_(speed) {}
    bool open(const std::string&) override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool readSettings() override { return true; }
    bool setBaudRate(int baudRate) override {
        current_ = baudRate;
        return true;
    }
    ReadResult read(char* buffer, size_t capacity, size_t& count, std::chrono::milliseconds) override {
        const std::string line = current_ == speed_ ? std::string(kRmc) : std::string(40, '\xfe');
        count = std::min(capacity, line.size());
        std::copy_n(line.data(), count, buffer);
        return ReadResult::Data;
    }

private:
    const int speed_;
    int current_ = 0;
    bool open_ = false;
};

TEST(PortSearch, AReceiverAtAnotherSpeedIsFoundWithItsSpeed) {
    for (int speed : {4800, 9600, 38400, 115200}) {
        PortSearch search({"fake"}, [speed] { return std::make_unique<FakeReceiverPort>(speed); }, 1s);
        ASSERT_TRUE(runToEnd(search));
        EXPECT_EQ(search.foundPort(), "fake") << speed;
        EXPECT_EQ(search.foundSpeed(), speed);
    }
    // At a speed outside the usual ones it stays unfound, and the search ends.
    PortSearch odd({"fake"}, [] { return std::make_unique<FakeReceiverPort>(1200); }, 1s);
    ASSERT_TRUE(runToEnd(odd));
    EXPECT_TRUE(odd.foundPort().empty());
    // Without speed probing, noise only gives the port up.
    PortSearch plain({"fake"}, [] { return std::make_unique<FakeReceiverPort>(9600); }, 1s, false);
    ASSERT_TRUE(runToEnd(plain));
    EXPECT_TRUE(plain.foundPort().empty());
}

}  // namespace
}  // namespace movira
