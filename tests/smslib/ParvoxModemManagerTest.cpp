// libParvox.so loaded as the program loads it and sending through the ModemManager stand-in on a
// private bus: what the modem is given, and that every failure gives 0 within the time limit.
#include "smslib/ModemManagerSms.h"
#include "tests/gpsapi/ChildProcess.h"
#include "tests/smslib/LoadedParvox.h"
#include "tests/smslib/MockModemManager.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace movira {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::LoadedParvox;
using test::MockModemManager;
using test::SmsRecord;

// The library's limit is longer than ModemManager's own five minutes; the tests shorten it to
// kLimit (MOVIRA_PARVOX_TIME_LIMIT_MS). kSlack is room for a loaded machine (sanitizer builds,
// parallel tests).
constexpr auto kLimit = 4s;
constexpr auto kSlack = 3s;
static_assert(ModemManagerSms::kTimeLimit > ModemManagerSms::kModemManagerSendTimeout);

// Every message the modem was made to create was deleted again.
void expectNoneLeftOnTheModem(const MockModemManager& mock) {
    std::vector<std::string> created, deleted;
    for (const SmsRecord& r : mock.records("create")) created.push_back(r.sms);
    for (const SmsRecord& r : mock.records("delete")) deleted.push_back(r.sms);
    EXPECT_EQ(created, deleted);
}

#define SKIP_WITHOUT_MOCK()                                                  \
    do {                                                                     \
        if (const std::string why = MockModemManager::missing(); !why.empty()) \
            GTEST_SKIP() << "ModemManager mock cannot run: " << why;         \
    } while (false)

class ParvoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(parvox.ok()) << parvox.error();
        setenv(ModemManagerSms::kTimeLimitVariable, std::to_string(kLimit / 1ms).c_str(), 1);
    }
    void TearDown() override {
        unsetenv(MockModemManager::busVariable);
        unsetenv(ModemManagerSms::kTimeLimitVariable);
    }

    // The library's answer and how long it took.
    std::pair<int, Clock::duration> timedSend(const char* address, const char* text) {
        const auto start = Clock::now();
        const int result = parvox.send(address, text);
        return {result, Clock::now() - start};
    }

    LoadedParvox parvox;
};

TEST_F(ParvoxTest, ExportsTheTwoEntryPointsOnly) {
    EXPECT_TRUE(parvox.exports("SendParvox"));
    EXPECT_TRUE(parvox.exports("SendEmailCore"));
    EXPECT_EQ(parvox.sendEmailCore(), 0);
    // Its C++ insides stay hidden.
    EXPECT_FALSE(parvox.exports("_ZNK6movira15ModemManagerSms4sendEPKcS2_"));
    EXPECT_FALSE(parvox.exports("_ZN6movira12SendDeadlineC1ENSt6chrono8durationIlSt5ratioILl1ELl1000EEEE"));
}

TEST_F(ParvoxTest, ModemReceivesTheNumberAndTheWholeText) {
    SKIP_WITHOUT_MOCK();
    MockModemManager mock;
    ASSERT_TRUE(mock.ready());
    mock.setBusVariable();

    struct Case {
        const char* what;
        std::string number;
        std::string text;
    };
    const std::string cyrillic = "Скорость 57,3 км/ч, высота 120 м";  // 2 bytes a letter
    const Case cases[] = {
        {"a short report", "+79161234567", "Lat 55.751244 Lon 37.618423"},
        {"one character", "+79161234567", "x"},
        {"255 characters, the most one buffer took", "+79161234567", std::string(255, 'a')},
        {"256 characters", "+79161234567", std::string(256, 'b')},
        {"a long text goes whole", "+79161234567", std::string(1000, 'c') + "end"},
        {"UTF-8 letters", "+79161234567", cyrillic},
        {"many UTF-8 letters", "+79161234567", cyrillic + cyrillic + cyrillic + cyrillic + cyrillic},
        {"line ends, tabs, quotes, backslashes, percent signs", "+4915112345678",
         "line 1\r\nline 2\ttab \"quoted\" back\\slash 100% %Latitude%"},
        {"a control character", "+4915112345678", std::string("bell\x07") + "!"},
        {"an empty number is passed on as it is", "", "to nobody"},
        {"an empty text", "+4915112345678", ""},
        {"a national number", "89161234567", "national"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t before = mock.records("send").size();
        EXPECT_EQ(parvox.send(c.number.c_str(), c.text.c_str()), 1);
        const std::vector<SmsRecord> sends = mock.records("send");
        ASSERT_EQ(sends.size(), before + 1);
        const SmsRecord& sent = sends.back();
        EXPECT_EQ(sent.result, "accepted");
        EXPECT_EQ(sent.number, c.number);
        EXPECT_EQ(sent.text, c.text);
        EXPECT_EQ(sent.messageClass, ModemManagerSms::kMessageClass);
        EXPECT_EQ(sent.modem, "/org/freedesktop/ModemManager1/Modem/0");
    }
    // Each message was created once, sent once and then taken off the modem's list.
    const std::vector<SmsRecord> all = mock.records();
    ASSERT_EQ(all.size(), 3 * std::size(cases));
    for (size_t i = 0; i < all.size(); i += 3) {
        EXPECT_EQ(all[i].event, "create");
        EXPECT_EQ(all[i + 1].event, "send");
        EXPECT_EQ(all[i + 2].event, "delete");
        EXPECT_EQ(all[i].sms, all[i + 1].sms);
        EXPECT_EQ(all[i].sms, all[i + 2].sms);
    }
}

TEST_F(ParvoxTest, RefusesWhatCannotBeSentWithoutAskingTheModem) {
    SKIP_WITHOUT_MOCK();
    MockModemManager mock;
    ASSERT_TRUE(mock.ready());
    mock.setBusVariable();

    struct Case {
        const char* what;
        const char* number;
        const char* text;
    };
    const Case cases[] = {
        {"no number", nullptr, "text"},
        {"no text", "+79161234567", nullptr},
        {"neither", nullptr, nullptr},
        {"a Windows-1251 text is not UTF-8", "+79161234567", "\xd1\xea\xee\xf0\xee\xf1\xf2\xfc"},
        {"a cut UTF-8 sequence", "+79161234567", "abc\xd0"},
        {"a number that is not UTF-8", "+7916\xff", "text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parvox.send(c.number, c.text), 0);
    }
    EXPECT_TRUE(mock.records().empty());
}

TEST_F(ParvoxTest, TheFirstModemWithMessagingSends) {
    SKIP_WITHOUT_MOCK();
    MockModemManager mock("two-modems");  // Modem/0 has no messaging; Modem/1 and Modem/2 have
    ASSERT_TRUE(mock.ready());
    mock.setBusVariable();

    for (int i = 0; i < 3; ++i) EXPECT_EQ(parvox.send("+79161234567", "which modem"), 1);
    const std::vector<SmsRecord> sends = mock.records("send");
    ASSERT_EQ(sends.size(), 3u);
    for (const SmsRecord& sent : sends) EXPECT_EQ(sent.modem, "/org/freedesktop/ModemManager1/Modem/1");
}

TEST_F(ParvoxTest, EveryFailureGivesZeroWithinTheLimit) {
    SKIP_WITHOUT_MOCK();
    struct Case {
        const char* mode;
        const char* sendResult;  // the last send the modem saw, or empty for none
    };
    const Case cases[] = {
        {"no-service", ""},       // a bus without ModemManager
        {"no-modem", ""},         // ModemManager without a modem
        {"no-messaging", ""},     // a modem that cannot send messages
        {"create-fails", ""},     // the modem refuses to make the message
        {"send-fails", "failed"}, // the network refuses it
        {"send-hangs", "no-answer"},    // the modem never answers the send
        {"manager-hangs", ""},    // ModemManager never lists its modems
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        MockModemManager mock(c.mode);
        ASSERT_TRUE(mock.ready());
        mock.setBusVariable();
        const auto [result, took] = timedSend("+79161234567", "refused");
        EXPECT_EQ(result, 0);
        EXPECT_LT(took, kLimit + kSlack);
        const std::vector<SmsRecord> sends = mock.records("send");
        if (*c.sendResult) {
            ASSERT_EQ(sends.size(), 1u);
            EXPECT_EQ(sends[0].result, c.sendResult);
            EXPECT_EQ(sends[0].text, "refused");
        } else {
            EXPECT_TRUE(sends.empty());
        }
        // Refused or not answered in time: taken off the modem all the same, never sent later.
        expectNoneLeftOnTheModem(mock);
    }
}

// A program that closes while the modem is still sending: the message does not stay behind.
TEST_F(ParvoxTest, AnExitDuringASendTakesTheMessageOffTheModem) {
    SKIP_WITHOUT_MOCK();
    MockModemManager mock("send-hangs");
    ASSERT_TRUE(mock.ready());
    mock.setBusVariable();
    unsetenv(ModemManagerSms::kTimeLimitVariable);  // the real limit, minutes past this test
    const auto start = Clock::now();
    test::ChildProcess program({MOVIRA_PARVOX_EXIT_HELPER, LoadedParvox::path, "1500"});
    ASSERT_TRUE(program.hasExited(1500ms + ModemManagerSms::kDeleteLimit + kSlack));
    EXPECT_LT(Clock::now() - start, 1500ms + ModemManagerSms::kDeleteLimit + kSlack);
    ASSERT_EQ(mock.records("send").size(), 1u);
    EXPECT_EQ(mock.records("send")[0].result, "no-answer");
    expectNoneLeftOnTheModem(mock);
    EXPECT_EQ(mock.records("delete").size(), 1u);
}

TEST_F(ParvoxTest, NoBusGivesZeroAtOnce) {
    struct Case {
        const char* what;
        const char* address;
    };
    const Case cases[] = {
        {"nobody listens there", "unix:path=/nonexistent/movira-no-bus"},
        {"not an address", "this is not a D-Bus address"},
        {"a port nobody listens on", "tcp:host=127.0.0.1,port=9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setenv(MockModemManager::busVariable, c.address, 1);
        const auto [result, took] = timedSend("+79161234567", "nowhere");
        EXPECT_EQ(result, 0);
        EXPECT_LT(took, kLimit + kSlack);
    }
}

TEST_F(ParvoxTest, ABusThatWentAwayGivesZero) {
    SKIP_WITHOUT_MOCK();
    MockModemManager mock;
    ASSERT_TRUE(mock.ready());
    mock.setBusVariable();
    EXPECT_EQ(parvox.send("+79161234567", "before"), 1);
    mock.stop();
    const auto [result, took] = timedSend("+79161234567", "after");
    EXPECT_EQ(result, 0);
    EXPECT_LT(took, kLimit + kSlack);
}

TEST_F(ParvoxTest, OverlappingCallsAllArrive) {
    SKIP_WITHOUT_MOCK();
    MockModemManager mock;
    ASSERT_TRUE(mock.ready());
    mock.setBusVariable();

    constexpr int kThreads = 4;
    int results[kThreads] = {};
    std::vector<std::thread> senders;
    for (int i = 0; i < kThreads; ++i) {
        senders.emplace_back([&, i] {
            const std::string text = "report " + std::to_string(i);
            results[i] = parvox.send("+79161234567", text.c_str());
        });
    }
    for (std::thread& sender : senders) sender.join();
    for (int i = 0; i < kThreads; ++i) EXPECT_EQ(results[i], 1) << "sender " << i;
    std::vector<std::string> texts;
    for (const SmsRecord& sent : mock.records("send")) texts.push_back(sent.text);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"report 0", "report 1", "report 2", "report 3"}));
}

TEST(ParvoxLoading, SendsAgainAfterBeingUnloadedAndLoadedAgain) {
    SKIP_WITHOUT_MOCK();
    MockModemManager mock;
    ASSERT_TRUE(mock.ready());
    mock.setBusVariable();
    for (int round = 0; round < 3; ++round) {
        LoadedParvox parvox;
        ASSERT_TRUE(parvox.ok()) << parvox.error();
        EXPECT_EQ(parvox.send("+79161234567", "again"), 1) << "round " << round;
    }
    EXPECT_EQ(mock.records("send").size(), 3u);
    unsetenv(MockModemManager::busVariable);
}

}  // namespace
}  // namespace movira
